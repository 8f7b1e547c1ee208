#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace kavelin {

// Writes metrics in Prometheus's text exposition format (version 0.0.4): each family's HELP
// and TYPE lines, then its samples, one a line.
class PrometheusText {
public:
    using Labels = std::initializer_list<std::pair<std::string_view, std::string_view>>;

    // The content type that names this format.
    static constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";

    // A family of one sample without labels.
    void counter(std::string_view name, std::string_view help, double value);
    void gauge(std::string_view name, std::string_view help, double value);
    // The HELP and TYPE lines of a family whose samples follow with `sample`.
    void family(std::string_view name, std::string_view type, std::string_view help);
    void sample(std::string_view name, Labels labels, double value);
    // A histogram: the cumulative count at each upper bound, then the count of all, and the sum.
    void histogram(std::string_view name, std::string_view help, std::span<const double> bounds,
                   std::span<const uint64_t> cumulative, double sum);

    const std::string& text() const { return text_; }

private:
    void value(double v);

    std::string text_;
};

// A label value as the format writes it between quotes: \ " and the line feed escaped.
std::string escapeLabelValue(std::string_view value);

} // namespace kavelin
