#include "ui/FeaturePage.h"

namespace vellumin::ui {

bool FeaturePage::CreatePage(QWidget* pageArea) {
    SetBackgroundColor(kPageBackground);
    return Create(pageArea);
}

Dialog* FeaturePage::MainWindow() const {
    QWidget* area = parentWidget();
    return area ? dynamic_cast<Dialog*>(area->parentWidget()) : nullptr;
}

}  // namespace vellumin::ui
