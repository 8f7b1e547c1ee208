#include "text/FontConfigCall.h"

#include <sys/mman.h>

namespace kavelin {

namespace {

std::mutex callMutex;
void* reserve = nullptr; // guarded by callMutex

// Address space and commit charge, never touched: it costs no resident memory.
bool takeReserve() {
    if (reserve != nullptr)
        return true;
    void* block = ::mmap(nullptr, FontConfigCall::kReserveBytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return false;
    reserve = block;
    return true;
}

} // namespace

FontConfigCall::FontConfigCall() : lock_(callMutex), allowed_(takeReserve()) {
    if (allowed_) {
        ::munmap(reserve, kReserveBytes);
        reserve = nullptr;
    }
}

FontConfigCall::~FontConfigCall() {
    takeReserve();
}

} // namespace kavelin
