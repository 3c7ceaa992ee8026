#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace vellumin::ui {

// The one worker thread a page runs at a time. It keeps the stop request the work polls, the
// number of the run (a post of an earlier run arrives late and is dropped by it), and a done
// flag set as the thread's last act, so the UI thread can wait for a worker that may itself be
// waiting for the UI thread, handling events until the work has returned, and only then join.
class PageWorker {
public:
    using StopFlag = std::atomic<int32_t>;

    PageWorker() = default;
    // The work reports to the page that owns this: the page stops it in its own destructor,
    // while all of it is still there; this is the last resort.
    ~PageWorker() { StopAndWait(); }
    PageWorker(const PageWorker&) = delete;
    PageWorker& operator=(const PageWorker&) = delete;

    // Starts `work` on a thread as the next run, handing it the run's number. The previous
    // run must have ended (its thread is joined here). The stop request is cleared: a stop
    // meant for the last run must not end this one.
    void Start(std::function<void(uint64_t run)> work);

    // The number of the current (or last) run; 0 before the first.
    uint64_t Run() const { return m_nRun; }
    // A thread was started and has not been joined yet.
    bool Started() const { return m_thread.joinable(); }

    StopFlag& Stop() { return m_stop; }
    bool StopRequested() const { return m_stop.load() != 0; }
    void RequestStop() { m_stop.store(1); }

    // For the run's own finish on the UI thread: the work has posted its last report, so the
    // thread has ended or is about to.
    void Join();
    // Handles the UI thread's events until the work has returned, then joins it. Among those
    // events the run's own finish may join it first.
    void Wait();
    // RequestStop and Wait; the stop request is cleared again once the worker has ended.
    void StopAndWait();

private:
    std::thread m_thread;
    StopFlag m_stop{0};
    std::atomic<bool> m_bDone{true};
    uint64_t m_nRun = 0;
};

}  // namespace vellumin::ui
