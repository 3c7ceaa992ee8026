#include "ui/UiThread.h"

#include <condition_variable>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>

// Qt hands events between threads under locks ThreadSanitizer cannot see (Debian's Qt is not
// instrumented), so each hand-over says itself where it is published and where it is taken.
#if defined(__SANITIZE_THREAD__)
#define VELLUMIN_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELLUMIN_TSAN 1
#endif
#endif
#ifdef VELLUMIN_TSAN
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace vellumin::ui {

namespace {

void Publish([[maybe_unused]] void* handedOver) {
#ifdef VELLUMIN_TSAN
    __tsan_release(handedOver);
#endif
}

void Take([[maybe_unused]] void* handedOver) {
#ifdef VELLUMIN_TSAN
    __tsan_acquire(handedOver);
#endif
}

// A change on its way to the UI thread. A blocking sender waits on `done`; it is released when
// the change has run, was dropped because its context is gone, or the event was discarded.
class Handoff : public QEvent {
public:
    struct Done {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
    };

    Handoff(QObject* context, std::function<void()> change, Done* done)
        : QEvent(Kind()), m_context(context), m_change(std::move(change)), m_done(done) {}
    ~Handoff() override { Release(); }

    static QEvent::Type Kind() {
        static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
        return kind;
    }

    void Run() {
        if (m_context) {
            m_change();
        }
        Release();
    }

private:
    void Release() {
        if (m_done != nullptr) {
            std::lock_guard lock(m_done->mutex);
            m_done->done = true;
            m_done->changed.notify_all();
            m_done = nullptr;
        }
    }

    QPointer<QObject> m_context;
    std::function<void()> m_change;
    Done* m_done;
};

// Receives every hand-over on the UI thread, in the order they were made.
class Courier : public QObject {
public:
    bool event(QEvent* e) override {
        Take(e);
        if (e->type() == Handoff::Kind()) {
            static_cast<Handoff*>(e)->Run();
            return true;
        }
        return QObject::event(e);
    }
};

void HandOver(QObject* context, std::function<void()> change, Handoff::Done* done) {
    static Courier* const courier = [] {
        auto* c = new Courier;
        c->moveToThread(QCoreApplication::instance()->thread());
        return c;
    }();
    auto* handoff = new Handoff(context, std::move(change), done);
    Publish(handoff);
    QCoreApplication::postEvent(courier, handoff);
}

}  // namespace

bool IsUiThread() {
    auto* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

void Send(QObject* context, const std::function<void()>& change) {
    if (IsUiThread()) {
        change();
        return;
    }
    Handoff::Done done;
    HandOver(context, [&change] { change(); }, &done);
    std::unique_lock lock(done.mutex);
    done.changed.wait(lock, [&] { return done.done; });
}

void Post(QObject* context, std::function<void()> change) {
    if (QCoreApplication::instance() == nullptr) {
        change();
        return;
    }
    HandOver(context, std::move(change), nullptr);
}

void WaitUntil(const std::function<bool()>& done) {
    while (!done()) {
        // Called from inside a posted event's handler, processEvents alone may leave later
        // posted events queued (the event source is still being dispatched): a worker that
        // waits for one of them would then never end.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!done()) {
            QThread::msleep(1);
        }
    }
}

void Coalescer::Post(int key, std::function<void()> change) {
    bool queue = false;
    {
        std::lock_guard lock(m_mutex);
        bool replaced = false;
        for (auto& [k, c] : m_pending) {
            if (k == key) {
                c = std::move(change);
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            m_pending.emplace_back(key, std::move(change));
        }
        if (!m_queued) {
            m_queued = queue = true;
        }
    }
    if (queue) {
        ui::Post(this, [this] { Flush(); });
    }
}

void Coalescer::Flush() {
    std::vector<std::pair<int, std::function<void()>>> changes;
    {
        std::lock_guard lock(m_mutex);
        changes.swap(m_pending);
        m_queued = false;
    }
    for (auto& [key, change] : changes) {
        change();
    }
}

}  // namespace vellumin::ui
