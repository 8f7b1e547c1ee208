#pragma once

#include "commands/Command.h"
#include "commands/Utf16Text.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kavelin {

class FontTable;
class LogSink;
class MediaFolder;
class OutputCommands;
class SharedScene;

// What a command answers: "OK" or "ERROR", and on success the result text, if any.
struct CommandResult {
    bool ok = false;
    std::string text;

    static CommandResult success() { return {true, {}}; }
    static CommandResult error() { return {false, {}}; }
    static CommandResult of(bool ok) { return {ok, {}}; }
    static CommandResult number(int32_t value) { return {true, std::to_string(value)}; }
    static CommandResult size(int32_t width, int32_t height) {
        return {true, std::to_string(width) + " " + std::to_string(height)};
    }
};

// What the handlers work on.
struct CommandContext {
    SharedScene& scene;
    FontTable& fonts;
    LogSink& log;
    const MediaFolder& media; // where the files that commands name are opened
    OutputCommands& outputs;  // 1000 and above
};

// The argument fields of a command line, in the order of its row.
enum class FieldType : uint8_t {
    Int,    // a signed decimal number ("%d")
    AnyInt, // decimal, 0x hexadecimal or 0 octal ("%i")
    Text,   // bytes up to the next tab or the end of the line
    Unused, // a number that must be there but means nothing
};

struct FieldSpec {
    FieldType type;
    const char* name;
};

// UTF-16 text in the rest of the line, behind the numeric fields.
enum class FreeText : uint8_t {
    None,
    AfterTenBlanks,  // after the tenth white-space byte, or after 256 bytes
    AfterFirstBlank, // one byte after the first white space among the first ten bytes, else at 11
};

// The values scanned from one command line.
class Arguments {
public:
    static constexpr size_t kMaxTextLength = 511;

    Arguments(const Command& command, std::vector<int32_t> numbers, std::string text,
              Utf16Text freeText)
        : command_(command), numbers_(std::move(numbers)), text_(std::move(text)),
          freeText_(freeText) {}

    // The i-th numeric field of the row (text fields are not counted).
    int32_t operator[](size_t i) const { return i < numbers_.size() ? numbers_[i] : 0; }
    // The row's text field (at most kMaxTextLength bytes: a longer one refuses the line).
    const std::string& text() const { return text_; }
    const Utf16Text& freeText() const { return freeText_; }
    const Command& command() const { return command_; }

private:
    const Command& command_;
    std::vector<int32_t> numbers_;
    std::string text_;
    Utf16Text freeText_;
};

using CommandHandler = CommandResult (*)(CommandContext&, const Arguments&);

// One command: its number, its fields in order (and how many of them a line must carry), the
// form of its reply, its handler, and the line of the reference that documents it.
struct CommandRow {
    int32_t number;
    std::vector<FieldSpec> fields;
    size_t required;
    FreeText freeText;
    CommandHandler handler;
    const char* example;      // a line as a client sends it; a tab stands for TAB
    const char* exampleReply; // its reply
    const char* summary;      // what it does
};

using CommandRows = std::span<const CommandRow>;

// Shorthands for the rows.
constexpr FieldSpec integer(const char* name) {
    return {FieldType::Int, name};
}
constexpr FieldSpec anyInteger(const char* name) {
    return {FieldType::AnyInt, name};
}
constexpr FieldSpec text(const char* name) {
    return {FieldType::Text, name};
}
constexpr FieldSpec unused(const char* name) {
    return {FieldType::Unused, name};
}

} // namespace kavelin
