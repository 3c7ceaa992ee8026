#pragma once

// The pages' decoded report rows in the CLI's table/JSON shape.

#include "cli/Output.h"
#include "pages/report/ReportRow.h"

namespace vellumin::cli {

inline Rows ToRows(const pages::ReportRows& report) {
    Rows rows;
    rows.reserve(report.size());
    for (const auto& row : report) {
        rows.push_back({row.label, row.value});
    }
    return rows;
}

}  // namespace vellumin::cli
