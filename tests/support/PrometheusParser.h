#pragma once

// Reads Prometheus's text exposition format (0.0.4) and checks what a scraper relies on in how a
// page is put together: every sample belongs to a family declared once with HELP and TYPE
// before it, and no series comes twice. How each line is spelled (names, escapes, numbers) is
// pinned byte for byte by the text's own test, tests/net/http_test.cpp, and the buckets of the
// command durations by the metrics service's.

#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace kavelin::test {

struct PromSample {
    std::string name;
    std::map<std::string, std::string> labels;
    double value = 0;
};

struct Exposition {
    std::map<std::string, std::string> types, helps;
    std::vector<PromSample> samples;
    std::string error; // the first fault found, with its line

    // The value of the sample with exactly these labels; none when there is no such sample.
    std::optional<double> value(const std::string& name,
                                const std::map<std::string, std::string>& labels = {}) const {
        for (const PromSample& s : samples)
            if (s.name == name && s.labels == labels)
                return s.value;
        return std::nullopt;
    }
};

namespace prometheus_detail {

inline std::optional<double> number(const std::string& text) {
    if (text == "+Inf")
        return INFINITY;
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

// The family a sample name belongs to: a histogram's for its _bucket, _sum and _count.
inline std::string familyOf(const std::string& name,
                            const std::map<std::string, std::string>& types) {
    for (const std::string suffix : {"_bucket", "_sum", "_count"})
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            const std::string base = name.substr(0, name.size() - suffix.size());
            if (const auto it = types.find(base); it != types.end() && it->second == "histogram")
                return base;
        }
    return name;
}

} // namespace prometheus_detail

inline Exposition parsePrometheus(const std::string& text) {
    using namespace prometheus_detail;
    Exposition e;
    std::set<std::string> seen, sampled;
    const auto fail = [&](const std::string& why, const std::string& line) {
        if (e.error.empty())
            e.error = why + ": '" + line + "'";
    };
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("# HELP ", 0) == 0 || line.rfind("# TYPE ", 0) == 0) {
            const size_t space = line.find(' ', 7);
            const std::string name = line.substr(7, space - 7);
            auto& map = line[2] == 'H' ? e.helps : e.types;
            if (sampled.count(name) || map.count(name))
                fail("HELP or TYPE given twice or after the family's samples", line);
            map[name] = space == std::string::npos ? "" : line.substr(space + 1);
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        // NAME{LABEL="VALUE",...} VALUE; a label value may hold blanks, the value none.
        const size_t brace = line.find('{'), space = line.rfind(' ');
        PromSample s;
        s.name = line.substr(0, std::min(brace, space));
        for (size_t at = brace + 1; brace < space && at < line.size() && line[at] != '}';) {
            const size_t equals = line.find("=\"", at);
            if (equals == std::string::npos) {
                fail("malformed label", line);
                break;
            }
            std::string& value = s.labels[line.substr(at, equals - at)];
            for (at = equals + 2; at < space && line[at] != '"'; ++at)
                value += line[at] != '\\' ? line[at] : line[++at] == 'n' ? '\n' : line[at];
            at += line[at + 1] == ',' ? 2 : 1;
        }
        const std::optional<double> value =
            space == std::string::npos ? std::nullopt : number(line.substr(space + 1));
        if (!value)
            fail("malformed value", line);
        s.value = value.value_or(0);
        const std::string family = familyOf(s.name, e.types);
        if (!e.types.count(family) || !e.helps.count(family))
            fail("a sample of a family without HELP and TYPE", line);
        sampled.insert(family);
        std::string series = s.name;
        for (const auto& [k, v] : s.labels)
            series += "|" + k + "=" + v;
        if (!seen.insert(series).second)
            fail("series given twice", line);
        e.samples.push_back(std::move(s));
    }
    return e;
}

} // namespace kavelin::test
