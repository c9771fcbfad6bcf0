// kaltri pack --test: a new archive that fails our own reader's test is a
// failure under the error policy, is removed, and never replaces the archive
// that was there. The damage comes from the KT_FAULT_DAMAGE hook, which
// changes a byte of the temporary archive between packing and testing.
#include <gtest/gtest.h>

#include "kaltri_process.h"

namespace {

using namespace kaltri_test;

bool NoTemporaries(const std::string& folder) {
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind(".~kt", 0) == 0) return false;
    return true;
}

TEST(KaltriTestAfterPack, ADamagedNewArchiveFailsIsRemovedAndTheOldOneStays) {
    for (const char* format : {"zip", "lzh"}) {
        Tree t;
        std::string a = t.Random("a.txt", 200000);
        std::string b = t.Random("b.txt", 150000);
        const std::string ext = std::string(".") + format;
        t.Make(std::string("a") + ext, "the old archive");
        // The first archive tested is damaged: a's; b's is sound.
        Result r = Sh("KT_FAULT_DAMAGE=1 " + kKaltri + " pack -f " + format +
                      " --test -j1 --overwrite all --on-error continue " + Q(a) + " " + Q(b));
        EXPECT_EQ(1, r.code) << format << r.out;
        EXPECT_NE(std::string::npos, r.out.find("failed its test")) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("packed 1, skipped 0, failed 1")) << r.out;
        EXPECT_EQ("the old archive", Read(t.root + "/a" + ext)) << format;
        EXPECT_EQ(0, Sh(kKaltri + " test " + Q(t.root + "/b" + ext)).code) << format;
        EXPECT_TRUE(NoTemporaries(t.root)) << format;
    }
}

TEST(KaltriTestAfterPack, TheErrorPolicyStopsAfterAFailedTest) {
    Tree t;
    std::string a = t.Random("a.txt", 100000);
    std::string b = t.Random("b.txt", 100000);
    Result r = Sh("KT_FAULT_DAMAGE=1 " + kKaltri + " pack -f zip --test -j1 --on-error stop " +
                  Q(a) + " " + Q(b));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_FALSE(fs::exists(t.root + "/a.zip"));
    EXPECT_FALSE(fs::exists(t.root + "/b.zip")) << r.out;
}

}  // namespace
