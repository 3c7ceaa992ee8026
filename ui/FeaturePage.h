#pragma once

#include <cstdint>

#include <QColor>

#include "platform/Platform.h"
#include "ui/Dialog.h"

namespace vellumin::ui {

// Behind every page and report list: RGB(1, 41, 108).
inline const QColor kPageBackground{1, 41, 108};

// One of the six feature pages of the main window: a child dialog without caption, created
// inside the main window's page area. The main window writes the page's physical drive
// number, fills it through the page's own operation (Fill, fill message, StartUpdateQuery),
// shows and hides it, and, before the page is destroyed or the program ends, asks it whether
// it is busy and has it stop its worker.
class FeaturePage : public Dialog {
    Q_OBJECT
public:
    FeaturePage(const DialogTemplate& dialogTemplate, platform::Platform& platform)
        : Dialog(dialogTemplate), m_platform(platform) {}

    // The drives and the machine the page works on.
    platform::Platform& Platform() const { return m_platform; }

    // Creates the page window in the page area, at the area's top-left corner.
    bool CreatePage(QWidget* pageArea);

    void SetPhysicalDrive(int32_t drive) { m_nPhysicalDrive = drive; }
    int32_t PhysicalDrive() const { return m_nPhysicalDrive; }

    // True while the page runs a worker (scan, erase, query, download) that the main window
    // must not pull the page from under.
    virtual bool IsBusy() const { return false; }
    // Whether the running work may be stopped by leaving the window; an erase may not.
    virtual bool CanStop() const { return true; }
    // Asks the running worker to stop and returns when it has ended, handling UI events while
    // it waits (the worker may be waiting for the UI thread).
    virtual void StopAndWait() {}

    // The main window: the page's parent's parent. Workers lock its controls by id.
    Dialog* MainWindow() const;

signals:
    // A worker the page ran has ended and the page is no longer busy with it.
    void WorkEnded();

private:
    platform::Platform& m_platform;

protected:
    // The physical drive the main window chose; signed, as pages store it.
    int32_t m_nPhysicalDrive = 0;
};

}  // namespace vellumin::ui
