// kaltri pack --per-item: each folder named is one archive holding its tree
// under its own name, with every policy of a file applying to it; and
// kaltri extract --each, its counterpart.
#include <gtest/gtest.h>

#include <sstream>

#include "archive_commands.h"
#include "kaltri_process.h"

namespace {

using namespace kaltri_test;

std::size_t Entries(const std::string& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator{}));
}

// A folder with a hidden file, a nested one and an empty one.
void MakePhotos(Tree& t, const std::string& at) {
    t.Random(at + "/a.jpg", 50000);
    t.Make(at + "/.hidden", "dot");
    t.Make(at + "/sub/b.jpg", "bee");
    fs::create_directories(t.root + "/" + at + "/empty");
}

void ExpectPhotos(const std::string& root, const std::string& original) {
    EXPECT_EQ(Read(original + "/a.jpg"), Read(root + "/a.jpg"));
    EXPECT_EQ("dot", Read(root + "/.hidden"));
    EXPECT_EQ("bee", Read(root + "/sub/b.jpg"));
    EXPECT_TRUE(fs::is_directory(root + "/empty"));
}

TEST(KaltriPerItem, TwoFoldersAndAFileGiveThreeArchivesThatUnzipAndLhasaReadBack) {
    struct Row {
        const char* format;
        const char* extract;  // the peer's command, run in the target folder
    };
    for (const Row& row : {Row{"zip", "unzip -q ARCHIVE"}, Row{"lzh", "lhasa xq ARCHIVE"}}) {
        SCOPED_TRACE(row.format);
        Tree t;
        MakePhotos(t, "src/photos");
        t.Make("src/v1.2/readme", "version");
        t.Make("src/note.txt", "a note");
        // The second folder with a trailing slash, as the shell completes it.
        const Result r = Sh(kKaltri + " pack --per-item -f " + row.format + " -o " +
                            Q(t.root + "/arc") + " " + Q(t.root + "/src/photos") + " " +
                            Q(t.root + "/src/v1.2/") + " " + Q(t.root + "/src/note.txt"));
        ASSERT_EQ(0, r.code) << r.out;
        const std::string ext = std::string(".") + row.format;
        EXPECT_EQ(3u, Entries(t.root + "/arc"));
        const std::string x = t.root + "/x";
        fs::create_directories(x);
        for (const char* stem : {"photos", "v1.2", "note"}) {
            std::string cmd = row.extract;
            cmd.replace(cmd.find("ARCHIVE"), 7, Q(t.root + "/arc/" + stem + ext));
            EXPECT_EQ(0, Sh("cd " + Q(x) + " && " + cmd).code) << stem;
        }
        ExpectPhotos(x + "/photos", t.root + "/src/photos");
        EXPECT_EQ("version", Read(x + "/v1.2/readme"));
        EXPECT_EQ("a note", Read(x + "/note.txt"));
        EXPECT_EQ(3u, Entries(x));  // photos/, v1.2/, note.txt and nothing else
        EXPECT_EQ(4u, Entries(x + "/photos"));
    }
}

// A folder whose name holds a wildcard, a line break or a byte that is not
// UTF-8, below a folder whose name holds a double quote, is packed as
// itself: no library takes its name for a pattern.
TEST(KaltriPerItem, FoldersWithAnyNameArePackedAsThemselves) {
    const std::vector<std::string> names = {"star*dir", "new\nline", "caf\xE9"};
    for (const char* format : {"zip", "lzh"}) {
        SCOPED_TRACE(format);
        Tree t;
        std::string list;
        for (const std::string& name : names) {
            t.Make("par\"ent/" + name + "/inner.txt", name);
            list += t.root + "/par\"ent/" + name + '\0';
        }
        t.Make("list", list);
        const Result r = Sh("cd " + Q(t.root) + " && (cat list | " + kKaltri + " pack -q -f " +
                            format + " --per-item --null -T - -o out)");
        ASSERT_EQ(0, r.code) << r.out;
        EXPECT_EQ("", r.out);
        for (const std::string& name : names) {
            const std::string x = t.root + "/x/" + name;
            ASSERT_EQ(0, Sh(kKaltri + " extract -q -o " + Q(x) + " " +
                            Q(t.root + "/out/" + name + "." + format))
                             .code)
                << name;
            EXPECT_EQ(name, Read(x + "/" + name + "/inner.txt"));
        }
    }
}

TEST(KaltriPerItem, EachFolderMeetsThePoliciesOfAFile) {
    struct Row {
        const char* name;
        std::string args;  // after "pack --per-item -f zip"; the tree is the current folder
        int code;
        std::function<void(Tree&, const Result&)> check;
    };
    const std::vector<Row> rows = {
        {"a second run keeps the archive and exits 0", "photos && KALTRI photos", 0,
         [](Tree& t, const Result& r) {
             EXPECT_NE(std::string::npos, r.out.find("Skipping " + t.root + "/photos")) << r.out;
         }},
        {"a folder and a file of one name clash", "photos photos.txt", 1,
         [](Tree& t, const Result& r) {
             EXPECT_NE(std::string::npos, r.out.find("was made from " + t.root + "/photos"))
                 << r.out;
             EXPECT_FALSE(fs::exists(t.root + "/photos (2).zip"));
         }},
        {"a clash renamed", "--on-clash rename photos photos.txt", 0,
         [](Tree& t, const Result&) { EXPECT_EQ("txt", Read(t.root + "/x-renamed/photos.txt")); }},
        {"tested and deleted", "--delete-source photos", 0,
         [](Tree& t, const Result&) {
             EXPECT_FALSE(fs::exists(t.root + "/photos"));
             EXPECT_TRUE(fs::exists(t.root + "/photos.zip"));
         }},
        {"moved to the trash", "--move-to-trash photos", 0,
         [](Tree& t, const Result&) {
             EXPECT_FALSE(fs::exists(t.root + "/photos"));
             ExpectPhotos(t.root + "/xdg/Trash/files/photos", t.root + "/x-original");
             EXPECT_TRUE(fs::exists(t.root + "/xdg/Trash/info/photos.trashinfo"));
         }},
        {"an archive inside its own folder", "-o photos/out photos", 1,
         [](Tree& t, const Result& r) {
             EXPECT_NE(std::string::npos, r.out.find("would lie inside the folder")) << r.out;
             EXPECT_FALSE(fs::exists(t.root + "/photos/out/photos.zip"));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Tree t;
        MakePhotos(t, "photos");
        MakePhotos(t, "x-original");  // the same tree, to compare with
        t.Make("photos.txt", "txt");
        std::string args = row.args;
        const std::string kaltri = "XDG_DATA_HOME=" + Q(t.root + "/xdg") + " LANG=C " + kKaltri +
                                   " pack --per-item -f zip ";
        if (args.find("KALTRI") != std::string::npos) args.replace(args.find("KALTRI"), 6, kaltri);
        const Result r = Sh("cd " + Q(t.root) + " && " + kaltri + args);
        EXPECT_EQ(row.code, r.code) << r.out;
        if (row.args.find("rename") != std::string::npos) {
            ASSERT_EQ(0, Sh("unzip -q " + Q(t.root + "/photos (2).zip") + " -d " +
                            Q(t.root + "/x-renamed"))
                             .code);
        }
        row.check(t, r);
        // Whatever became of the folder, the archive made holds its tree.
        if (fs::exists(t.root + "/photos.zip")) {
            ASSERT_EQ(0,
                      Sh("unzip -q " + Q(t.root + "/photos.zip") + " -d " + Q(t.root + "/x")).code);
            ExpectPhotos(t.root + "/x/photos", t.root + "/x-original");
        }
    }
}

TEST(KaltriExtractEach, EveryArchiveGetsAFolderOfItsOwnUnlessItBringsOne) {
    struct Row {
        const char* out;   // -o, or "" for beside each archive
        const char* base;  // where the folders appear, below the tree
    };
    for (const Row& row : {Row{"-o out", "out"}, Row{"", "arcs"}}) {
        SCOPED_TRACE(row.base);
        Tree t;
        t.Make("a/a1.txt", "one");
        t.Make("a/a2.txt", "two");
        t.Make("b.txt", "bee");
        t.Make("c-1.0/x.txt", "ex");
        t.Make("c-1.0/d/y.txt", "why");
        fs::create_directories(t.root + "/arcs");
        ASSERT_EQ(0, Sh("cd " + Q(t.root) +
                        " && zip -qj arcs/a.zip a/a1.txt a/a2.txt && zip -qr arcs/c.zip c-1.0")
                         .code);
        ASSERT_EQ(0, Sh(kKaltri + " pack -q -f lzh -o " + Q(t.root + "/arcs") + " " +
                        Q(t.root + "/b.txt"))
                         .code);
        const Result r = Sh("cd " + Q(t.root) + " && " + kKaltri + " extract --each " + row.out +
                            " arcs/a.zip arcs/b.lzh arcs/c.zip");
        ASSERT_EQ(0, r.code) << r.out;
        const std::string base = t.root + "/" + row.base;
        EXPECT_EQ("one", Read(base + "/a/a1.txt"));
        EXPECT_EQ("two", Read(base + "/a/a2.txt"));
        EXPECT_EQ("bee", Read(base + "/b/b.txt"));
        EXPECT_EQ("ex", Read(base + "/c-1.0/x.txt"));  // its own top folder, not c/c-1.0
        EXPECT_EQ("why", Read(base + "/c-1.0/d/y.txt"));
        EXPECT_FALSE(fs::exists(base + "/c"));
        EXPECT_EQ(std::string(row.out).empty() ? 6u : 3u, Entries(base));
    }
}

TEST(KaltriExtractEach, TheFolderIsTheArchivesNameWithoutItsExtension) {
    struct Row {
        const char* archive;
        const char* folder;
    };
    for (const Row& row : {Row{"a.zip", "a"}, Row{"v1.2.lzh", "v1.2"}, Row{"b.tar.gz", "b"},
                           Row{"c.tgz", "c"}, Row{"plain", "plain.d"}, Row{".lzh", ".lzh.d"}})
        EXPECT_EQ(row.folder, kaltri::EachFolderName(row.archive)) << row.archive;
}

// An item inside a folder that another item packs whole, its archive made
// beside it, so inside that folder: with two workers, the folder's archive
// must not catch the other archive's temporary half-written.
TEST(KaltriPerItem, AnArchiveMadeInsideAFolderPackedWholeIsNeverCaughtHalfWritten) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        Tree t;
        for (int i = 0; i < 100; ++i)
            t.Random("trip/day1/f" + std::to_string(i) + ".txt", 40000 + i);
        t.Make("trip/top.txt", "top");
        const Result r = Sh("cd " + Q(t.root) + " && " + kKaltri +
                            " pack --per-item -f zip -j 2 trip/day1 trip");
        ASSERT_EQ(0, r.code) << r.out;
        const Result names = Sh("unzip -Z1 " + Q(t.root + "/trip.zip"));
        ASSERT_EQ(0, names.code) << names.out;
        std::istringstream lines(names.out);
        for (std::string name; std::getline(lines, name);) {
            EXPECT_TRUE(name.find("/.") == std::string::npos &&
                        name.find(".tmp") == std::string::npos)
                << name;
        }
        EXPECT_NE(std::string::npos, names.out.find("trip/top.txt"));
        EXPECT_TRUE(fs::exists(t.root + "/trip/day1.zip"));
    }
}

}  // namespace
