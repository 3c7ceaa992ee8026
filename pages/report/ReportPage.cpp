#include "pages/report/ReportPage.h"

namespace vellumin::pages {

ReportPage::ReportPage(const ui::DialogTemplate& dialogTemplate, platform::Platform& platform,
                       int labelWidth, int valueWidth)
    : FeaturePage(dialogTemplate, platform), m_nLabelWidth(labelWidth), m_nValueWidth(valueWidth) {}

bool ReportPage::OnInitDialog() {
    m_list.setFont(ui::PointFont(120));
    m_list.SetExtendedStyle(controls::CSelectListCtrl::kGridLines);
    m_list.InsertColumn(0, "", controls::CSelectListCtrl::Align::Left, 1);
    m_list.InsertColumn(1, "Feature", controls::CSelectListCtrl::Align::Left, m_nLabelWidth);
    m_list.InsertColumn(2, "Content", controls::CSelectListCtrl::Align::Left, m_nValueWidth);
    // The values take the room the labels leave: no value runs under the scroll bar.
    m_list.SetLastColumnFills(true);
    m_list.SetBkColor(ui::kPageBackground);
    return true;
}

void ReportPage::HandOver(const ui::PageDrive& drive) {
    Fill(drive.number);
}

}  // namespace vellumin::pages
