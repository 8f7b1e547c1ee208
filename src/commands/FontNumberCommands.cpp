// Reservation of font numbers: bookkeeping for clients that need free numbers. Loading,
// drawing and the queries do not look at it, and releasing a number keeps its fonts.
#include "commands/CommandTable.h"
#include "engine/LogSink.h"
#include "text/FontTable.h"

namespace kavelin {

namespace {

CommandResult reserveFontNumber(CommandContext& c, const Arguments&) {
    const int32_t number = c.fonts.reserve();
    return number < 0 ? CommandResult::error() : CommandResult::number(number);
}

CommandResult releaseFontNumber(CommandContext& c, const Arguments& a) {
    const int32_t number = a[0];
    if (!validFontNumber(number)) {
        c.log.log("ERROR (releaseFontNumber) : Font number %d out of range.", number);
        return CommandResult::error();
    }
    if (!c.fonts.isReserved(number)) {
        c.log.log("ERROR (releaseFontNumber) : Font %d is not reserved!", number);
        return CommandResult::error();
    }
    c.fonts.setReserved(number, false);
    c.log.log("Font number %d released.", number);
    return CommandResult::success();
}

CommandResult releaseAllFontNumbers(CommandContext& c, const Arguments&) {
    c.fonts.releaseAll();
    c.log.log("All fontnumbers released.");
    return CommandResult::success();
}

} // namespace

CommandRows fontNumberCommands() {
    static const CommandRow rows[] = {
        {111,
         {},
         0,
         FreeText::None,
         reserveFontNumber,
         "111",
         "OK 0",
         "reserve a free font number"},
        {112,
         {integer("font")},
         1,
         FreeText::None,
         releaseFontNumber,
         "112 0",
         "OK",
         "release a font number"},
        {114,
         {},
         0,
         FreeText::None,
         releaseAllFontNumbers,
         "114",
         "OK",
         "release every font number"},
    };
    return rows;
}

} // namespace kavelin
