#include "app/OfflineRenderer.h"

#include "commands/CommandExecutor.h"
#include "engine/Engine.h"
#include "engine/LogChannel.h"
#include "engine/StreamLogWriter.h"
#include "image/PngFile.h"

#include <charconv>
#include <memory>
#include <new>
#include <string_view>

namespace kavelin {

namespace {

constexpr size_t kMaxLineBytes = 1023;
constexpr long kMaxWaitFrames = 1000000;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool readAll(const std::string& name, std::string& out) {
    File owned;
    std::FILE* in = stdin;
    if (name != "-") {
        owned.reset(std::fopen(name.c_str(), "rb"));
        if (!owned)
            return false;
        in = owned.get();
    }
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        out.append(buffer, n);
    return !std::ferror(in);
}

// "@wait" or "@wait N": the number of frames, or -1 when the directive is malformed.
long parseWait(std::string_view line) {
    std::string_view rest = line.substr(5);
    if (rest.empty())
        return 1;
    if (rest.front() != ' ' && rest.front() != '\t')
        return -1;
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r'))
        rest.remove_suffix(1);
    long frames = 0;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), frames);
    if (ec != std::errc() || end != rest.data() + rest.size() || frames < 0 ||
        frames > kMaxWaitFrames)
        return -1;
    return frames;
}

class Session {
public:
    Session(const OfflineOptions& options, std::FILE* replies, LogChannel& log)
        : options_(options), replies_(replies), log_(log), outputCommands_(log, "OfflineOutput") {}

    int run(const std::string& script) {
        engine_ = Engine::create(options_.format, PixelColour{0, 0, 0, 255},
                                 {composingThreads(options_.threads)});
        if (engine_)
            engine_->setKey(options_.key);
        Result<std::unique_ptr<CommandExecutor>> executor =
            engine_ ? CommandExecutor::create(engine_->scene(), log_, outputCommands_)
                    : Result<std::unique_ptr<CommandExecutor>>(failure("no memory"));
        if (!executor) {
            log_.diagnostic("kavelin: the renderer could not be initialised\n");
            return 2;
        }
        executor_ = std::move(*executor);
        if (!options_.rawFile.empty()) {
            raw_.reset(std::fopen(options_.rawFile.c_str(), "wb"));
            if (!raw_) {
                fail("cannot write " + options_.rawFile);
                return 2;
            }
        }
        size_t lineNumber = 0;
        for (size_t start = 0; start < script.size();) {
            size_t end = script.find('\n', start);
            if (end == std::string::npos)
                end = script.size();
            ++lineNumber;
            if (!runLine(std::string_view(script).substr(start, end - start), lineNumber))
                return 2;
            start = end + 1;
        }
        std::fflush(replies_);
        if (raw_ && std::fflush(raw_.get()) != 0) {
            fail("cannot write " + options_.rawFile);
            return 2;
        }
        return 0;
    }

private:
    bool runLine(std::string_view line, size_t lineNumber) {
        if (line.empty() || line.front() == '#')
            return true;
        if (line.substr(0, 5) == "@wait") {
            const long frames = parseWait(line);
            if (frames < 0)
                return fail("line " + std::to_string(lineNumber) + ": expected @wait N");
            for (long i = 0; i < frames; ++i)
                if (!composeFrame())
                    return false;
            return true;
        }
        if (line.size() > kMaxLineBytes) {
            log_.diagnostic("kavelin: line %zu is longer than %zu bytes; a server would drop the "
                            "connection, it is skipped\n",
                            lineNumber, kMaxLineBytes);
            return true;
        }
        const std::string bytes(line); // NUL-terminated copy, zero bytes kept
        const std::string reply = executor_->execute(bytes.c_str(), bytes.size());
        std::fwrite(reply.data(), 1, reply.size(), replies_);
        std::fputc('\n', replies_);
        return true;
    }

    bool composeFrame() {
        std::shared_ptr<const Frame> composed;
        try {
            composed = engine_->composeFrame(frameNumber_ + 1);
        } catch (const std::bad_alloc&) {
        }
        if (!composed)
            return fail("no memory for a frame");
        const FrameBuffer& frame = *composed->pixels;
        if (!options_.pngDir.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame%05ld.png", frameNumber_);
            if (!writePng(frame, options_.pngDir + name))
                return fail("cannot write " + options_.pngDir + name);
        }
        if (raw_) {
            for (int32_t y = 0; y < frame.height(); ++y) {
                const uint8_t* row = frame.pixels() + static_cast<ptrdiff_t>(y) * frame.pitch();
                const size_t bytes = static_cast<size_t>(frame.width()) * 4;
                if (std::fwrite(row, 1, bytes, raw_.get()) != bytes)
                    return fail("cannot write " + options_.rawFile);
            }
        }
        ++frameNumber_;
        return true;
    }

    bool fail(const std::string& why) {
        std::fflush(replies_);
        log_.diagnostic("kavelin: %s\n", why.c_str());
        return false;
    }

    const OfflineOptions& options_;
    std::FILE* replies_;
    LogChannel& log_;
    NoOutputCommands outputCommands_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<CommandExecutor> executor_;
    File raw_;
    long frameNumber_ = 0;
};

} // namespace

int runOffline(const OfflineOptions& options, std::FILE* replies, int logFd) {
    LogChannel log;
    log.addWriter(std::make_shared<StreamLogWriter>(logFd));
    std::string script;
    if (!readAll(options.script, script)) {
        log.diagnostic("kavelin: cannot read %s\n", options.script.c_str());
        return 2;
    }
    Session session(options, replies, log);
    return session.run(script);
}

} // namespace kavelin
