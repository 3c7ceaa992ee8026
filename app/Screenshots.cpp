#include "app/Screenshots.h"

#include <iostream>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTimer>

#include "app/CVelluminDlg.h"
#include "app/CVelluminPre.h"
#include "pages/erase/CSecureErase.h"
#include "pages/fwupdate/CFWUpdate.h"
#include "pages/fwupdate/CFolderDialog.h"
#include "platform/sim/SimPlatform.h"
#include "ui/VisibleWindow.h"

namespace vellumin::app {
namespace {

using ui::VisibleWindow;

class ScreenshotDriver : public QObject {
public:
    ScreenshotDriver(QString folder, QString prefix, int onlyPage = 0)
        : QObject(QApplication::instance()),
          m_folder(std::move(folder)),
          m_prefix(std::move(prefix)),
          m_onlyPage(onlyPage) {
        QDir().mkpath(m_folder);
        connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
        m_timer.start(150);
    }

private:
    void Save(QWidget& window, const QString& name) {
        const QString path = QDir(m_folder).filePath(m_prefix + name + ".png");
        if (!window.grab().save(path)) {
            std::cerr << "vellumin: cannot write " << path.toStdString() << '\n';
        }
    }

    void Tick() {
        if (m_erase > 0) {
            EraseTick();
            return;
        }
        if (m_update != Update::None) {
            UpdateTick();
            return;
        }
        if (auto* box = VisibleWindow<QMessageBox>()) {
            Save(*box, "notice");
            box->accept();
            return;
        }
        if (m_page == 0) {
            auto* home = VisibleWindow<CVelluminPre>();
            if (home == nullptr || ++m_settle < 3) {
                return;
            }
            if (m_onlyPage == 0) {
                // The mouse on the DRIVE bar: its hover look (a tick later, once the bar has
                // seen the mouse rest) and its description.
                QWidget* bar = home->Item(CVelluminPre::kPageButtons[0]);
                if (!m_hovered && bar != nullptr) {
                    const QPointF at(bar->width() / 2.0, bar->height() / 2.0);
                    QMouseEvent move(QEvent::MouseMove, at, bar->mapToGlobal(at), Qt::NoButton,
                                     Qt::NoButton, Qt::NoModifier);
                    QCoreApplication::sendEvent(bar, &move);
                    m_hovered = true;
                    return;
                }
                Save(*home, "home");
            }
            m_page = m_onlyPage == 0 ? 1 : m_onlyPage;
            m_settle = 0;
            QMetaObject::invokeMethod(
                home, [home, page = m_page] { home->OpenMainWindow(page); }, Qt::QueuedConnection);
            return;
        }
        auto* main = VisibleWindow<CVelluminDlg>();
        if (main == nullptr || main->CurrentPage() != m_page || ++m_settle < 3) {
            return;
        }
        Save(*main, QString("page-%1").arg(m_page));
        m_settle = 0;
        if (m_onlyPage == 0 && m_page < 6 && main->DriveTable().count > 0) {
            main->ShowFeaturePage(++m_page);
            return;
        }
        if (StartUpdateShots(*main) || StartEraseShots(*main)) {
            return;
        }
        m_timer.stop();
        main->close();
    }

    // The erase page's states, each on the first lab drive that shows it.
    enum EraseShot { Security, Vendor, Refused, ShotCount };
    static constexpr const char* kEraseNames[ShotCount] = {"erase-security", "erase-vendor", "erase-refused"};

    // As a click on the row: selected, marked and the page refilled.
    static void Pick(CVelluminDlg& main, int row) {
        main.DriveList().SetSelectedRow(row);
        main.DriveList().SetChosenCell(row, 0);
        main.repaint();
    }

    bool StartEraseShots(CVelluminDlg& main) {
        if (main.DriveTable().count == 0 || !FindEraseRows(main)) {
            return false;
        }
        m_erase = 1;
        return true;
    }

    bool FindEraseRows(CVelluminDlg& main) {
        main.ShowFeaturePage(4);
        auto* page = dynamic_cast<erase::CSecureErase*>(main.Page(4));
        for (int row = main.DriveTable().count - 1; page && row >= 0; --row) {
            main.DriveList().SetSelectedRow(row);
            const auto& gates = page->Gates();
            const int shot = gates.securityEraseMode ? Security
                             : gates.fullVisible     ? Vendor
                             : !gates.gateMessage.empty() ? Refused
                                                          : ShotCount;
            if (shot != ShotCount) {
                m_eraseRows[shot] = row;
            }
        }
        return page && m_eraseRows[Vendor] >= 0;
    }

    // Steps 1-3 show the states, 4 starts a Full Erase slow enough to show its elapsed time, 5
    // waits for the time and 6 for the end, answering the erase's message boxes on the way.
    void EraseTick() {
        auto* main = VisibleWindow<CVelluminDlg>();
        auto* page = main ? dynamic_cast<erase::CSecureErase*>(main->Page(4)) : nullptr;
        if (page == nullptr) {
            return;
        }
        if (auto* box = VisibleWindow<QMessageBox>()) {
            const bool question = box->button(QMessageBox::Yes) != nullptr;
            Save(*box, question ? "erase-confirm" : "erase-done");
            box->button(question ? QMessageBox::Yes : QMessageBox::Ok)->click();
            return;
        }
        if (++m_settle < 3) {
            return;
        }
        m_settle = 0;
        if (m_erase <= ShotCount) {
            if (const int row = m_eraseRows[m_erase - 1]; row >= 0) {
                Pick(*main, row);
                Save(*main, kEraseNames[m_erase - 1]);
            }
            ++m_erase;
        } else if (m_erase == ShotCount + 1) {
            // Never on a real machine: the erase runs only on a lab drive.
            auto* lab = dynamic_cast<platform::sim::SimPlatform*>(&page->Platform());
            Pick(*main, m_eraseRows[Vendor]);
            auto* device = lab ? lab->Device(page->PhysicalDrive()) : nullptr;
            if (device == nullptr) {
                m_erase = ShotCount + 3;
                return;
            }
            device->SetEraseMilliseconds(4500);
            ++m_erase;
            // Queued: the confirmation's own loop must not run inside this tick.
            QMetaObject::invokeMethod(
                page, [page] { page->ItemAs<QAbstractButton>(erase::CSecureErase::IDC_FULL_ERASE)->click(); },
                Qt::QueuedConnection);
        } else if (m_erase == ShotCount + 2 && page->IsBusy() && page->EraseSeconds() >= 3) {
            Save(*main, "erase-running");
            ++m_erase;
        } else if (m_erase == ShotCount + 3 && !page->IsBusy()) {
            m_timer.stop();
            main->close();
        }
    }

    // Page 5 for the lab drive that is offered a newer firmware: the offer, a download under
    // way (into a temporary folder) and its end.
    bool StartUpdateShots(CVelluminDlg& main) {
        const auto& table = main.DriveTable();
        for (int row = 0; row < table.count; ++row) {
            if (table.DriveOfRow(row) == kOfferedDrive) {
                m_update = Update::Offer;
                {
                    const QSignalBlocker quiet(main.DriveList());
                    main.DriveList().SetSelectedRow(row);
                    main.DriveList().SetChosenCell(row, 0);
                }
                main.SetSelectedRow(row);
                main.ShowFeaturePage(5);
                return true;
            }
        }
        return false;
    }

    void UpdateTick() {
        if (auto* box = VisibleWindow<QMessageBox>()) {
            if (auto* yes = box->button(QMessageBox::Yes)) {
                yes->click();
            } else {
                box->accept();
            }
            return;
        }
        auto* main = VisibleWindow<CVelluminDlg>();
        auto* page = main != nullptr ? dynamic_cast<fwupdate::CFWUpdate*>(main->Page(5)) : nullptr;
        if (page == nullptr || ++m_settle < 3) {
            return;
        }
        switch (m_update) {
        case Update::Offer:
            if (page->IsBusy() || !page->IsItemShown(fwupdate::CFWUpdate::IDC_DOWNLOAD)) {
                return;
            }
            Save(*main, "page-5-offer");
            {
                fwupdate::CFolderDialog::ScopedChooser chooser(
                    [this](const std::string&) { return std::optional<std::string>(m_downloadFolder.path().toStdString()); });
                page->ItemAs<QAbstractButton>(fwupdate::CFWUpdate::IDC_BROWSE)->click();
            }
            page->ItemAs<QAbstractButton>(fwupdate::CFWUpdate::IDC_DOWNLOAD)->click();
            m_update = Update::Downloading;
            break;
        case Update::Downloading:
            if (page->IsBusy() && page->ProgressBar().GetPos() == 0) {
                return;
            }
            Save(*main, "page-5-downloading");
            m_update = Update::Finished;
            break;
        case Update::Finished:
            if (page->IsBusy()) {
                return;
            }
            Save(*main, "page-5-finished");
            m_update = Update::None;
            if (!StartEraseShots(*main)) {
                m_timer.stop();
                main->close();
            }
            break;
        case Update::None:
            break;
        }
        m_settle = 0;
    }

    static constexpr int kOfferedDrive = 3;
    enum class Update { None, Offer, Downloading, Finished };
    Update m_update = Update::None;
    QTemporaryDir m_downloadFolder;

    QString m_folder;
    QString m_prefix;
    QTimer m_timer;
    int m_onlyPage;  // set: only that page is shot, the home screen is skipped
    int m_page = 0;
    int m_settle = 0;
    bool m_hovered = false;
    int m_erase = 0;  // 0: not yet at the erase states
    int m_eraseRows[ShotCount] = {-1, -1, -1};
};

}  // namespace

void ArmScreenshotsFromEnvironment() {
    const QString folder = qEnvironmentVariable("VELLUMIN_SCREENSHOTS");
    if (folder.isEmpty()) {
        return;
    }
    new ScreenshotDriver(folder, qEnvironmentVariable("VELLUMIN_SCREENSHOT_PREFIX"),
                         qEnvironmentVariableIntValue("VELLUMIN_SCREENSHOT_PAGE"));
}

}  // namespace vellumin::app
