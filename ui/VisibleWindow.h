#pragma once

#include <QApplication>
#include <QWidget>

namespace vellumin::ui {

// The first visible top-level window of type T (a dialog or message box a modal loop opened),
// or nullptr.
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
