// Temporary names must be recognisable later, with the process that wrote
// them, and nothing else may be taken for one.
#include "platform/temp_name.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(TempName, NamesItsTargetAndWriterAndIsReadBack) {
    std::string name = kt::TempNameBeside("report 1.lzh", "a1b2c3");
    EXPECT_EQ(name, ".report 1.lzh.kt" + std::to_string(getpid()) + "-a1b2c3.tmp");
    EXPECT_EQ(kt::TempNameWriter(name), getpid());
    EXPECT_LE(kt::TempNameBeside(std::string(255, 'x'), "XXXXXX").size(), 255u);
}

TEST(TempName, OtherNamesAreNeverTakenForOne) {
    for (const char* other :
         {"a.tmp", ".a.tmp", ".a.kt-1.tmp", ".a.kt12-.tmp", ".a.ktx1-ab.tmp", ".kt1-a.tmp",
          ".a.kt1-ab.tmp.lzh", "a.kt1-ab.tmp", ".a.kt99999999999-ab.tmp"}) {
        EXPECT_FALSE(kt::TempNameWriter(other).has_value()) << other;
    }
    EXPECT_EQ(kt::TempNameWriter(".a.lzh.kt42-x.tmp"), 42);
}

// The process id is asked for once, so a forked child (a kaltri worker) must
// not name its temporary files after its parent.
TEST(TempName, AForkedChildNamesItsFilesAfterItself) {
    ASSERT_EQ(kt::TempNameWriter(kt::TempNameBeside("a.zip", "x")), getpid());
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::optional<pid_t> writer = kt::TempNameWriter(kt::TempNameBeside("a.zip", "x"));
        pid_t got = writer.value_or(-1);
        _exit(write(pipeFds[1], &got, sizeof got) == sizeof got ? 0 : 1);
    }
    pid_t named = 0;
    ASSERT_EQ(read(pipeFds[0], &named, sizeof named), static_cast<ssize_t>(sizeof named));
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(named, child);
    close(pipeFds[0]);
    close(pipeFds[1]);
}

}  // namespace
