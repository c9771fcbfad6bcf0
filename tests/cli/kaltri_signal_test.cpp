// A run ended by a closed terminal (SIGHUP) or a kill (SIGTERM) cleans up as
// after Ctrl-C: no temporary file, no partial archive, the source unchanged.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "kaltri_process.h"

namespace {

using namespace kaltri_test;

TEST(KaltriSignals, HangUpAndTerminateLeaveNoTemporaryFileForEitherFormat) {
    for (int sig : {SIGHUP, SIGTERM}) {
        for (const char* format : {"lzh", "zip"}) {
            Tree t;
            std::string big = t.Random("big.bin", 30 * 1000 * 1000);
            std::string before = Read(big);
            pid_t pid = fork();
            if (pid == 0) {
                execl(kKaltri.c_str(), "kaltri", "pack", "-f", format, "-j1", big.c_str(),
                      static_cast<char*>(nullptr));
                _exit(99);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            kill(pid, sig);
            int status = 0;
            waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFEXITED(status))
                << "killed by the signal instead of handling it: " << sig;
            std::string archive = t.root + "/big." + format;
            bool made = fs::exists(archive);
            if (made) {
                EXPECT_EQ(0, Sh(kKaltri + " test " + Q(archive)).code) << format;
            } else {
                EXPECT_EQ(130, WEXITSTATUS(status)) << format << " " << sig;
            }
            std::size_t entries =
                std::distance(fs::directory_iterator(t.root), fs::directory_iterator{});
            EXPECT_EQ(made ? 2u : 1u, entries)
                << format << " " << sig << ": a temporary file stayed behind";
            EXPECT_EQ(before, Read(big));
        }
    }
}

}  // namespace
