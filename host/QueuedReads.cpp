#include "host/QueuedReads.h"

#include <linux/ioprio.h>
#include <liburing.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <vector>

#include "host/UniqueFd.h"

namespace vellumin::platform {
namespace {

// The idle class: a scan yields to every other reader and writer of the disk, so the system
// stays usable while it runs (schedulers without classes, e.g. "none", ignore it).
constexpr uint16_t kBackgroundPriority = IOPRIO_PRIO_VALUE(IOPRIO_CLASS_IDLE, 0);

class UringReader final : public QueuedReader {
public:
    UringReader(int fd, unsigned depth) : m_fd(fd), m_depth(depth) {
        m_ready = io_uring_queue_init(depth, &m_ring, 0) == 0;
        m_slots.resize(depth);
        for (unsigned i = depth; i > 0; --i) {
            m_free.push_back(i - 1);
        }
    }
    ~UringReader() override {
        if (!m_ready) {
            return;
        }
        // Buffers belong to the caller: nothing may still be writing into them once we return.
        while (m_inFlight > 0 && WaitOne()) {
        }
        io_uring_queue_exit(&m_ring);
    }

    bool Ready() const { return m_ready; }

    unsigned Depth() const override { return m_depth; }

    bool Queue(uint64_t offset, void* buffer, uint32_t bytes, uint64_t tag) override {
        if (m_free.empty()) {
            return false;
        }
        io_uring_sqe* sqe = io_uring_get_sqe(&m_ring);
        if (!sqe) {
            return false;
        }
        const unsigned slot = m_free.back();
        m_free.pop_back();
        m_slots[slot] = QueuedCompletion{tag, offset, bytes, 0};
        io_uring_prep_read(sqe, m_fd.get(), buffer, bytes, offset);
        sqe->ioprio = kBackgroundPriority;
        io_uring_sqe_set_data64(sqe, slot);
        ++m_inFlight;
        return true;
    }

    std::optional<QueuedCompletion> WaitOne() override {
        if (m_inFlight == 0) {
            return std::nullopt;
        }
        int sent;
        do {
            sent = io_uring_submit_and_wait(&m_ring, 1);
        } while (sent == -EINTR);
        io_uring_cqe* cqe = nullptr;
        int waited;
        do {
            waited = io_uring_wait_cqe(&m_ring, &cqe);
        } while (waited == -EINTR);
        if (waited < 0 || !cqe) {
            return std::nullopt;
        }
        const auto slot = static_cast<unsigned>(io_uring_cqe_get_data64(cqe));
        QueuedCompletion done = m_slots[slot];
        done.result = cqe->res;
        io_uring_cqe_seen(&m_ring, cqe);
        m_free.push_back(slot);
        --m_inFlight;
        return done;
    }

private:
    UniqueFd m_fd;
    unsigned m_depth;
    io_uring m_ring{};
    bool m_ready = false;
    std::vector<QueuedCompletion> m_slots;  // by the slot number carried as user data
    std::vector<unsigned> m_free;
    unsigned m_inFlight = 0;
};

class PreadReader final : public QueuedReader {
public:
    PreadReader(int fd, unsigned depth) : m_fd(fd), m_depth(depth) {}

    unsigned Depth() const override { return m_depth; }

    bool Queue(uint64_t offset, void* buffer, uint32_t bytes, uint64_t tag) override {
        if (m_queued.size() >= m_depth) {
            return false;
        }
        m_queued.push_back({QueuedCompletion{tag, offset, bytes, 0}, buffer});
        return true;
    }

    std::optional<QueuedCompletion> WaitOne() override {
        if (m_queued.empty()) {
            return std::nullopt;
        }
        auto [done, buffer] = m_queued.front();
        m_queued.pop_front();
        ssize_t n;
        do {
            n = ::pread(m_fd.get(), buffer, done.bytes, static_cast<off_t>(done.offset));
        } while (n < 0 && errno == EINTR);
        done.result = n < 0 ? -errno : static_cast<int>(n);
        return done;
    }

private:
    struct Pending {
        QueuedCompletion completion;
        void* buffer;
    };
    UniqueFd m_fd;
    unsigned m_depth;
    std::deque<Pending> m_queued;
};

}  // namespace

QueuedReaderPtr OpenUringReader(int fd, unsigned depth) {
    if (depth == 0) {
        UniqueFd closing(fd);
        return nullptr;
    }
    auto reader = std::make_unique<UringReader>(fd, depth);
    if (!reader->Ready()) {
        return nullptr;
    }
    return reader;
}

QueuedReaderPtr OpenPreadReader(int fd, unsigned depth) {
    return std::make_unique<PreadReader>(fd, depth == 0 ? 1 : depth);
}

QueuedReaderPtr OpenMemoryQueuedReader(uint64_t bytes, unsigned depth) {
    const int fd = ::memfd_create("vellumin-lab-drive", MFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    if (::ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        ::close(fd);
        return nullptr;
    }
    // Where the system refuses io_uring the lab still answers queued reads, one at a time.
    const int second = ::dup(fd);
    if (second < 0) {
        ::close(fd);
        return nullptr;
    }
    auto file = OpenUringReader(fd, depth);
    if (file) {
        ::close(second);
        return file;
    }
    return OpenPreadReader(second, depth);
}

}  // namespace vellumin::platform
