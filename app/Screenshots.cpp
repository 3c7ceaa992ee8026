#include "app/Screenshots.h"

#include <iostream>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTimer>

#include "app/CVelluminDlg.h"
#include "app/CVelluminPre.h"
#include "pages/fwupdate/CFWUpdate.h"
#include "pages/fwupdate/CFolderDialog.h"

namespace vellumin::app {
namespace {

template <class T>
T* VisibleWindow() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = dynamic_cast<T*>(w); found && found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}

class ScreenshotDriver : public QObject {
public:
    ScreenshotDriver(QString folder, QString prefix)
        : QObject(QApplication::instance()), folder_(std::move(folder)), prefix_(std::move(prefix)) {
        QDir().mkpath(folder_);
        connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
        timer_.start(150);
    }

private:
    void Save(QWidget& window, const QString& name) {
        const QString path = QDir(folder_).filePath(prefix_ + name + ".png");
        if (!window.grab().save(path)) {
            std::cerr << "vellumin: cannot write " << path.toStdString() << '\n';
        }
    }

    void Tick() {
        if (update_ != Update::None) {
            UpdateTick();
            return;
        }
        if (auto* box = VisibleWindow<QMessageBox>()) {
            Save(*box, "notice");
            box->accept();
            return;
        }
        if (page_ == 0) {
            auto* home = VisibleWindow<CVelluminPre>();
            if (home == nullptr || ++settle_ < 3) {
                return;
            }
            // Hover over the DRIVE bar, so its description shows too.
            CGdipButtonEvent hover(CVelluminPre::kMsgCursorPos, 600, 120);
            QCoreApplication::sendEvent(home, &hover);
            Save(*home, "home");
            page_ = 1;
            settle_ = 0;
            QMetaObject::invokeMethod(home, [home] { home->OpenMainWindow(1); }, Qt::QueuedConnection);
            return;
        }
        auto* main = VisibleWindow<CVelluminDlg>();
        if (main == nullptr || main->CurrentPage() != page_ || ++settle_ < 3) {
            return;
        }
        Save(*main, QString("page-%1").arg(page_));
        settle_ = 0;
        if (page_ < 6 && main->DriveTable().count > 0) {
            main->ShowFeaturePage(++page_);
            return;
        }
        if (StartUpdateShots(*main)) {
            return;
        }
        timer_.stop();
        main->close();
    }

    // Page 5 for the lab drive that is offered a newer firmware: the offer, a download under
    // way (into a temporary folder) and its end.
    bool StartUpdateShots(CVelluminDlg& main) {
        const auto& table = main.DriveTable();
        for (int row = 0; row < table.count; ++row) {
            if (table.DriveOfRow(row) == kOfferedDrive) {
                update_ = Update::Offer;
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
        auto* page = main != nullptr ? dynamic_cast<CFWUpdate*>(main->Page(5)) : nullptr;
        if (page == nullptr || ++settle_ < 3) {
            return;
        }
        switch (update_) {
        case Update::Offer:
            if (page->IsBusy() || !page->IsItemShown(CFWUpdate::IDC_DOWNLOAD)) {
                return;
            }
            Save(*main, "page-5-offer");
            {
                CFolderDialog::ScopedChooser chooser(
                    [this](const std::string&) { return std::optional<std::string>(downloadFolder_.path().toStdString()); });
                page->ItemAs<QAbstractButton>(CFWUpdate::IDC_BROWSE)->click();
            }
            page->ItemAs<QAbstractButton>(CFWUpdate::IDC_DOWNLOAD)->click();
            update_ = Update::Downloading;
            break;
        case Update::Downloading:
            if (page->IsBusy() && page->ProgressBar().GetPos() == 0) {
                return;
            }
            Save(*main, "page-5-downloading");
            update_ = Update::Finished;
            break;
        case Update::Finished:
            if (page->IsBusy()) {
                return;
            }
            Save(*main, "page-5-finished");
            update_ = Update::None;
            timer_.stop();
            main->close();
            break;
        case Update::None:
            break;
        }
        settle_ = 0;
    }

    static constexpr int kOfferedDrive = 3;
    enum class Update { None, Offer, Downloading, Finished };
    Update update_ = Update::None;
    QTemporaryDir downloadFolder_;

    QString folder_;
    QString prefix_;
    QTimer timer_;
    int page_ = 0;
    int settle_ = 0;
};

}  // namespace

void ArmScreenshotsFromEnvironment() {
    const QString folder = qEnvironmentVariable("VELLUMIN_SCREENSHOTS");
    if (folder.isEmpty()) {
        return;
    }
    new ScreenshotDriver(folder, qEnvironmentVariable("VELLUMIN_SCREENSHOT_PREFIX"));
}

}  // namespace vellumin::app
