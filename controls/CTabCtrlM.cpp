#include "controls/CTabCtrlM.h"

namespace vellumin::controls {

CTabCtrlM::CTabCtrlM(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
}

// Erase answered as done: nothing painted; what shows is the window behind and the pages.
void CTabCtrlM::paintEvent(QPaintEvent*) {}

}  // namespace vellumin::controls
