#pragma once

#include "base/Result.h"
#include "commands/CommandRow.h"
#include "commands/OutputCommands.h"

#include <memory>
#include <mutex>
#include <string>

namespace kavelin {

class FontTable;
class LogSink;
class MediaFolder;
class SharedScene;

// Executes command lines, one at a time and each whole, and builds their replies. Number 0 is
// answered at once; numbers of 1000 and above that the table does not know are refused by the
// outputs; the rest go to the command table.
class CommandExecutor {
public:
    // Fails (after logging "ERROR initializing fonts...") when the font system does not start.
    // Files named in commands are opened in `media` (none: paths as given).
    static Result<std::unique_ptr<CommandExecutor>>
    create(SharedScene& scene, LogSink& log, OutputCommands& outputs,
           std::shared_ptr<const MediaFolder> media = nullptr);
    ~CommandExecutor();
    CommandExecutor(const CommandExecutor&) = delete;
    CommandExecutor& operator=(const CommandExecutor&) = delete;

    // The reply to one line, without its line feed: "OK" or "ERROR", then a space and the
    // result when there is one. `line` holds a NUL at line[length]. A carriage return at its
    // end is dropped, except for the commands whose UTF-16 text runs to the end of the line.
    std::string execute(const char* line, size_t length);

private:
    std::string execute(const Command& command);

    CommandExecutor(SharedScene& scene, LogSink& log, OutputCommands& outputs,
                    std::unique_ptr<FontTable> fonts, std::shared_ptr<const MediaFolder> media);

    SharedScene& scene_;
    LogSink& log_;
    OutputCommands& outputs_;
    std::unique_ptr<FontTable> fonts_;
    std::shared_ptr<const MediaFolder> media_;
    std::mutex mutex_; // one command at a time
};

} // namespace kavelin
