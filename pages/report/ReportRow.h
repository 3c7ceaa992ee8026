#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vellumin::pages {

// One line of a report list: "Feature" and "Content". Decoded once, then shown by the page,
// the CLI table and its JSON alike.
struct ReportRow {
    ReportRow() = default;
    // Rows are written {label, value} everywhere; the number is for the rows that have one.
    ReportRow(std::string label, std::string value, std::optional<int64_t> number = std::nullopt)
        : label(std::move(label)), value(std::move(value)), number(number) {}

    std::string label;
    std::string value;
    // The figure itself where the row shows one (SMART counts, temperature in Celsius), for
    // consumers that need the number rather than its text.
    std::optional<int64_t> number;

    bool operator==(const ReportRow&) const = default;
};

using ReportRows = std::vector<ReportRow>;

}  // namespace vellumin::pages
