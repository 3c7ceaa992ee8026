#pragma once

#include <cstdint>
#include <span>
#include <string>

#include <QColor>

#include "ata/IdentifyBlock.h"
#include "platform/Platform.h"
#include "ui/Dialog.h"

namespace vellumin::ui {

// Behind every page and report list: RGB(1, 41, 108).
inline const QColor kPageBackground{1, 41, 108};

// The drive the main window hands a page it is about to show: its number and the drive
// table's copies of its model text and identify block, which outlive the page.
struct PageDrive {
    int32_t number = 0;
    const std::string& model;
    const vellumin::ata::IdentifyBlock& identify;
};

// One of the feature pages of the main window: a child dialog without caption, created
// inside the main window's page area. The main window hands the page its drive (or tells it
// there is none) each time it shows it, shows and hides it, and, before the page is destroyed
// or the program ends, asks it whether it is busy and has it stop its worker.
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

    // The page is about to be shown for `drive`: it takes the drive and fills itself for it
    // (its report, its gates, its question to the update service).
    virtual void HandOver(const PageDrive& drive) { SetPhysicalDrive(drive.number); }
    // The page is about to be shown without any drive (its area stays hidden): it offers
    // nothing to start.
    virtual void HandOverNoDrive() {}
    // Last before the page is shown, with a drive or without.
    virtual void BeforeShow() {}
    // The user chose `drive` in the list, whichever page is on show.
    virtual void FollowDrive(int32_t drive) { SetPhysicalDrive(drive); }

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
    void EnableMainWindowItems(std::span<const int> ids, bool enable) const;

signals:
    // A worker the page ran has ended and the page is no longer busy with it.
    void WorkEnded();

protected:
    // Whether the drive, asked afresh (the list's copy may be older than a re-plug), belongs
    // to the model series that has no scan and needs AHCI for a firmware update.
    bool IsModelSeriesNow(int32_t drive) const;

private:
    platform::Platform& m_platform;

protected:
    // The physical drive the main window chose; signed, as pages store it.
    int32_t m_nPhysicalDrive = 0;
};

}  // namespace vellumin::ui
