#include "archive/worker_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "platform/archiver_api.h"
#include "platform/core_budget.h"

namespace kt {
namespace {

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Appends what fd holds to pending. With `wait`, waits until something
// came; without, takes only what is there. False once the pipe has ended (or
// failed).
bool ReadInto(int fd, std::string& pending, bool wait) {
    for (;;) {
        char chunk[16384];
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            pending.append(chunk, static_cast<std::size_t>(n));
            if (static_cast<std::size_t>(n) < sizeof chunk) return true;
            wait = false;
            continue;
        }
        if (n == 0) return false;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return false;
        if (!wait) return true;
        pollfd in{fd, POLLIN, 0};
        poll(&in, 1, -1);
    }
}

// A message goes out in one write: a reader woken by its first part would
// otherwise block again for the rest, twice the switches per item.
void Put(std::string& message, const void* data, std::size_t size) {
    message.append(static_cast<const char*>(data), size);
}

void PutText(std::string& message, const std::string& text) {
    std::uint32_t len = static_cast<std::uint32_t>(text.size());
    Put(message, &len, sizeof len);
    message += text;
}

// Reads size bytes at `at` of a message being taken apart; false when the
// message is not complete yet.
bool Get(const std::string& pending, std::size_t& at, void* data, std::size_t size) {
    if (pending.size() - at < size) return false;
    std::memcpy(data, pending.data() + at, size);
    at += size;
    return true;
}

bool GetText(const std::string& pending, std::size_t& at, std::string& text) {
    std::uint32_t len = 0;
    if (!Get(pending, at, &len, sizeof len) || pending.size() - at < len) return false;
    text.assign(pending, at, len);
    at += len;
    return true;
}

std::string ItemMessage(std::uint64_t index, const std::string& text) {
    std::string message;
    Put(message, &index, sizeof index);
    PutText(message, text);
    return message;
}

// Takes the items that came whole off `pending`.
void TakeItems(std::string& pending, std::deque<std::pair<std::uint64_t, std::string>>& items) {
    std::size_t at = 0;
    for (;;) {
        std::size_t start = at;
        std::uint64_t index = 0;
        std::string text;
        if (!Get(pending, at, &index, sizeof index) || !GetText(pending, at, text)) {
            at = start;
            break;
        }
        items.emplace_back(index, std::move(text));
    }
    pending.erase(0, at);
}

std::string ResultMessage(std::uint64_t index, const JobResult& r) {
    std::int32_t numbers[] = {r.code, r.fault, r.fate, r.started ? 1 : 0};
    std::string message;
    Put(message, &index, sizeof index);
    Put(message, numbers, sizeof numbers);
    PutText(message, r.output);
    PutText(message, r.fateDetail);
    PutText(message, r.temporary);
    return message;
}

// Takes the first result off `pending` when it came whole.
bool TakeResult(std::string& pending, JobResult& r) {
    std::size_t at = 0;
    std::uint64_t index = 0;
    std::int32_t numbers[4] = {};
    if (!Get(pending, at, &index, sizeof index) || !Get(pending, at, numbers, sizeof numbers) ||
        !GetText(pending, at, r.output) || !GetText(pending, at, r.fateDetail) ||
        !GetText(pending, at, r.temporary))
        return false;
    pending.erase(0, at);
    r.code = numbers[0];
    r.fault = numbers[1];
    r.fate = numbers[2];
    r.started = numbers[3] != 0;
    return true;
}

void Ring(int bell) {
    std::uint64_t one = 1;
    while (write(bell, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

// Bytes of results a worker sends without ringing: far below what a pipe
// holds, so that it never blocks on a parent that sleeps.
constexpr std::size_t kQuietBytes = 16384;
// How long the parent sleeps at most: the progress line moves at least this often.
constexpr int kWakeMs = 100;

constexpr std::uint64_t kNoItem = ~std::uint64_t{0};
constexpr double kWholeItem = 1e6;  // progress travels in millionths

}  // namespace

// What a worker tells the parent without a message: the item it runs and
// how far it has got, read whenever the parent looks.
struct WorkerPool::Shared {
    std::atomic<std::uint64_t> item{kNoItem};
    std::atomic<std::uint32_t> part{0};
};

WorkerPool::Shared* WorkerPool::reporting_ = nullptr;
const std::atomic<bool>* WorkerPool::stopping_ = nullptr;

bool WorkerPool::Cancelled() { return stopping_ != nullptr && stopping_->load(); }

void WorkerPool::ReportProgress(double part) {
    if (reporting_ == nullptr) return;
    part = part < 0 ? 0 : part > 1 ? 1 : part;
    reporting_->part.store(static_cast<std::uint32_t>(part * kWholeItem),
                           std::memory_order_relaxed);
}

std::optional<double> WorkerPool::Progress(std::size_t index) const {
    for (const Worker& w : workers_)
        if (w.shared->item.load(std::memory_order_relaxed) == index)
            return w.shared->part.load(std::memory_order_relaxed) / kWholeItem;
    return std::nullopt;
}

JobResult WorkerPool::Ended(std::size_t index) {
    JobResult r;
    r.index = index;
    r.code = ERROR_UNKNOWN;
    r.output = "worker process ended";
    return r;
}

WorkerPool::WorkerPool(int workers, Work work) {
    // Made before the first fork, the core budget is shared with the workers:
    // their in-file threads see the cores the other workers hold.
    CoreCount();
    // A worker that died leaves a pipe without a reader: writing to it must
    // fail (the item is then reported), not end this process.
    struct sigaction pipe {};
    if (sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL)
        signal(SIGPIPE, SIG_IGN);
    void* page = mmap(nullptr, sizeof(std::atomic<bool>), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) throw std::runtime_error("mmap failed");
    cancelled_ = new (page) std::atomic<bool>(false);
    void* reports = mmap(nullptr, sizeof(Shared) * (workers > 0 ? workers : 1),
                         PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (reports == MAP_FAILED) throw std::runtime_error("mmap failed");
    shared_ = static_cast<Shared*>(reports);
    for (int i = 0; i < workers; ++i) new (&shared_[i]) Shared;
    bell_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (bell_ < 0) throw std::runtime_error("eventfd failed");
    for (int i = 0; i < workers; ++i) {
        int down[2], up[2];
        if (pipe2(down, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        if (pipe2(up, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        pid_t pid = fork();
        if (pid < 0) throw std::runtime_error("fork failed");
        if (pid == 0) {
            close(down[1]);
            close(up[0]);
            // Pipes of earlier workers belong to the parent only.
            for (const Worker& w : workers_) {
                close(w.toWorker);
                close(w.fromWorker);
            }
            reporting_ = &shared_[i];
            stopping_ = cancelled_;
            // Nothing may unwind out of a worker into its parent's code.
            try {
                WorkerLoop(down[0], up[1], bell_, work, *cancelled_, shared_[i]);
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        // Results are read when the parent wakes, without waiting for more.
        fcntl(up[0], F_SETFL, fcntl(up[0], F_GETFL) | O_NONBLOCK);
        Worker w;
        w.pid = pid;
        w.toWorker = down[1];
        w.fromWorker = up[0];
        w.alive = true;
        w.shared = &shared_[i];
        workers_.push_back(std::move(w));
    }
}

WorkerPool::~WorkerPool() {
    ReleaseIdleCores();
    for (Worker& w : workers_) close(w.toWorker);  // end of input ends the worker
    for (Worker& w : workers_) {
        int status = 0;
        while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
        }
        close(w.fromWorker);
    }
    close(bell_);
    munmap(cancelled_, sizeof(std::atomic<bool>));
    munmap(shared_, sizeof(Shared) * (workers_.empty() ? 1 : workers_.size()));
}

void WorkerPool::WorkerLoop(int in, int out, int bell, const Work& work,
                            const std::atomic<bool>& cancelled, Shared& shared) {
    // Items are taken as they come, so the worker knows how many it has left.
    fcntl(in, F_SETFL, fcntl(in, F_GETFL) | O_NONBLOCK);
    std::string pending;
    std::deque<std::pair<std::uint64_t, std::string>> items;
    bool open = true;
    std::size_t quiet = 0;  // bytes of results sent since the last ring
    for (;;) {
        if (items.empty()) {
            if (!open || !ReadInto(in, pending, true)) break;
            TakeItems(pending, items);
            continue;
        }
        const auto [index, text] = std::move(items.front());
        items.pop_front();
        JobResult r;
        if (cancelled) {
            r.started = false;
        } else {
            shared.part.store(0, std::memory_order_relaxed);
            shared.item.store(index, std::memory_order_relaxed);
            r = work(static_cast<std::size_t>(index), text);
            shared.item.store(kNoItem, std::memory_order_relaxed);
        }
        const std::string message = ResultMessage(index, r);
        // One too large for the pipe wakes the parent to read it as it comes.
        if (message.size() > kQuietBytes) Ring(bell);
        if (!WriteAll(out, message.data(), message.size())) break;
        quiet += message.size();
        if (open && items.size() <= kLowItems) {
            open = ReadInto(in, pending, false);
            TakeItems(pending, items);
        }
        // The parent acts on a failure (a question, a stop) and on a queue
        // running low; other results wait in the pipe until it wakes.
        bool failed = r.code != 0 || r.fault != 0 || !r.started;
        if (failed || cancelled || items.size() <= kLowItems || quiet >= kQuietBytes) {
            Ring(bell);
            quiet = 0;
        }
    }
    close(in);
    close(out);
}

bool WorkerPool::AnyAlive() const {
    for (const Worker& w : workers_)
        if (w.alive) return true;
    return false;
}

bool WorkerPool::Fits(const Worker& w, std::uint64_t bytes) const {
    if (!w.alive) return false;
    if (w.items.empty()) return true;
    // Only small items wait, and only behind a small one.
    return bytes <= kQueueableBytes && w.items.front().second <= kQueueableBytes &&
           w.items.size() < kMostItems && w.waitingBytes + bytes <= kWaitingBytes;
}

bool WorkerPool::HasRoom(std::uint64_t bytes) const {
    for (const Worker& w : workers_)
        if (Fits(w, bytes)) return true;
    return false;
}

void WorkerPool::Submit(std::size_t index, const std::string& text, std::uint64_t bytes) {
    // The worker with the fewest items: an idle one first, and the queues end
    // about together.
    Worker* to = nullptr;
    for (Worker& w : workers_)
        if (Fits(w, bytes) && (!to || w.items.size() < to->items.size())) to = &w;
    if (!to) throw std::logic_error("no worker has room");
    // The token stands for the item the worker runs; those waiting behind it
    // run on the same token.
    if (!to->holdsCore) {
        TakeCore();
        to->holdsCore = true;
    }
    if (!to->items.empty()) to->waitingBytes += bytes;
    to->items.emplace_back(index, bytes);
    ++busy_;
    // An idle worker gets its item now; a busy one gets what the parent
    // handed out meanwhile in one write, before the parent sleeps.
    to->outbox += ItemMessage(index, text);
    if (to->items.size() == 1) SendQueued();
}

void WorkerPool::SendQueued() {
    for (Worker& w : workers_) {
        if (w.outbox.empty()) continue;
        // A dead worker's pipe ends: its items are reported from there.
        if (w.alive && !WriteAll(w.toWorker, w.outbox.data(), w.outbox.size())) w.alive = false;
        w.outbox.clear();
    }
}

void WorkerPool::CancelWaiting() { cancelled_->store(true); }

void WorkerPool::ReleaseIdleCores() {
    for (Worker& w : workers_)
        if (w.items.empty() && w.holdsCore) {
            GiveCore();
            w.holdsCore = false;
        }
}

JobResult WorkerPool::Done(Worker& w, JobResult* result) {
    const std::size_t item = w.items.front().first;
    w.items.pop_front();
    if (!w.items.empty()) w.waitingBytes -= w.items.front().second;
    --busy_;
    // A dead worker gets nothing more; a live one keeps its core for its next item.
    if (w.items.empty() && !w.alive && w.holdsCore) {
        GiveCore();
        w.holdsCore = false;
    }
    if (!result) return Ended(item);
    result->index = item;
    return std::move(*result);
}

void WorkerPool::ReadArrived() {
    for (Worker& w : workers_)
        if (!w.items.empty() && !w.ended && !ReadInto(w.fromWorker, w.pending, false)) {
            w.ended = true;
            w.alive = false;
        }
}

bool WorkerPool::TakeArrived(JobResult& out) {
    for (Worker& w : workers_) {
        if (w.items.empty()) continue;
        JobResult r;
        if (TakeResult(w.pending, r)) {
            out = Done(w, &r);
            return true;
        }
        if (w.ended) {
            out = Done(w, nullptr);
            return true;
        }
    }
    return false;
}

JobResult WorkerPool::WaitOne(bool prompt) {
    JobResult r;
    while (!WaitFor(r, kWakeMs, prompt)) {
    }
    return r;
}

bool WorkerPool::WaitFor(JobResult& r, int ms, bool prompt) {
    SendQueued();
    for (bool waited = false;; waited = true) {
        if (TakeArrived(r)) return true;
        ReadArrived();
        if (TakeArrived(r)) return true;
        if (waited) return false;
        if (interrupted_ && *interrupted_ && !forwarded_) {
            forwarded_ = true;
            CancelWaiting();
            for (Worker& w : workers_)
                if (w.alive) kill(w.pid, SIGINT);
        }
        std::vector<pollfd> fds{{bell_, POLLIN, 0}};
        for (Worker& w : workers_) {
            if (w.items.empty() || w.ended) continue;
            // Results wake the parent when it waits on each one, or on the rest
            // of one begun; otherwise only the end of the pipe (a worker that
            // died) does.
            short events = prompt || !w.pending.empty() ? POLLIN : 0;
            fds.push_back({w.fromWorker, events, 0});
        }
        if (fds.size() == 1) throw std::logic_error("nothing submitted");
        // A bounded wait: results that came without a ring still move the
        // progress line, and a signal landing just before poll is seen.
        if (poll(fds.data(), fds.size(), ms) < 0 && errno != EINTR)
            throw std::runtime_error("poll failed");
        std::uint64_t rings = 0;
        if (fds[0].revents != 0)
            while (read(bell_, &rings, sizeof rings) < 0 && errno == EINTR) {
            }
    }
}

}  // namespace kt
