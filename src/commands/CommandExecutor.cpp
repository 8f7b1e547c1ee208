#include "commands/CommandExecutor.h"

#include "base/MediaFolder.h"
#include "base/MemoryBudget.h"
#include "commands/CommandTable.h"
#include "engine/LogSink.h"
#include "text/FontTable.h"

#include <new>

namespace kavelin {

namespace {

// One command's memory troubles, in the log where they happen (before the command's own error
// line, if it has one).
class CommandMemoryWatch final : public MemoryWatch {
public:
    CommandMemoryWatch(LogSink& log, int32_t number) : log_(log), number_(number) {}

    void onOverBudget(uint64_t limit) override {
        log_.log("ERROR : Command %d exceeds the memory budget of %s.", number_,
                 formatMemorySize(limit).c_str());
    }
    void onOutOfMemory() override { log_.log("ERROR : Out of memory for command %d.", number_); }

private:
    LogSink& log_;
    int32_t number_;
};

} // namespace

Result<std::unique_ptr<CommandExecutor>>
CommandExecutor::create(SharedScene& scene, LogSink& log, OutputCommands& outputs,
                        std::shared_ptr<const MediaFolder> media) {
    Result<std::unique_ptr<FontTable>> fonts = FontTable::create();
    if (!fonts) {
        log.diagnostic("%s\n", fonts.reason().c_str());
        log.log("ERROR initializing fonts...");
        return fonts.error();
    }
    if (!media)
        media = std::make_shared<const MediaFolder>();
    return std::unique_ptr<CommandExecutor>(
        new CommandExecutor(scene, log, outputs, std::move(*fonts), std::move(media)));
}

CommandExecutor::CommandExecutor(SharedScene& scene, LogSink& log, OutputCommands& outputs,
                                 std::unique_ptr<FontTable> fonts,
                                 std::shared_ptr<const MediaFolder> media)
    : scene_(scene), log_(log), outputs_(outputs), fonts_(std::move(fonts)),
      media_(std::move(media)) {}

CommandExecutor::~CommandExecutor() = default;

namespace {

// Whether the command's UTF-16 text runs to the end of its line (104, 107): a byte 0x0D there
// belongs to the text.
bool endsInFreeText(int32_t number) {
    const CommandRow* row = findCommandRow(number);
    return row != nullptr && row->freeText != FreeText::None;
}

} // namespace

std::string CommandExecutor::execute(const char* line, size_t length) {
    // A terminal ends its lines with CR LF; the CR is no part of the command.
    if (length > 0 && line[length - 1] == '\r' && !endsInFreeText(Command(line, length).number())) {
        const std::string shorter(line, length - 1);
        return execute(Command(shorter.c_str(), shorter.size()));
    }
    return execute(Command(line, length));
}

std::string CommandExecutor::execute(const Command& command) {
    if (command.number() == 0)
        return "OK";
    CommandResult result;
    {
        std::lock_guard lock(mutex_);
        CommandMemoryWatch watch(log_, command.number());
        // Commands build what they change aside and publish it in one step, so a failed
        // allocation anywhere leaves the scene and the fonts as they were.
        try {
            if (command.number() >= 1000 && findCommandRow(command.number()) == nullptr) {
                outputs_.refuse(command.number());
                result = CommandResult::error();
            } else {
                CommandContext context{scene_, *fonts_, log_, *media_, outputs_};
                result = dispatchCommand(context, command);
            }
        } catch (const std::bad_alloc&) {
            reportOutOfMemory();
            result = CommandResult::error();
        }
        if (watch.overBudget() || watch.outOfMemory())
            result = CommandResult::error();
    }
    // "OK" and "ERROR" need no memory of their own; a result that cannot be added is an error.
    std::string reply = result.ok ? "OK" : "ERROR";
    if (result.ok && !result.text.empty()) {
        try {
            reply += ' ';
            reply += result.text;
        } catch (const std::bad_alloc&) {
            reply = "ERROR";
        }
    }
    return reply;
}

} // namespace kavelin
