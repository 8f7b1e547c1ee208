#pragma once

#include "base/Result.h"
#include "commands/CommandRow.h"

#include <memory>
#include <string>

namespace kavelin {

// Every command of the picture, one row each (the families of rows live beside their
// handlers), ordered by number.
CommandRows commandRows();
// The row of a number, or none.
const CommandRow* findCommandRow(int32_t number);

// Where the UTF-16 text of a command that ends in one (104, 107) begins in its line: the text
// runs from there to the end of the line. None for other commands, or when the line ends
// before the text could begin.
const char* freeTextStart(const Command& command);

// The values of the command's argument text by the row's fields; or, when a field that the row
// requires is missing or a text field is longer than Arguments::kMaxTextLength, the log line
// that says so.
Result<std::unique_ptr<Arguments>> parseArguments(const CommandRow& row, const Command& command);

// Parses the command's argument text by its row and runs its handler. Unknown, reserved and
// incomplete lines are answered ERROR (with a log line where there is one to say).
CommandResult dispatchCommand(CommandContext& context, const Command& command);

// The reference of all rows as a Markdown table: number, example line, reply, what it does.
std::string commandReference();

// The families of rows.
CommandRows layerContentCommands();
CommandRows layerGeometryCommands();
CommandRows animationCommands();
CommandRows layerSetCommands();
CommandRows spriteFontCommands();
CommandRows trueTypeCommands();
CommandRows fontNumberCommands();
CommandRows outputCommands();

} // namespace kavelin
