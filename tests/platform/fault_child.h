// Runs a write in a child process under a failing disk (see
// platform/fault_injection.h), so the faults of one run never reach the
// next or the test itself.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/fault_injection.h"

namespace kt::test {

// The N-th call of kind ("WRITE", "FSYNC", "RENAME") and every later one
// fails with error ("ENOSPC" or "EIO") while body runs in a child; true
// when body reported success.
inline bool SucceedsUnderFault(const std::string& kind, int n, const std::string& error,
                               const std::function<bool()>& body) {
    pid_t pid = fork();
    if (pid == 0) {
        setenv(("KT_FAULT_" + kind).c_str(), std::to_string(n).c_str(), 1);
        setenv("KT_FAULT_ERRNO", error.c_str(), 1);
        kt::fault::Reload();
        bool ok = false;
        try {
            ok = body();
        } catch (...) {
            ok = false;
        }
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kt::test
