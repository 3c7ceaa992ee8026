#include "app/Screenshots.h"

#include <iostream>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

#include "app/CVelluminDlg.h"
#include "app/CVelluminPre.h"

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
    ScreenshotDriver(QString folder, QString prefix, int onlyPage = 0)
        : QObject(QApplication::instance()),
          folder_(std::move(folder)),
          prefix_(std::move(prefix)),
          onlyPage_(onlyPage) {
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
            if (onlyPage_ == 0) {
                // Hover over the DRIVE bar, so its description shows too.
                CGdipButtonEvent hover(CVelluminPre::kMsgCursorPos, 600, 120);
                QCoreApplication::sendEvent(home, &hover);
                Save(*home, "home");
            }
            page_ = onlyPage_ == 0 ? 1 : onlyPage_;
            settle_ = 0;
            QMetaObject::invokeMethod(
                home, [home, page = page_] { home->OpenMainWindow(page); }, Qt::QueuedConnection);
            return;
        }
        auto* main = VisibleWindow<CVelluminDlg>();
        if (main == nullptr || main->CurrentPage() != page_ || ++settle_ < 3) {
            return;
        }
        Save(*main, QString("page-%1").arg(page_));
        settle_ = 0;
        if (onlyPage_ == 0 && page_ < 6 && main->DriveTable().count > 0) {
            main->ShowFeaturePage(++page_);
            return;
        }
        timer_.stop();
        main->close();
    }

    QString folder_;
    QString prefix_;
    QTimer timer_;
    int onlyPage_;  // set: only that page is shot, the home screen is skipped
    int page_ = 0;
    int settle_ = 0;
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
