#include "commands/CommandExecutor.h"

#include "commands/CommandTable.h"
#include "engine/LogSink.h"
#include "text/FontTable.h"

namespace kavelin {

Result<std::unique_ptr<CommandExecutor>> CommandExecutor::create(SharedScene& scene, LogSink& log,
                                                                 OutputCommands& outputs) {
    Result<std::unique_ptr<FontTable>> fonts = FontTable::create();
    if (!fonts) {
        log.diagnostic("%s\n", fonts.reason().c_str());
        log.log("ERROR initializing fonts...");
        return fonts.error();
    }
    return std::unique_ptr<CommandExecutor>(
        new CommandExecutor(scene, log, outputs, std::move(*fonts)));
}

CommandExecutor::CommandExecutor(SharedScene& scene, LogSink& log, OutputCommands& outputs,
                                 std::unique_ptr<FontTable> fonts)
    : scene_(scene), log_(log), outputs_(outputs), fonts_(std::move(fonts)) {}

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
        if (command.number() >= 1000) {
            result = outputs_.execute(command);
        } else {
            CommandContext context{scene_, *fonts_, log_};
            result = dispatchCommand(context, command);
        }
    }
    std::string reply = result.ok ? "OK" : "ERROR";
    if (result.ok && !result.text.empty()) {
        reply += ' ';
        reply += result.text;
    }
    return reply;
}

} // namespace kavelin
