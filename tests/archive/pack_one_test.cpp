// One source into one archive with the real ZIP libraries of build/bin:
// what a batch run relies on when an archive already exists or a source is
// hidden.
#include "archive/pack_one.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/archiver_factory.h"
#include "archive/earchiver.h"
#include "archive/lha_driver.h"
#include "archive/zip_driver.h"
#include "test_folder.h"

namespace fs = std::filesystem;

namespace kt {
namespace {

bool UnzipLists(const std::string& archive, const std::string& name) {
    std::string cmd = "unzip -Z1 '" + archive + "' 2>/dev/null | grep -qx '" + name + "'";
    return std::system(cmd.c_str()) == 0;
}

std::size_t FilesIn(const std::string& folder) {
    std::size_t n = 0;
    for (auto& e : fs::directory_iterator(folder)) n += e.is_regular_file() ? 1 : 0;
    return n;
}

class PackOne : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(std::string(KT_BIN_DIR) + "/ZIP32J.DLL")) << "ZIP32J.DLL not built";
        ConfigureForBatchRun(archive);
    }
    test::TempFolder dir;
    TArchiveFile archive;
    const TArchiverType type = atZip;
};

TEST_F(PackOne, MakesANewArchiveThatUnzipReads) {
    std::string src = dir.Write("a.txt", "hello");
    EXPECT_EQ(0, PackOneFile(archive, type, nullptr, dir / "a.zip", src));
    EXPECT_TRUE(UnzipLists(dir / "a.zip", "a.txt"));
    EXPECT_EQ(dir / "a.zip", archive.FileName());
}

TEST_F(PackOne, ReplacesAnExistingArchiveOnlyWhenTheNewOneIsMade) {
    std::string src = dir.Write("a.txt", "new content");
    dir.Write("a.zip", "old archive");
    EXPECT_EQ(0, PackOneFile(archive, type, nullptr, dir / "a.zip", src));
    EXPECT_TRUE(UnzipLists(dir / "a.zip", "a.txt"));
    EXPECT_EQ(2u, FilesIn(dir.Path()));  // no temporary left beside it

    // A source that has gone: nothing is made, the old archive stays.
    dir.Write("b.zip", "old archive");
    int r = PackOneFile(archive, type, nullptr, dir / "b.zip", dir / "b.txt");
    EXPECT_NE(0, r);
    EXPECT_EQ("old archive", test::ReadAll(dir / "b.zip"));
    EXPECT_EQ(3u, FilesIn(dir.Path()));
}

TEST_F(PackOne, AHiddenSourceIsPackedAndTheOptionSetIsLeftAsItWas) {
    std::string src = dir.Write(".profile", "secret");
    EXPECT_EQ(0, PackOneFile(archive, type, nullptr, dir / ".profile.zip", src));
    EXPECT_TRUE(UnzipLists(dir / ".profile.zip", ".profile"));
    EXPECT_EQ(-1, archive.Options().a);
}

TEST_F(PackOne, ALayerErrorLeavesNoTemporaryBehind) {
    std::string src = dir.Write("a.txt");
    dir.Write("a.qqq", "old");
    // No format gives no driver: Pack raises.
    EXPECT_THROW(PackOneFile(archive, atNone, nullptr, dir / "a.qqq", src), EArchiver);
    EXPECT_EQ("old", test::ReadAll(dir / "a.qqq"));
    EXPECT_EQ(2u, FilesIn(dir.Path()));
}

// A new archive the run found missing is made by the library under its own
// name (no temporary name of ours, no second rename), for both formats: a
// file that appears there while it is packed is someone else's and stays,
// and a source gone before the call still makes the pack fail.
TEST_F(PackOne, ANewArchiveTakesItsOwnNameButNeverAFileThatAppearsMeanwhile) {
    for (std::string ext : {".zip", ".lzh"}) {
        SCOPED_TRACE(ext);
        const TArchiverType type = ext == ".zip" ? atZip : atLha;
        test::TempFolder here;
        std::string src = here.Write("a.txt", "hello hello hello");
        std::string temporary = "unset";
        EXPECT_EQ(0, PackOneFile(archive, type, nullptr, here / ("a" + ext), src, &temporary,
                                 nullptr, true));
        EXPECT_EQ("", temporary);
        if (ext == ".zip") {
            EXPECT_TRUE(UnzipLists(here / "a.zip", "a.txt"));
        }
        EXPECT_EQ(2u, FilesIn(here.Path()));

        const std::string theirs = here / ("b" + ext);
        // Once the library reports (it has looked for the archive by then).
        archive.OnProgress = [&](TArchiveFile*, int state, EXTRACTINGINFOEX*, bool&) {
            if (state != StateFileCollected && !fs::exists(theirs)) here.Write("b" + ext, "theirs");
        };
        EXPECT_NE(0, PackOneFile(archive, type, nullptr, theirs, src, nullptr, nullptr, true));
        archive.OnProgress = nullptr;
        EXPECT_EQ("theirs", test::ReadAll(theirs));
        EXPECT_EQ(3u, FilesIn(here.Path()));

        EXPECT_EQ(ERROR_NOT_FIND_FILE, PackOneFile(archive, type, nullptr, here / ("c" + ext),
                                                   here / "c.txt", nullptr, nullptr, true));
        EXPECT_FALSE(fs::exists(here / ("c" + ext)));
        EXPECT_EQ(3u, FilesIn(here.Path()));
    }
}

// The format travels with the call: the component makes a driver when the
// type changes, not for every name it is given.
TEST_F(PackOne, TheDriverIsKeptWhileTheFormatStaysTheSame) {
    int made = 0;
    SetArchiverFactoryForTesting([&made](TArchiverType t) -> std::unique_ptr<TArchiver> {
        ++made;
        if (t == atLha) return std::make_unique<TLha32>();
        return std::make_unique<TZip32>();
    });
    std::string src = dir.Write("a.txt", "hello");
    dir.Write("a.zip", "old");  // replaced through a temporary name
    int results = 0;
    results += PackOneFile(archive, atZip, nullptr, dir / "a.zip", src);
    results += PackOneFile(archive, atZip, nullptr, dir / "b.zip", src, nullptr, nullptr, true);
    results += PackOneFile(archive, atLha, nullptr, dir / "a.lzh", src);
    results += PackOneFile(archive, atZip, nullptr, dir / "c.zip", src);
    SetArchiverFactoryForTesting({});
    EXPECT_EQ(0, results);
    EXPECT_EQ(3, made);  // ZIP, LHA, ZIP again
    EXPECT_TRUE(UnzipLists(dir / "c.zip", "a.txt"));
}

}  // namespace
}  // namespace kt
