#pragma once

#include "base/Result.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kavelin {

// One NAME=VALUE of the query written after a preset media output's path or address
// ("out.mov?bitrate=200M", "srt://host:9000?mode=listener&bitrate=4000k").
struct MediaOption {
    std::string name;
    std::string value;
};

// Splits a query at '&'. An empty query has no options; a part without '=', with an empty name
// or value, or a name given twice is refused.
Result<std::vector<MediaOption>> splitMediaOptions(std::string_view query);

// Bits a second, plain or with k or M for thousands or millions (4000000, 4000k, 4M), from
// `least` to `most`.
Result<int64_t> parseBitRate(const MediaOption& option, int64_t least, int64_t most);
// A whole number from `least` to `most`.
Result<int64_t> parseCount(const MediaOption& option, int64_t least, int64_t most);
// One of `choices`, as written.
Result<std::string> parseChoice(const MediaOption& option,
                                std::initializer_list<const char*> choices);

} // namespace kavelin
