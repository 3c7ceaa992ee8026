#pragma once

// Prometheus' text exposition format, as node_exporter's textfile collector reads it.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellumin::cli::prom {

enum class MetricType { Gauge, Counter };

struct Family {
    std::string_view name;
    std::string_view help;
    MetricType type = MetricType::Gauge;
};

using Labels = std::vector<std::pair<std::string, std::string>>;

// A label value (UTF-8) as the format wants it: backslash, double quote and line feed
// escaped.
std::string EscapeLabelValue(std::string_view value);

// Collects series and renders them grouped by family, each family once with its # HELP and
// # TYPE, in the order families were first used.
class Exposition {
public:
    // False, and nothing added, when the family already has a series with these labels.
    bool Add(const Family& family, const Labels& labels, int64_t value);
    bool Add(const Family& family, const Labels& labels, double value);

    std::string Text() const;

private:
    bool AddSample(const Family& family, const Labels& labels, std::string value);

    struct Series {
        Family family;
        std::set<std::string> labelSets;
        std::vector<std::string> lines;
    };
    std::vector<Series> m_families;
    std::map<std::string, size_t, std::less<>> m_index;
};

}  // namespace vellumin::cli::prom
