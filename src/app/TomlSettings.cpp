#include "app/TomlSettings.h"

#include "base/ReadableFile.h"

#include <toml++/toml.h>

#include <algorithm>
#include <charconv>

namespace kavelin {

namespace {

// Far beyond any settings file; a path to something else is refused unread.
constexpr int64_t kMaxFileBytes = 1 << 20;

// A scalar as the text an argument would give; none for a boolean, a date or a container.
std::optional<std::string> argumentText(const toml::node& node) {
    if (const auto* text = node.as_string())
        return text->get();
    if (const auto* integer = node.as_integer())
        return std::to_string(integer->get());
    if (const auto* number = node.as_floating_point()) {
        // Fixed notation, the shortest that reads back the same: 0.5, not 5e-01.
        char digits[400];
        const auto [end, ec] =
            std::to_chars(digits, digits + sizeof digits, number->get(), std::chars_format::fixed);
        if (ec == std::errc())
            return std::string(digits, end);
    }
    return std::nullopt;
}

int lineOf(const toml::source_region& source) {
    return static_cast<int>(source.begin.line);
}

class Reader {
public:
    explicit Reader(const std::string& path) : path_(path) {}

    Result<std::vector<TomlSetting>> read(const toml::table& table) {
        // The table keeps its keys sorted: they are taken in the order of their lines, so that
        // the first mistake in the file is the one named.
        std::vector<std::pair<const toml::key*, const toml::node*>> keys;
        for (const auto& [key, node] : table)
            keys.emplace_back(&key, &node);
        std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
            return a.first->source().begin.line < b.first->source().begin.line;
        });
        for (const auto& [key, node] : keys)
            if (!take(std::string(key->str()), lineOf(key->source()), *node))
                return failure(error_);
        return std::move(settings_);
    }

private:
    bool take(const std::string& key, int line, const toml::node& node) {
        const ServerOption* option = findServerOption(key);
        // The file is read as a command line's options, not as a way to another file.
        if (option == nullptr || key == "config")
            return fail(line, "unknown key '" + key + "'");
        const std::string flag = "--" + key;
        if (!option->takesValue) {
            const auto* on = node.as_boolean();
            if (on == nullptr)
                return fail(line, "'" + key + "' takes true or false");
            settings_.push_back(
                {key, line, on->get() ? std::vector{flag} : std::vector<std::string>{}});
            return true;
        }
        if (!option->repeatable) {
            const std::optional<std::string> value = argumentText(node);
            if (!value)
                return fail(line, "'" + key + "' takes one value, a string or a number");
            settings_.push_back({key, line, {flag, *value}});
            return true;
        }
        const auto* list = node.as_array();
        if (list == nullptr)
            return fail(line, "'" + key + "' takes a list, as " + key + " = [\"...\"]");
        for (const toml::node& item : *list) {
            const std::optional<std::string> value = argumentText(item);
            if (!value)
                return fail(lineOf(item.source()),
                            "'" + key + "' takes a list of strings or numbers");
            settings_.push_back({key, lineOf(item.source()), {flag, *value}});
        }
        return true;
    }

    bool fail(int line, const std::string& what) {
        error_ = path_ + ":" + std::to_string(line) + ": " + what;
        return false;
    }

    const std::string& path_;
    std::vector<TomlSetting> settings_;
    std::string error_;
};

} // namespace

Result<std::vector<TomlSetting>> readTomlSettings(const std::string& path) {
    Result<ReadableFile> file = ReadableFile::open(path);
    if (!file)
        return file.error();
    Result<std::vector<char>> text = file->readAll(kMaxFileBytes);
    if (!text)
        return text.error();
    try {
        return Reader(path).read(toml::parse(std::string_view(text->data(), text->size()), path));
    } catch (const toml::parse_error& error) {
        return failure(path + ":" + std::to_string(lineOf(error.source())) + ": " +
                       std::string(error.description()));
    }
}

} // namespace kavelin
