#pragma once

// Reads Prometheus's text exposition format (0.0.4) strictly, as a scraper would, and checks
// what a scraper relies on: every sample belongs to a family declared with HELP and TYPE before
// it, names and labels are well formed, label values are escaped, no series comes twice, and a
// histogram's buckets are cumulative up to a +Inf bucket equal to its count.

#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <set>
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

inline bool nameChar(char c, bool first, bool colon) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (colon && c == ':') ||
           (!first && c >= '0' && c <= '9');
}

// A metric name (colons allowed) or label name at `at`; empty when none.
inline std::string takeName(const std::string& line, size_t& at, bool colon) {
    const size_t start = at;
    while (at < line.size() && nameChar(line[at], at == start, colon))
        ++at;
    return line.substr(start, at - start);
}

inline std::optional<double> number(const std::string& text) {
    if (text == "+Inf")
        return INFINITY;
    if (text == "-Inf")
        return -INFINITY;
    if (text == "NaN")
        return NAN;
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

// The family a sample name belongs to, given the declared types.
inline std::string familyOf(const std::string& name,
                            const std::map<std::string, std::string>& types) {
    for (const char* suffix : {"_bucket", "_sum", "_count"}) {
        const std::string s = suffix;
        if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) {
            const std::string base = name.substr(0, name.size() - s.size());
            const auto it = types.find(base);
            if (it != types.end() && it->second == "histogram")
                return base;
        }
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
    if (!text.empty() && text.back() != '\n')
        fail("no line feed at the end", text.substr(text.rfind('\n') + 1));
    size_t begin = 0;
    for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        const std::string line = text.substr(begin, end - begin);
        if (line.rfind("# HELP ", 0) == 0 || line.rfind("# TYPE ", 0) == 0) {
            size_t at = 7;
            const std::string name = takeName(line, at, true);
            if (name.empty() || at >= line.size() || line[at] != ' ')
                fail("malformed comment", line);
            if (sampled.count(name))
                fail("HELP or TYPE after the family's samples", line);
            auto& map = line[2] == 'H' ? e.helps : e.types;
            if (map.count(name))
                fail("HELP or TYPE given twice", line);
            map[name] = at < line.size() ? line.substr(at + 1) : "";
            if (line[2] == 'T' &&
                !std::set<std::string>{"counter", "gauge", "histogram", "summary", "untyped"}.count(
                    map[name]))
                fail("unknown type", line);
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        PromSample s;
        size_t at = 0;
        s.name = takeName(line, at, true);
        if (s.name.empty())
            fail("no metric name", line);
        if (at < line.size() && line[at] == '{') {
            ++at;
            while (at < line.size() && line[at] != '}') {
                const std::string label = takeName(line, at, false);
                if (label.empty() || line.compare(at, 2, "=\"") != 0) {
                    fail("malformed label", line);
                    break;
                }
                at += 2;
                std::string value;
                for (; at < line.size() && line[at] != '"'; ++at) {
                    if (line[at] != '\\') {
                        value += line[at];
                        continue;
                    }
                    const char next = at + 1 < line.size() ? line[++at] : 0;
                    if (next == 'n')
                        value += '\n';
                    else if (next == '\\' || next == '"')
                        value += next;
                    else
                        fail("bad escape in a label value", line);
                }
                if (at >= line.size())
                    fail("label value without its closing quote", line);
                ++at;
                if (s.labels.count(label))
                    fail("label given twice", line);
                s.labels[label] = value;
                if (at < line.size() && line[at] == ',')
                    ++at;
            }
            if (at >= line.size())
                fail("labels without their closing brace", line);
            ++at;
        }
        if (at >= line.size() || line[at] != ' ') {
            fail("no space before the value", line);
            continue;
        }
        const std::optional<double> value = number(line.substr(at + 1));
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
    // Histograms: buckets with le, cumulative, ending at +Inf with the count.
    for (const auto& [family, type] : e.types) {
        if (type != "histogram")
            continue;
        double previous = -1, inf = -1;
        for (const PromSample& s : e.samples) {
            if (s.name != family + "_bucket")
                continue;
            if (!s.labels.count("le") || !number(s.labels.at("le")))
                fail("a bucket without a numeric le", s.name);
            else if (s.value < previous)
                fail("buckets not cumulative", s.name + " le=" + s.labels.at("le"));
            else if (s.labels.at("le") == "+Inf")
                inf = s.value;
            previous = s.value;
        }
        if (inf < 0 || e.value(family + "_count") != inf || !e.value(family + "_sum"))
            fail("a histogram without +Inf bucket, count equal to it, or sum", family);
    }
    return e;
}

} // namespace kavelin::test
