#pragma once

// The pages' decoded report rows in the CLI's table/JSON shape.

#include "cli/Output.h"
#include "pages/report/DriveBlocks.h"
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

// Adds "notDelivered" (TransportJson of each read that was not delivered) to a report's JSON.
inline void AddUndeliveredReads(nlohmann::json& document, const pages::DriveBlocks& blocks) {
    if (!blocks.identifyRead) {
        document["notDelivered"].push_back(TransportJson("IDENTIFY DEVICE", blocks.identifyResult));
    }
    if (!blocks.smartRead) {
        document["notDelivered"].push_back(TransportJson("SMART READ DATA", blocks.smartResult));
    }
}

}  // namespace vellumin::cli
