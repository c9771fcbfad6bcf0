#include "worker_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
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

namespace kaltri {
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

// Takes size bytes of what fd has sent, reading while pending holds fewer:
// each read takes all the pipe holds, so a message (written in one write)
// most often costs one call, and two that came together one for both.
bool Take(int fd, std::string& pending, void* data, std::size_t size) {
    while (pending.size() < size) {
        char chunk[16384];
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        pending.append(chunk, static_cast<std::size_t>(n));
    }
    std::memcpy(data, pending.data(), size);
    pending.erase(0, size);
    return true;
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

bool TakeText(int fd, std::string& pending, std::string& text) {
    std::uint32_t len = 0;
    if (!Take(fd, pending, &len, sizeof len)) return false;
    text.resize(len);
    return Take(fd, pending, text.data(), len);
}

}  // namespace

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
    kt::CoreCount();
    // A worker that died leaves a pipe without a reader: writing to it must
    // fail (the item is then reported), not end this process.
    struct sigaction pipe {};
    if (sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
    void* page = mmap(nullptr, sizeof(std::atomic<bool>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) throw std::runtime_error("mmap failed");
    cancelled_ = new (page) std::atomic<bool>(false);
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
            WorkerLoop(down[0], up[1], work, *cancelled_);
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        Worker w;
        w.pid = pid;
        w.toWorker = down[1];
        w.fromWorker = up[0];
        w.alive = true;
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
    munmap(cancelled_, sizeof(std::atomic<bool>));
}

void WorkerPool::WorkerLoop(int in, int out, const Work& work, const std::atomic<bool>& cancelled) {
    std::uint64_t index = 0;
    std::uint32_t size = 0;
    std::string text, pending;
    while (Take(in, pending, &index, sizeof index) && Take(in, pending, &size, sizeof size)) {
        text.resize(size);
        if (!Take(in, pending, text.data(), size)) break;
        JobResult r;
        if (cancelled) r.started = false;
        else r = work(static_cast<std::size_t>(index), text);
        std::int32_t numbers[] = {r.code, r.fault, r.fate, r.started ? 1 : 0};
        std::string message;
        Put(message, &index, sizeof index);
        Put(message, numbers, sizeof numbers);
        PutText(message, r.output);
        PutText(message, r.fateDetail);
        if (!WriteAll(out, message.data(), message.size())) break;
    }
    close(in);
    close(out);
}

bool WorkerPool::AnyAlive() const {
    for (const Worker& w : workers_)
        if (w.alive) return true;
    return false;
}

bool WorkerPool::HasRoom(std::uint64_t bytes) const {
    for (const Worker& w : workers_)
        if (w.alive && (w.items.empty() || (bytes <= kQueueableBytes && w.items.size() == 1 && w.queueable)))
            return true;
    return false;
}

void WorkerPool::Submit(std::size_t index, const std::string& text, std::uint64_t bytes) {
    Worker* to = nullptr;
    for (Worker& w : workers_)
        if (w.alive && w.items.empty()) {
            to = &w;
            break;
        }
    if (!to && bytes <= kQueueableBytes)
        for (Worker& w : workers_)
            if (w.alive && w.items.size() == 1 && w.queueable) {
                to = &w;
                break;
            }
    if (!to) throw std::logic_error("no worker has room");
    // The token stands for the item the worker runs; one waiting behind it
    // runs on the same token.
    if (!to->holdsCore) {
        kt::TakeCore();
        to->holdsCore = true;
    }
    to->queueable = to->items.empty() && bytes <= kQueueableBytes;
    to->items.push_back(index);
    ++busy_;
    std::uint64_t i = index;
    std::string message;
    Put(message, &i, sizeof i);
    PutText(message, text);
    if (!WriteAll(to->toWorker, message.data(), message.size())) to->alive = false;  // dead: WaitOne reports its items
}

void WorkerPool::CancelWaiting() { cancelled_->store(true); }

void WorkerPool::ReleaseIdleCores() {
    for (Worker& w : workers_)
        if (w.items.empty() && w.holdsCore) {
            kt::GiveCore();
            w.holdsCore = false;
        }
}

JobResult WorkerPool::Done(Worker& w, JobResult* result) {
    const std::size_t item = w.items.front();
    w.items.pop_front();
    --busy_;
    // Only items of a small one are queued, so what runs next may have one behind it.
    w.queueable = true;
    // A dead worker gets nothing more; a live one keeps its core for its next item.
    if (w.items.empty() && !w.alive && w.holdsCore) {
        kt::GiveCore();
        w.holdsCore = false;
    }
    if (!result) return Ended(item);
    result->index = item;
    return std::move(*result);
}

JobResult WorkerPool::Receive(Worker& w) {
    std::uint64_t index = 0;
    std::int32_t numbers[4] = {};
    JobResult r;
    if (Take(w.fromWorker, w.pending, &index, sizeof index) && Take(w.fromWorker, w.pending, numbers, sizeof numbers) &&
        TakeText(w.fromWorker, w.pending, r.output) && TakeText(w.fromWorker, w.pending, r.fateDetail)) {
        r.code = numbers[0];
        r.fault = numbers[1];
        r.fate = numbers[2];
        r.started = numbers[3] != 0;
        return Done(w, &r);
    }
    w.alive = false;
    return Done(w, nullptr);
}

JobResult WorkerPool::WaitOne() {
    // A result that came with the one read before needs no wait.
    for (Worker& w : workers_)
        if (!w.items.empty() && !w.pending.empty()) return Receive(w);
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<Worker*> owners;
        for (Worker& w : workers_) {
            if (w.items.empty()) continue;
            if (!w.alive) return Done(w, nullptr);  // it could not even take its item
            fds.push_back({w.fromWorker, POLLIN, 0});
            owners.push_back(&w);
        }
        if (fds.empty()) throw std::logic_error("nothing submitted");
        if (interrupted_ && *interrupted_ && !forwarded_) {
            forwarded_ = true;
            CancelWaiting();
            for (Worker& w : workers_)
                if (w.alive) kill(w.pid, SIGINT);
        }
        // A bounded wait, so that a signal landing just before poll is seen.
        int ready = poll(fds.data(), fds.size(), interrupted_ ? 200 : -1);
        if (ready == 0) continue;
        if (ready < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        for (std::size_t k = 0; k < fds.size(); ++k)
            if (fds[k].revents != 0) return Receive(*owners[k]);
    }
}

}  // namespace kaltri
