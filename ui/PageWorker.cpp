#include "ui/PageWorker.h"

#include <utility>

#include "ui/UiThread.h"

namespace vellumin::ui {

void PageWorker::Start(std::function<void(uint64_t run)> work) {
    Join();
    m_stop.store(0);
    m_bDone.store(false);
    m_thread = std::thread([this, run = ++m_nRun, work = std::move(work)] {
        work(run);
        m_bDone.store(true);
    });
}

void PageWorker::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void PageWorker::Wait() {
    if (!m_thread.joinable()) {
        return;
    }
    WaitUntil([this] { return m_bDone.load(); });
    Join();
}

void PageWorker::StopAndWait() {
    if (!m_thread.joinable()) {
        return;
    }
    RequestStop();
    Wait();
    m_stop.store(0);
}

}  // namespace vellumin::ui
