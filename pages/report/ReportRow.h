#pragma once

#include <string>
#include <vector>

namespace vellumin::pages {

// One line of a report list: "Feature" and "Content". Decoded once, then shown by the page,
// the CLI table and its JSON alike.
struct ReportRow {
    std::string label;
    std::string value;

    bool operator==(const ReportRow&) const = default;
};

using ReportRows = std::vector<ReportRow>;

}  // namespace vellumin::pages
