#pragma once

// Writes decoded report rows into a page's report list (Qt side; the rows come from the
// engines).

#include <QString>

#include "controls/CSelectListCtrl.h"
#include "pages/report/ReportRow.h"

namespace vellumin::pages {

// Drive texts are 8-bit, one character per byte.
inline QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Row r of `rows` goes in at index first + r: an empty row first, then column 1 the label and
// column 2 the value; column 0 stays empty. The label column widens to its longest label, so
// none is cut.
inline void InsertReportRows(controls::CSelectListCtrl& list, int first, const ReportRows& rows) {
    for (size_t r = 0; r < rows.size(); ++r) {
        const int index = list.InsertItem(first + static_cast<int>(r), QString());
        list.SetItemText(index, 1, Latin1(rows[r].label));
        list.SetItemText(index, 2, Latin1(rows[r].value));
    }
    list.FitColumnToText(1);
}

}  // namespace vellumin::pages
