#include "pages/scan/CDiagnosticS.h"

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CDiagnosticS::IDC_QUICK_SCAN, ControlKind::ImageButton, 7, 7, 76, 14, "Quick Scan", kBitmap | kTabStop},
    {CDiagnosticS::IDC_FULL_SCAN, ControlKind::ImageButton, 89, 7, 76, 14, "Full Scan", kBitmap | kTabStop},
    {CDiagnosticS::IDC_NOT_SUPPORTED, ControlKind::Static, 7, 7, 306, 14,
     "The selected drive does not support this function."},
    {CDiagnosticS::IDC_PROGRESS, ControlKind::Progress, 7, 35, 228, 10, ""},
    {CDiagnosticS::IDC_PERCENT, ControlKind::Static, 247, 35, 52, 20, "", kHidden},
    {CDiagnosticS::IDC_ITEMS, ControlKind::Static, 7, 58, 272, 16, "", kHidden},
    {CDiagnosticS::IDC_ELAPSED, ControlKind::Static, 7, 78, 171, 16, ""},
    {CDiagnosticS::IDC_RESULT, ControlKind::Static, 7, 101, 290, 11, ""},
    {CDiagnosticS::IDC_STOP, ControlKind::ImageButton, 7, 125, 22, 16, "Stop", kBitmap | kHidden | kTabStop},
};
constexpr DialogTemplate kTemplate{CDiagnosticS::kDialogId, 315, 156, "", kChild, kControls};

}  // namespace

CDiagnosticS::CDiagnosticS(vellumin::platform::Platform& platform) : FeaturePage(kTemplate, platform) {}

// The worker must have ended before the page's controls go.
CDiagnosticS::~CDiagnosticS() { StopAndWait(); }

void CDiagnosticS::DoDataExchange() {
    Bind(IDC_QUICK_SCAN, m_btnQuick);
    Bind(IDC_FULL_SCAN, m_btnFull);
    Bind(IDC_STOP, m_btnStop);
}

bool CDiagnosticS::OnInitDialog() {
    for (int id : {IDC_NOT_SUPPORTED, IDC_ITEMS, IDC_ELAPSED, IDC_RESULT}) {
        SetItemTextStyle(id, Qt::white, PointFont(120));
    }
    SetItemTextStyle(IDC_PERCENT, kPageBackground, PointFont(120));
    // Button bitmaps, progress-bar colours and the idle state: the scan page's own.
    return true;
}

bool CDiagnosticS::IsBusy() const { return false; }

void CDiagnosticS::StopAndWait() {}

void CDiagnosticS::OnCommand(int /*id*/) {
    // Quick scan (1008), full scan (1009), stop (1049).
}

void CDiagnosticS::OnTimer(int /*id*/) {
    // Elapsed-time label on timer 8001.
}

void CDiagnosticS::OnShowWindow(bool /*show*/) {
    // Idle page: only the scan buttons (or the unsupported text) stay.
}
