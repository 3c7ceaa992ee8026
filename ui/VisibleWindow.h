#pragma once

#include <QApplication>
#include <QWidget>

namespace vellumin::ui {

// The shown top-level window of type T (a modal dialog, a message box), or nullptr; for code
// that drives the program's own windows from outside: tests and the screenshot driver.
template <class T>
T* VisibleWindow() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = dynamic_cast<T*>(w); found && found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace vellumin::ui
