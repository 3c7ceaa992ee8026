#include "cli/PromText.h"

#include <charconv>
#include <cmath>

namespace vellumin::cli::prom {

std::string EscapeLabelValue(std::string_view value) {
    std::string escaped;
    for (char c : value) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '"':
                escaped += "\\\"";
                break;
            case '\n':
                escaped += "\\n";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

bool Exposition::Add(const Family& family, const Labels& labels, int64_t value) {
    return AddSample(family, labels, std::to_string(value));
}

bool Exposition::Add(const Family& family, const Labels& labels, double value) {
    if (std::isnan(value)) {
        return AddSample(family, labels, "NaN");
    }
    if (std::isinf(value)) {
        return AddSample(family, labels, value > 0 ? "+Inf" : "-Inf");
    }
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return AddSample(family, labels, std::string(text, end));
}

bool Exposition::AddSample(const Family& family, const Labels& labels, std::string value) {
    auto found = m_index.find(family.name);
    if (found == m_index.end()) {
        found = m_index.emplace(std::string(family.name), m_families.size()).first;
        m_families.push_back({family, {}, {}});
    }
    Series& series = m_families[found->second];
    std::string labelText;
    for (const auto& [name, text] : labels) {
        labelText += (labelText.empty() ? "" : ",") + name + "=\"" + EscapeLabelValue(text) + '"';
    }
    if (!series.labelSets.insert(labelText).second) {
        return false;
    }
    std::string line(family.name);
    if (!labelText.empty()) {
        line += '{' + labelText + '}';
    }
    series.lines.push_back(line + ' ' + value);
    return true;
}

std::string Exposition::Text() const {
    std::string text;
    for (const auto& series : m_families) {
        text += "# HELP " + std::string(series.family.name) + ' ' +
                std::string(series.family.help) + '\n';
        text += "# TYPE " + std::string(series.family.name) +
                (series.family.type == MetricType::Counter ? " counter\n" : " gauge\n");
        for (const auto& line : series.lines) {
            text += line + '\n';
        }
    }
    return text;
}

}  // namespace vellumin::cli::prom
