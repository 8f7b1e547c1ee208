#include "outputs/media/MediaOptions.h"

#include <charconv>

namespace kavelin {

namespace {

Error badValue(const MediaOption& option, const std::string& expected) {
    return failure("bad value '" + option.value + "' for option '" + option.name +
                   "': " + expected);
}

// Digits only, taking the whole text, within 64 bits.
bool parseDigits(std::string_view text, int64_t& value) {
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

Result<std::vector<MediaOption>> splitMediaOptions(std::string_view query) {
    std::vector<MediaOption> options;
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view part = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        const size_t equals = part.find('=');
        if (equals == 0 || equals == std::string_view::npos || equals + 1 == part.size())
            return failure("option '" + std::string(part) + "' is not NAME=VALUE");
        MediaOption option{std::string(part.substr(0, equals)),
                           std::string(part.substr(equals + 1))};
        for (const MediaOption& earlier : options)
            if (earlier.name == option.name)
                return failure("option '" + option.name + "' given twice");
        options.push_back(std::move(option));
    }
    return options;
}

Result<int64_t> parseBitRate(const MediaOption& option, int64_t least, int64_t most) {
    std::string_view digits = option.value;
    int64_t unit = 1;
    if (!digits.empty() && (digits.back() == 'k' || digits.back() == 'K'))
        unit = 1000;
    else if (!digits.empty() && digits.back() == 'M')
        unit = 1000000;
    if (unit != 1)
        digits.remove_suffix(1);
    int64_t value = 0;
    const std::string range = "bits a second (4000000, 4000k or 4M), from " +
                              std::to_string(least / 1000) + "k to " +
                              std::to_string(most / 1000000) + "M";
    if (!parseDigits(digits, value) || value > most / unit || value * unit < least)
        return badValue(option, range);
    return value * unit;
}

Result<int64_t> parseCount(const MediaOption& option, int64_t least, int64_t most) {
    int64_t value = 0;
    if (!parseDigits(option.value, value) || value < least || value > most)
        return badValue(option, "a whole number from " + std::to_string(least) + " to " +
                                    std::to_string(most));
    return value;
}

Result<std::string> parseChoice(const MediaOption& option,
                                std::initializer_list<const char*> choices) {
    std::string accepted;
    for (const char* choice : choices) {
        if (option.value == choice)
            return option.value;
        accepted += (accepted.empty() ? "" : ", ") + std::string(choice);
    }
    return badValue(option, "one of " + accepted);
}

} // namespace kavelin
