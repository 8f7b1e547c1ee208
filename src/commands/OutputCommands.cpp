// Outputs started and stopped while the picture stays on air.
#include "commands/OutputCommands.h"
#include "commands/CommandTable.h"
#include "engine/LogSink.h"

namespace kavelin {

namespace {

CommandResult addOutput(CommandContext& c, const Arguments& a) {
    const Result<int32_t> number = c.outputs.addOutput(a.text());
    return number ? CommandResult::number(*number) : CommandResult::error();
}

CommandResult removeOutput(CommandContext& c, const Arguments& a) {
    return CommandResult::of(c.outputs.removeOutput(a[0]).ok());
}

CommandResult listOutputs(CommandContext& c, const Arguments&) {
    const Result<int32_t> count = c.outputs.listOutputs();
    return count ? CommandResult::number(*count) : CommandResult::error();
}

const CommandRow kRows[] = {
    {1000,
     {text("output")},
     0,
     FreeText::None,
     addOutput,
     "1000 clip.mkv",
     "OK 2",
     "start an output, named as for --output; its number"},
    {1001,
     {integer("output")},
     1,
     FreeText::None,
     removeOutput,
     "1001 2",
     "OK",
     "stop and remove an output (a recording is complete when OK comes)"},
    {1002,
     {},
     0,
     FreeText::None,
     listOutputs,
     "1002",
     "OK 1",
     "count the outputs; the log gets a line per output"},
};

} // namespace

CommandRows outputCommands() {
    return kRows;
}

Result<int32_t> NoOutputCommands::addOutput(const std::string&) {
    refuse(1000);
    return failure("no outputs here");
}

Status NoOutputCommands::removeOutput(int32_t) {
    refuse(1001);
    return failure("no outputs here");
}

Result<int32_t> NoOutputCommands::listOutputs() {
    refuse(1002);
    return failure("no outputs here");
}

void NoOutputCommands::refuse(int32_t number) {
    log_.diagnostic("(%s) Unsupported command (%d)\n", owner_.c_str(), number);
}

} // namespace kavelin
