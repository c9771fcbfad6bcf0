// kaltri pack over sources that meet each other in one run: a folder packed a
// second time (its archives are sources now), one file named twice, and
// paths that are no usable source.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kaltri_process.h"

namespace fs = std::filesystem;
using namespace kaltri_test;

namespace {

TEST(KaltriSameRun, AFolderPackedAgainNeverPacksAnArchiveIntoItself) {
    Tree t;
    t.Make("t/a.txt", "A\n");
    const std::string folder = t.root + "/t";
    Result first = Sh(kKaltri + " pack --format zip " + Q(folder));
    ASSERT_EQ(0, first.code) << first.out;
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        // a.zip is a source now, and its archive would be itself.
        Result again =
            Sh(kKaltri + " pack --format zip --overwrite all -j " + jobs + " " + Q(folder));
        EXPECT_EQ(0, again.code) << again.out;
        EXPECT_NE(std::string::npos, again.out.find("packed 1, skipped 1, failed 0")) << again.out;
        EXPECT_NE(std::string::npos, again.out.find(folder + "/a.zip is the archive itself"))
            << again.out;
        EXPECT_EQ("a.txt\n", Sh("unzip -Z1 " + Q(folder + "/a.zip")).out);
    }
    // In LZH mode an LZH file is the one passed over.
    const std::string lzh = t.Make("b.lzh", "not ours, but an LZH name");
    Result r = Sh(kKaltri + " pack --format lzh --overwrite all " + Q(lzh));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("packed 0, skipped 1, failed 0")) << r.out;
    EXPECT_EQ("not ours, but an LZH name", Read(lzh));
}

TEST(KaltriSameRun, AFileNamedTwiceIsPackedOnce) {
    Tree t;
    const std::string a = t.Make("a.txt", "A\n");
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        fs::remove(t.root + "/a.zip");
        Result r = Sh(kKaltri + " pack --format zip -j " + jobs + " " + Q(a) + " " + Q(a));
        EXPECT_EQ(0, r.code) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("packed 2, skipped 0, failed 0")) << r.out;
        EXPECT_EQ("A\n", Sh("unzip -p " + Q(t.root + "/a.zip")).out);
    }
}

TEST(KaltriSameRun, AMissingPathAndAnUnreadableFolderAreNamedAndNotPacked) {
    Tree t;
    t.Make("ok/a.txt", "A\n");
    t.Make("locked/b.txt", "B\n");
    // Root reads any folder: the run goes as the unprivileged user, in a
    // tree that user may walk.
    const bool root = geteuid() == 0;
    ASSERT_EQ(0, chmod(t.root.c_str(), 0777));
    ASSERT_EQ(0, chmod((t.root + "/ok").c_str(), 0777));
    ASSERT_EQ(0, chmod((t.root + "/locked").c_str(), 0));
    const std::string as = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    // That user may not reach the build folder (a clone in a folder of
    // mode 0700): kaltri runs from a copy of its folder's programs and
    // libraries inside the tree.
    std::string kaltri = kKaltri;
    if (root) {
        const std::string bin = t.root + "/bin";
        fs::create_directories(bin);
        for (const auto& e : fs::directory_iterator(KT_BIN_DIR)) {
            const std::string name = e.path().filename();
            const bool library = e.path().extension() == ".DLL" || e.path().extension() == ".dll" ||
                                 name == "libkthub.so";
            if (name == "kaltri" || library) fs::copy_file(e.path(), bin + "/" + name);
        }
        ASSERT_EQ(0, chmod(bin.c_str(), 0755));
        kaltri = bin + "/kaltri";
    }
    Result r = Sh(as + kaltri + " pack --format zip " + Q(t.root + "/ok") + " " +
                  Q(t.root + "/gone") + " " + Q(t.root + "/locked"));
    chmod((t.root + "/locked").c_str(), 0755);
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(t.root + "/gone cannot be added")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(t.root + "/locked cannot be added")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("packed 1, skipped 0, failed 2")) << r.out;
    EXPECT_TRUE(fs::exists(t.root + "/ok/a.zip"));
    EXPECT_FALSE(fs::exists(t.root + "/locked/b.zip"));
}

}  // namespace
