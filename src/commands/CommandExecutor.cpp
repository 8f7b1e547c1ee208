#include "commands/CommandExecutor.h"

#include "base/MediaFolder.h"
#include "commands/CommandTable.h"
#include "engine/LogSink.h"
#include "text/FontTable.h"

namespace kavelin {

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

std::string CommandExecutor::execute(const char* line, size_t length) {
    const Command command(line, length);
    if (command.number() == 0)
        return "OK";
    CommandResult result;
    {
        std::lock_guard lock(mutex_);
        if (command.number() >= 1000) {
            result = outputs_.execute(command);
        } else {
            CommandContext context{scene_, *fonts_, log_, *media_};
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
