#include "output/MemoryOutput.h"

#include "image/FrameBuffer.h"
#include "net/Command.h"

namespace kavelin {

MemoryOutput::MemoryOutput(int32_t width, int32_t height, const char* name, std::FILE* diagnostics)
    : Output(width, height), name_(name), diagnostics_(diagnostics) {}

MemoryOutput::~MemoryOutput() = default;

bool MemoryOutput::open() {
    if (!frame_)
        frame_ = FrameBuffer::create(width(), height());
    return frame_ != nullptr;
}

FrameBuffer* MemoryOutput::beginFrame() {
    return frame_.get();
}

bool MemoryOutput::endFrame(FrameBuffer*) {
    return true;
}

bool MemoryOutput::executeOutputCommand(Command& command) {
    std::fprintf(diagnostics_, "(%s) Unsupported command (%d)\n", name_, command.number());
    std::fflush(diagnostics_);
    return false;
}

} // namespace kavelin
