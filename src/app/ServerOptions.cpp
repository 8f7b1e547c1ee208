#include "app/ServerOptions.h"

#include "app/CommandLine.h"

#include <string_view>

namespace kavelin {

namespace {

std::vector<ServerOption> readUsageLine() {
    const std::string_view usage = usageText();
    const size_t begin = usage.find("kavelin [");
    const std::string_view line = usage.substr(begin, usage.find("kavelin render") - begin);
    std::vector<ServerOption> options;
    for (size_t at = line.find("[--"); at != std::string_view::npos; at = line.find("[--", at)) {
        // The group ends at its own bracket: a value may hold brackets ([ADDR:]PORT).
        size_t end = at;
        for (int depth = 0; end < line.size(); ++end) {
            if (line[end] == '[')
                ++depth;
            else if (line[end] == ']' && --depth == 0)
                break;
        }
        const std::string_view group = line.substr(at + 3, end - at - 3);
        const size_t blank = group.find(' ');
        options.push_back({std::string(group.substr(0, blank)), blank != std::string_view::npos,
                           line.substr(end + 1, 3) == "..."});
        at = end;
    }
    return options;
}

} // namespace

const std::vector<ServerOption>& serverOptions() {
    static const std::vector<ServerOption> options = readUsageLine();
    return options;
}

const ServerOption* findServerOption(const std::string& name) {
    for (const ServerOption& option : serverOptions())
        if (option.name == name)
            return &option;
    return nullptr;
}

} // namespace kavelin
