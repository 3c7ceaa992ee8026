#include "ui/FeaturePage.h"

#include "transport/Transport.h"

namespace vellumin::ui {

bool FeaturePage::CreatePage(QWidget* pageArea) {
    SetBackgroundColor(kPageBackground);
    return Create(pageArea);
}

Dialog* FeaturePage::MainWindow() const {
    QWidget* area = parentWidget();
    return area ? dynamic_cast<Dialog*>(area->parentWidget()) : nullptr;
}

void FeaturePage::EnableMainWindowItems(std::span<const int> ids, bool enable) const {
    if (Dialog* main = MainWindow()) {
        for (int id : ids) {
            main->EnableItem(id, enable);
        }
    }
}

bool FeaturePage::IsModelSeriesNow(int32_t drive) const {
    ata::IdentifyBlock block{};
    ata::IdentifyDevice(m_platform.Drives(), drive, block);
    return ata::IsModelSeries(ata::ModelText(block));
}

}  // namespace vellumin::ui
