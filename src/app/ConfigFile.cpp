#include "app/ConfigFile.h"

#include "app/ServerOptions.h"
#include "app/TomlSettings.h"

#include <set>

namespace kavelin {

namespace {

CommandLine invalid(std::string why, bool pointToUsage) {
    CommandLine c;
    c.mode = CommandLine::Mode::Invalid;
    c.error = std::move(why);
    c.pointToUsage = pointToUsage;
    return c;
}

} // namespace

std::optional<CommandLine> parseWithConfigFile(const std::vector<std::string>& args) {
    // The arguments are walked as the parser walks them, so that a value is never taken for
    // an option.
    std::optional<std::string> path;
    std::vector<std::string> own;
    std::set<std::string> given;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--config") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return invalid("--config needs a file", true);
            if (path)
                return invalid("--config given twice", true);
            path = args[++i];
            continue;
        }
        own.push_back(args[i]);
        const ServerOption* option =
            args[i].rfind("--", 0) == 0 ? findServerOption(args[i].substr(2)) : nullptr;
        if (option == nullptr)
            continue;
        given.insert(option->name);
        if (option->takesValue && i + 1 < args.size())
            own.push_back(args[++i]);
    }
    if (!path)
        return std::nullopt;

    Result<std::vector<TomlSetting>> settings = readTomlSettings(*path);
    if (!settings)
        return invalid(settings.reason(), false);
    std::vector<std::string> merged;
    std::vector<const TomlSetting*> used;
    for (const TomlSetting& setting : *settings) {
        if (given.count(setting.key) != 0)
            continue;
        merged.insert(merged.end(), setting.arguments.begin(), setting.arguments.end());
        used.push_back(&setting);
    }
    merged.insert(merged.end(), own.begin(), own.end());
    CommandLine c = CommandLine::parse(merged);
    if (c.mode != CommandLine::Mode::Invalid)
        return c;
    // The first setting that is refused on its own is the one to mend; a refusal of the
    // settings together (an output that needs the windows, headless) stays as it is.
    for (const TomlSetting* setting : used) {
        if (setting->arguments.empty())
            continue;
        const CommandLine alone = CommandLine::parse(setting->arguments);
        if (alone.mode == CommandLine::Mode::Invalid)
            return invalid(*path + ":" + std::to_string(setting->line) + ": " + setting->key +
                               ": " + alone.error,
                           false);
    }
    return c;
}

} // namespace kavelin
