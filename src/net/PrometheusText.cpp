#include "net/PrometheusText.h"

#include <charconv>
#include <cmath>

namespace kavelin {

namespace {

// HELP text escapes the backslash and the line feed; label values the quote as well.
std::string escaped(std::string_view text, bool quote) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '"' && quote)
            out += "\\\"";
        else
            out += c;
    }
    return out;
}

// Whole numbers (counts, bytes) in digits; others in the shortest text that reads back as the
// same number, as %g writes it (0.0001, 2.5, 1e-05), so that a bucket's bound reads as other
// exporters write it.
std::string number(double v) {
    char digits[32];
    std::to_chars_result written{};
    if (v == std::trunc(v) && std::fabs(v) < 1e15)
        written = std::to_chars(digits, digits + sizeof digits, static_cast<int64_t>(v));
    else
        written = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::general);
    return std::string(digits, written.ec == std::errc() ? written.ptr : digits);
}

} // namespace

std::string escapeLabelValue(std::string_view value) {
    return escaped(value, true);
}

void PrometheusText::value(double v) {
    if (std::isnan(v)) {
        text_ += "NaN";
    } else if (std::isinf(v)) {
        text_ += v > 0 ? "+Inf" : "-Inf";
    } else {
        text_ += number(v);
    }
}

void PrometheusText::family(std::string_view name, std::string_view type, std::string_view help) {
    text_ += "# HELP ";
    text_ += name;
    text_ += ' ';
    text_ += escaped(help, false);
    text_ += "\n# TYPE ";
    text_ += name;
    text_ += ' ';
    text_ += type;
    text_ += '\n';
}

void PrometheusText::sample(std::string_view name, Labels labels, double v) {
    text_ += name;
    if (labels.size() != 0) {
        char separator = '{';
        for (const auto& [label, labelValue] : labels) {
            text_ += separator;
            text_ += label;
            text_ += "=\"";
            text_ += escapeLabelValue(labelValue);
            text_ += '"';
            separator = ',';
        }
        text_ += '}';
    }
    text_ += ' ';
    value(v);
    text_ += '\n';
}

void PrometheusText::counter(std::string_view name, std::string_view help, double v) {
    family(name, "counter", help);
    sample(name, {}, v);
}

void PrometheusText::gauge(std::string_view name, std::string_view help, double v) {
    family(name, "gauge", help);
    sample(name, {}, v);
}

void PrometheusText::histogram(std::string_view name, std::string_view help,
                               std::span<const double> bounds, std::span<const uint64_t> cumulative,
                               double sum) {
    family(name, "histogram", help);
    const std::string base(name);
    for (size_t i = 0; i < cumulative.size(); ++i) {
        const std::string bound = i < bounds.size() ? number(bounds[i]) : "+Inf";
        sample(base + "_bucket", {{"le", bound}}, static_cast<double>(cumulative[i]));
    }
    sample(base + "_sum", {}, sum);
    sample(base + "_count", {}, cumulative.empty() ? 0 : static_cast<double>(cumulative.back()));
}

} // namespace kavelin
