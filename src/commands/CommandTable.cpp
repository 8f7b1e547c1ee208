#include "commands/CommandTable.h"

#include "engine/LogSink.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kavelin {

namespace {

constexpr int kMaxValues = 16;
// A text field is scanned as "%n%*[^\t]%n": its two positions mark where it begins and ends in
// the argument text, so its length is known without a buffer to hold it.
constexpr const char* kTextScan = "%n%*[^\t]%n";

bool isReserved(int32_t number) {
    return (number >= 71 && number <= 74) || number == 87 || (number >= 99 && number <= 101);
}

std::string scanFormat(const CommandRow& row) {
    std::string format;
    for (const FieldSpec& field : row.fields) {
        if (!format.empty())
            format += ' ';
        format += field.type == FieldType::Text     ? kTextScan
                  : field.type == FieldType::AnyInt ? "%i"
                                                    : "%d";
    }
    return format;
}

struct Table {
    std::vector<CommandRow> rows;
    std::vector<std::string> formats; // by position in rows
};

const Table& table() {
    static const Table built = [] {
        Table t;
        for (CommandRows family : {layerContentCommands(), layerGeometryCommands(),
                                   animationCommands(), layerSetCommands(), spriteFontCommands(),
                                   trueTypeCommands(), fontNumberCommands(), outputCommands()})
            t.rows.insert(t.rows.end(), family.begin(), family.end());
        std::sort(t.rows.begin(), t.rows.end(),
                  [](const CommandRow& a, const CommandRow& b) { return a.number < b.number; });
        for (const CommandRow& row : t.rows)
            t.formats.push_back(scanFormat(row));
        return t;
    }();
    return built;
}

// 104: the text begins after the tenth white-space character, or after 256 characters.
const char* textAfterTenBlanks(const char* args) {
    int blanks = 0;
    for (int i = 0; i < 256; ++i) {
        if (args[i] == 0)
            return nullptr;
        if (Command::isWhiteSpace(static_cast<unsigned char>(args[i])) && ++blanks == 10)
            return args + i + 1;
    }
    return args + 256;
}

// 107: the text begins one character after the first white space among the first ten
// characters, else at position 11.
const char* textAfterFirstBlank(const char* args) {
    for (int i = 0; i < 10; ++i) {
        if (args[i] == 0)
            return nullptr;
        if (Command::isWhiteSpace(static_cast<unsigned char>(args[i])))
            return args + i + 1;
    }
    return args + 11;
}

const char* freeTextStart(const Command& command, FreeText kind) {
    return kind == FreeText::AfterTenBlanks    ? textAfterTenBlanks(command.arguments())
           : kind == FreeText::AfterFirstBlank ? textAfterFirstBlank(command.arguments())
                                               : nullptr;
}

Utf16Text freeTextOf(const Command& command, FreeText kind) {
    const char* start = freeTextStart(command, kind);
    const char* end = command.line() + command.lineLength();
    if (start == nullptr || start >= end)
        return {};
    return {reinterpret_cast<const unsigned char*>(start), static_cast<size_t>(end - start)};
}

Result<std::unique_ptr<Arguments>> scan(const CommandRow& row, const std::string& format,
                                        const Command& command) {
    const auto missing = [&] {
        return failure("ERROR : Missing arguments for command " + std::to_string(command.number()) +
                       ".");
    };
    std::array<int, kMaxValues> v{};
    std::vector<int32_t> numbers;
    std::string text;
    if (!row.fields.empty()) {
        constexpr int unset = -1;
        size_t textAt = 0; // index in v of the text's start position (its end follows)
        bool hasText = false;
        for (size_t i = 0, slot = 0; i < row.fields.size(); ++i) {
            if (row.fields[i].type == FieldType::Text) {
                textAt = slot;
                hasText = true;
                v[slot] = v[slot + 1] = unset;
                slot += 2;
            } else {
                ++slot;
            }
        }
        const char* args = command.arguments();
        const int n =
            std::sscanf(args, format.c_str(), &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                        &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15]);
        const size_t converted = n < 0 ? 0 : static_cast<size_t>(n);
        if (hasText) {
            const int begin = v[textAt];
            const int end = v[textAt + 1];
            if (begin == unset || end == unset)
                return missing();
            // A longer text is refused rather than cut: a cut path names another file.
            const size_t length = static_cast<size_t>(end - begin);
            if (length > Arguments::kMaxTextLength)
                return failure("ERROR : Text too long for command " +
                               std::to_string(command.number()) + " (at most " +
                               std::to_string(Arguments::kMaxTextLength) + " bytes).");
            text.assign(args + begin, length);
        }
        if (converted < row.required)
            return missing();
        for (size_t i = 0, slot = 0; i < row.fields.size(); ++i) {
            if (row.fields[i].type == FieldType::Text) {
                slot += 2;
                continue;
            }
            numbers.push_back(v[slot++]);
        }
    }
    return std::make_unique<Arguments>(command, std::move(numbers), std::move(text),
                                       freeTextOf(command, row.freeText));
}

// A cell of the reference: the example line in code spans, its tabs shown as TAB.
std::string exampleCell(const CommandRow& row) {
    std::string cell = "`";
    for (const char* p = row.example; *p != 0; ++p) {
        if (*p == '\t')
            cell += "`TAB`";
        else
            cell += *p;
    }
    cell += "`";
    if (row.freeText != FreeText::None)
        cell += " + UTF-16LE text";
    return cell;
}

} // namespace

const char* freeTextStart(const Command& command) {
    const CommandRow* row = findCommandRow(command.number());
    return row != nullptr ? freeTextStart(command, row->freeText) : nullptr;
}

Result<std::unique_ptr<Arguments>> parseArguments(const CommandRow& row, const Command& command) {
    const Table& t = table();
    const CommandRow* known = findCommandRow(row.number);
    const std::string format =
        known == &row ? t.formats[static_cast<size_t>(known - t.rows.data())] : scanFormat(row);
    return scan(row, format, command);
}

CommandRows commandRows() {
    return table().rows;
}

const CommandRow* findCommandRow(int32_t number) {
    const Table& t = table();
    const auto it =
        std::lower_bound(t.rows.begin(), t.rows.end(), number,
                         [](const CommandRow& row, int32_t n) { return row.number < n; });
    return it != t.rows.end() && it->number == number ? &*it : nullptr;
}

CommandResult dispatchCommand(CommandContext& context, const Command& command) {
    const int32_t number = command.number();
    if (isReserved(number))
        return CommandResult::error();
    const CommandRow* row = findCommandRow(number);
    if (row == nullptr) {
        context.log.log("Unsupported command (%d)", number);
        return CommandResult::error();
    }
    const Result<std::unique_ptr<Arguments>> arguments = parseArguments(*row, command);
    if (!arguments) {
        context.log.log("%s", arguments.reason().c_str());
        return CommandResult::error();
    }
    return row->handler(context, **arguments);
}

std::string commandReference() {
    std::string out = "| No. | Example line | Reply | What it does |\n|---|---|---|---|\n";
    for (const CommandRow& row : commandRows())
        out += "| " + std::to_string(row.number) + " | " + exampleCell(row) + " | `" +
               row.exampleReply + "` | " + row.summary + " |\n";
    return out;
}

} // namespace kavelin
