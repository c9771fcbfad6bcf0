// Temporary names must be recognisable later, with the process that wrote
// them, and nothing else may be taken for one.
#include "platform/temp_name.h"

#include <gtest/gtest.h>
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

}  // namespace
