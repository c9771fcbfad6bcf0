#include "worker_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
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

bool ReadAll(int fd, void* data, std::size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteText(int fd, const std::string& text) {
    std::uint32_t len = static_cast<std::uint32_t>(text.size());
    return WriteAll(fd, &len, sizeof len) && WriteAll(fd, text.data(), len);
}

bool ReadText(int fd, std::string& text) {
    std::uint32_t len = 0;
    if (!ReadAll(fd, &len, sizeof len)) return false;
    text.resize(len);
    return ReadAll(fd, text.data(), len);
}

// The result of an item whose worker died with it: a crash is that item's failure.
JobResult WorkerEnded(std::size_t item) {
    JobResult r;
    r.index = item;
    r.code = ERROR_UNKNOWN;
    r.output = "worker process ended";
    return r;
}

}  // namespace

WorkerPool::WorkerPool(int workers, Work work) {
    // Made before the first fork, the core budget is shared with the workers:
    // their in-file threads see the cores the other workers hold.
    kt::CoreCount();
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
            WorkerLoop(down[0], up[1], work);
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        workers_.push_back({pid, down[1], up[0], true, false, 0});
    }
}

WorkerPool::~WorkerPool() {
    for (Worker& w : workers_) close(w.toWorker);  // end of input ends the worker
    for (Worker& w : workers_) {
        int status = 0;
        while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
        }
        close(w.fromWorker);
    }
}

void WorkerPool::WorkerLoop(int in, int out, const Work& work) {
    std::uint64_t index = 0;
    std::uint32_t size = 0;
    std::string text;
    while (ReadAll(in, &index, sizeof index) && ReadAll(in, &size, sizeof size)) {
        text.resize(size);
        if (!ReadAll(in, text.data(), size)) break;
        JobResult r = work(static_cast<std::size_t>(index), text);
        std::int32_t numbers[] = {r.code, r.fault, r.fate};
        if (!WriteAll(out, &index, sizeof index) || !WriteAll(out, numbers, sizeof numbers) ||
            !WriteText(out, r.output) || !WriteText(out, r.fateDetail))
            break;
    }
    close(in);
    close(out);
}

bool WorkerPool::HasIdleWorker() const {
    for (const Worker& w : workers_)
        if (!w.busy && w.alive) return true;
    return false;
}

void WorkerPool::Submit(std::size_t index, const std::string& text) {
    for (Worker& w : workers_) {
        if (w.busy || !w.alive) continue;
        std::uint64_t i = index;
        std::uint32_t size = static_cast<std::uint32_t>(text.size());
        w.busy = true;
        w.item = index;
        ++busy_;
        kt::TakeCore();  // given back when the item's result (or the worker's end) arrives
        if (!WriteAll(w.toWorker, &i, sizeof i) || !WriteAll(w.toWorker, &size, sizeof size) ||
            !WriteAll(w.toWorker, text.data(), size))
            w.alive = false;  // dead: WaitOne reports it
        return;
    }
    throw std::logic_error("no idle worker");
}

JobResult WorkerPool::WaitOne() {
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<Worker*> owners;
        for (Worker& w : workers_) {
            if (!w.busy) continue;
            if (!w.alive) {  // could not even take the job
                w.busy = false;
                --busy_;
                kt::GiveCore();
                return WorkerEnded(w.item);
            }
            fds.push_back({w.fromWorker, POLLIN, 0});
            owners.push_back(&w);
        }
        if (fds.empty()) throw std::logic_error("nothing submitted");
        if (interrupted_ && *interrupted_ && !forwarded_) {
            forwarded_ = true;
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
        for (std::size_t k = 0; k < fds.size(); ++k) {
            if (fds[k].revents == 0) continue;
            Worker& w = *owners[k];
            w.busy = false;
            --busy_;
            kt::GiveCore();
            std::uint64_t index = 0;
            std::int32_t numbers[3] = {};
            JobResult r;
            if (ReadAll(w.fromWorker, &index, sizeof index) && ReadAll(w.fromWorker, numbers, sizeof numbers) &&
                ReadText(w.fromWorker, r.output) && ReadText(w.fromWorker, r.fateDetail)) {
                r.index = static_cast<std::size_t>(index);
                r.code = numbers[0];
                r.fault = numbers[1];
                r.fate = numbers[2];
                return r;
            }
            w.alive = false;
            return WorkerEnded(w.item);
        }
    }
}

}  // namespace kaltri
