#pragma once

// The main window's page area: a tab control that carries no tabs and is the parent of the
// six feature pages, which paint their own background. It never erases its background, so
// nothing of its own ever flickers between the pages and the window behind.

#include <QWidget>

namespace vellumin::controls {

class CTabCtrlM : public QWidget {
    Q_OBJECT
public:
    explicit CTabCtrlM(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
};

}  // namespace vellumin::controls
