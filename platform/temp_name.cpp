#include "temp_name.h"

#include <dirent.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace kt {

namespace {

std::atomic<pid_t> g_pid{0};

void ForgetPid() { g_pid.store(0, std::memory_order_relaxed); }

}  // namespace

pid_t CurrentProcessId() {
    pid_t pid = g_pid.load(std::memory_order_relaxed);
    if (pid != 0) return pid;
    static std::once_flag once;
    std::call_once(once, [] { pthread_atfork(nullptr, nullptr, ForgetPid); });
    pid = getpid();
    g_pid.store(pid, std::memory_order_relaxed);
    return pid;
}

std::string TempNameBeside(std::string_view target, std::string_view tag) {
    std::string name = ".";
    name.append(target.substr(0, 200));
    name += ".kt" + std::to_string(CurrentProcessId()) + "-";
    name.append(tag);
    name += ".tmp";
    return name;
}

std::optional<pid_t> TempNameWriter(std::string_view name) {
    constexpr std::string_view kEnd = ".tmp";
    if (name.size() < 2 || name[0] != '.' || name.size() <= kEnd.size() ||
        name.substr(name.size() - kEnd.size()) != kEnd) {
        return std::nullopt;
    }
    std::string_view rest = name.substr(0, name.size() - kEnd.size());
    std::size_t kt = rest.rfind(".kt");
    if (kt == std::string_view::npos || kt == 0) return std::nullopt;
    std::size_t dash = rest.find('-', kt);
    if (dash == std::string_view::npos || dash == kt + 3 || dash + 1 == rest.size())
        return std::nullopt;
    pid_t pid = 0;
    for (std::size_t i = kt + 3; i < dash; ++i) {
        char c = rest[i];
        if (c < '0' || c > '9' || pid > 100000000) return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

bool IsTempOfRunningWriter(std::string_view name) {
    const std::optional<pid_t> writer = TempNameWriter(name);
    if (!writer || *writer <= 0) return false;
    return *writer == CurrentProcessId() || kill(*writer, 0) == 0 || errno != ESRCH;
}

int RemoveStaleTempFiles(const std::string& folder, std::string_view target) {
    // The name's start up to its ".kt": the same for every writer of target.
    std::string mine;
    if (!target.empty()) {
        mine = TempNameBeside(target, "");
        mine.erase(mine.rfind(".kt") + 3);
    }
    DIR* d = opendir(folder.empty() ? "." : folder.c_str());
    if (d == nullptr) return 0;
    int removed = 0;
    while (dirent* e = readdir(d)) {
        const std::string_view name = e->d_name;
        const std::optional<pid_t> writer = TempNameWriter(name);
        if (!writer || *writer <= 0 || *writer == CurrentProcessId()) continue;
        if (!mine.empty() && name.substr(0, mine.size()) != mine) continue;
        if (kill(*writer, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to judge
        std::string path = (folder.empty() ? std::string(".") : folder) + "/" + std::string(name);
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(path.c_str()) == 0)
            ++removed;
    }
    closedir(d);
    return removed;
}

}  // namespace kt
