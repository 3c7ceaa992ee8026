#include "ui/UiThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

namespace vellumin::ui {

bool IsUiThread() {
    auto* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

void Send(QObject* context, const std::function<void()>& change) {
    if (IsUiThread()) {
        change();
        return;
    }
    QMetaObject::invokeMethod(context, [&change] { change(); }, Qt::BlockingQueuedConnection);
}

void Post(QObject* context, std::function<void()> change) {
    if (QCoreApplication::instance() == nullptr) {
        change();
        return;
    }
    QMetaObject::invokeMethod(context, std::move(change), Qt::QueuedConnection);
}

void WaitUntil(const std::function<bool()>& done) {
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!done()) {
            QThread::msleep(1);
        }
    }
}

void Coalescer::Post(int key, std::function<void()> change) {
    bool queue = false;
    {
        std::lock_guard lock(mutex_);
        bool replaced = false;
        for (auto& [k, c] : pending_) {
            if (k == key) {
                c = std::move(change);
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            pending_.emplace_back(key, std::move(change));
        }
        if (!queued_) {
            queued_ = queue = true;
        }
    }
    if (queue) {
        ui::Post(this, [this] { Flush(); });
    }
}

void Coalescer::Flush() {
    std::vector<std::pair<int, std::function<void()>>> changes;
    {
        std::lock_guard lock(mutex_);
        changes.swap(pending_);
        queued_ = false;
    }
    for (auto& [key, change] : changes) {
        change();
    }
}

}  // namespace vellumin::ui
