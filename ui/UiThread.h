#pragma once

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include <QObject>

namespace vellumin::ui {

// True on the thread that owns the application object (or when there is none).
bool IsUiThread();

// Runs `change` on the UI thread and waits for it, like a sent window message: calls from
// one worker arrive in order. On the UI thread it runs at once, so it never deadlocks there.
// When `context` is destroyed before the UI thread gets to the change, the change is dropped
// and the caller is released.
void Send(QObject* context, const std::function<void()>& change);

// Queues `change` for the UI thread and returns at once.
void Post(QObject* context, std::function<void()> change);

// Runs the UI thread's events until `done` answers true. For waiting on a worker that may
// itself be waiting for the UI thread (never join such a worker without this).
void WaitUntil(const std::function<bool()>& done);

// Non-blocking updates where only the latest value matters (e.g. per-chunk progress): each key
// keeps its newest change, and one queued run carries out all pending changes in the order
// their keys first arrived. Safe to call from any thread.
class Coalescer : public QObject {
    Q_OBJECT
public:
    explicit Coalescer(QObject* parent = nullptr) : QObject(parent) {}
    void Post(int key, std::function<void()> change);
    // Carries out what is pending now (UI thread).
    void Flush();

private:
    std::mutex m_mutex;
    std::vector<std::pair<int, std::function<void()>>> m_pending;
    bool m_queued = false;
};

}  // namespace vellumin::ui
