// tar32.dll through its C entries, as the TAR driver calls them: archives
// that GNU tar (with gzip, bzip2, xz, zstd) and bsdtar make are listed and
// extracted byte for byte; what we write GNU tar, bsdtar and 7z read back
// exactly; names are UTF-8 (pax where ustar cannot hold them).
#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>

#include "../../archive/test_folder.h"
#include "../reading/library_host.h"

namespace kt::test {
namespace {

const std::string kLongName =
    "深い/フォルダ名がとても長い場合でも名前はそのまま残ること_" + std::string(60, 'n') + ".txt";

std::string Bytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

std::string Text(std::size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + " of the sample\n";
    s.resize(n);
    return s;
}

class TarLibrary : public ::testing::Test {
protected:
    TarLibrary() : tar("tar32.dll", "Tar") {}

    // A small tree with text, binary, an empty file, a UTF-8 name, a
    // long name and a link inside; returns its folder.
    std::string MakeTree() {
        std::string root = dir.MakeFolder("src");
        files["a.txt"] = Text(200000);
        files["bin/random.dat"] = Bytes(300000, 7);
        files["empty"] = "";
        files["日本語.txt"] = "こんにちは\n";
        files[kLongName] = "long\n";
        for (auto& [name, data] : files) dir.Write("src/" + name, data);
        EXPECT_EQ(symlink("a.txt", (root + "/link").c_str()), 0);
        return root;
    }

    void ExpectTree(const std::string& out) {
        for (auto& [name, data] : files) EXPECT_EQ(ReadAll(out + "/" + name), data) << name;
        char target[64] = {};
        EXPECT_EQ(readlink((out + "/link").c_str(), target, sizeof target - 1), 5);
        EXPECT_STREQ(target, "a.txt");
    }

    LibraryHost tar;
    TempFolder dir;
    std::map<std::string, std::string> files;
};

TEST_F(TarLibrary, ReadsWhatGnuTarWritesUnderEveryCompression) {
    ASSERT_TRUE(tar.Loaded());
    MakeTree();
    struct Kind {
        const char* flag;
        const char* name;
        int type;
    } kinds[] = {{"", "t.tar", 1},
                 {"--gzip", "t.tar.gz", 2},
                 {"--bzip2", "t.tar.bz2", 6},
                 {"--xz", "t.tar.xz", 1},
                 {"--zstd", "t.tar.zst", 1}};
    auto getType = tar.Entry<TAR_GET_ARCHIVE_TYPE_PROC>("GetArchiveType");
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        std::string arc = dir / k.name;
        ASSERT_EQ(
            system(("tar -C " + Quote(dir / "src") + " " + k.flag + " -cf " + Quote(arc) + " .")
                       .c_str()),
            0);
        EXPECT_EQ(getType(arc.c_str()), k.type);
        EXPECT_TRUE(tar.Check(arc, CHECKARCHIVE_FULLCRC));
        int rc = 0;
        std::vector<std::string> names = tar.Names(arc, "*", &rc);
        EXPECT_EQ(rc, -1);
        EXPECT_NE(std::find(names.begin(), names.end(), "./bin/random.dat"), names.end());
        EXPECT_NE(std::find(names.begin(), names.end(), "./" + kLongName), names.end());
        std::string out = dir / (std::string("out-") + k.name);
        std::string report;
        ASSERT_EQ(
            tar.Command("x --use-directory=1 -f \"" + arc + "\" -o \"" + out + "/\"", &report), 0)
            << report;
        ExpectTree(out);
        std::string data;
        ASSERT_EQ(tar.ExtractMem(" -f \"" + arc + "\" \"bin/random.dat\"", &data, 400000), 0);
        EXPECT_EQ(data, files["bin/random.dat"]);
    }
}

// GNU tar -S stores only the data of a file full of holes; read back it is
// the whole file, holes as zeros, in both the GNU and the pax forms, and
// its length is the length the header declares.
TEST_F(TarLibrary, SparseFilesOfGnuAndPaxFormsComeOutWhole) {
    ASSERT_TRUE(tar.Loaded());
    std::string src = dir.MakeFolder("sparse");
    std::string whole(1 << 20, '\0');
    whole.replace(300000, 5, "hello");
    whole += "end";
    {
        int fd = ::open((src + "/s.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(0, ftruncate(fd, 1 << 20));
        ASSERT_EQ(5, pwrite(fd, "hello", 5, 300000));
        ASSERT_EQ(3, pwrite(fd, "end", 3, 1 << 20));
        ::close(fd);
    }
    for (const char* format : {"gnu", "posix"}) {
        SCOPED_TRACE(format);
        std::string arc = dir / (std::string("s-") + format + ".tar");
        ASSERT_EQ(system(("tar -C " + Quote(src) + " --format=" + format + " -Scf " + Quote(arc) +
                          " s.bin")
                             .c_str()),
                  0);
        EXPECT_LT(std::filesystem::file_size(arc), 100000u) << "the holes were stored";
        EXPECT_TRUE(tar.Check(arc, CHECKARCHIVE_FULLCRC));
        std::string out = dir / (std::string("sparse-out-") + format);
        std::string report;
        ASSERT_EQ(tar.Command("x -f \"" + arc + "\" -o \"" + out + "/\"", &report), 0) << report;
        EXPECT_TRUE(ReadAll(out + "/s.bin") == whole);
    }
}

// Sparse files of older GNU tar and of the pax form 0.0, from
// libarchive's test suite (tests/archivers/tar/fixtures/README.md), read as
// bsdtar reads them; a map whose blocks run past the file's length is
// damage, refused without leaving a file.
TEST_F(TarLibrary, SparseFixturesOfLibarchiveReadAsBsdtarReadsThem) {
    ASSERT_TRUE(tar.Loaded());
    const std::string fixtures = std::string(KT_SOURCE_DIR) + "/tests/archivers/tar/fixtures/";
    // Pax form 1.0 is what GNU tar makes today (the test above).
    for (const char* name : {"gtar_sparse_1_13.tgz", "gtar_sparse_1_17_posix00.tgz"}) {
        SCOPED_TRACE(name);
        const std::string arc = fixtures + name, peer = dir.MakeFolder(std::string("bsd-") + name);
        ASSERT_EQ(system(("bsdtar -C " + Quote(peer) + " -xf " + Quote(arc) + " sparse").c_str()),
                  0);
        std::string data;
        ASSERT_EQ(tar.ExtractMem(" -f \"" + arc + "\" \"sparse\"", &data, 4 << 20), 0);
        EXPECT_EQ(data.size(), 3145728u);
        EXPECT_TRUE(data == ReadAll(peer + "/sparse"));
    }
    const std::string cut = fixtures + "gtar_sparse_exceeds_length.tar.Z";
    EXPECT_FALSE(tar.Check(cut, CHECKARCHIVE_FULLCRC));
    const std::string out = dir / "exceeds-out";
    std::string report;
    EXPECT_NE(tar.Command("x -f \"" + cut + "\" -o \"" + out + "/\"", &report), 0) << report;
    EXPECT_FALSE(std::filesystem::exists(out + "/victim"));
}

// A pipe cannot be extracted as what it is: it is named in the report and
// the run fails, while the files beside it come out.
TEST_F(TarLibrary, APipeIsReportedAndCountsAsNotExtracted) {
    ASSERT_TRUE(tar.Loaded());
    std::string src = dir.MakeFolder("fifo");
    dir.Write("fifo/a.txt", "beside the pipe\n");
    ASSERT_EQ(0, mkfifo((src + "/pipe").c_str(), 0644));
    std::string arc = dir / "fifo.tar";
    ASSERT_EQ(system(("tar -C " + Quote(src) + " -cf " + Quote(arc) + " pipe a.txt").c_str()), 0);
    std::string out = dir / "fifo-out";
    std::string report;
    EXPECT_EQ(tar.Command("x -f \"" + arc + "\" -o \"" + out + "/\"", &report), ERROR_NOT_SUPPORT)
        << report;
    EXPECT_NE(report.find("pipe: "), std::string::npos) << report;
    EXPECT_FALSE(std::filesystem::exists(out + "/pipe"));
    EXPECT_EQ(ReadAll(out + "/a.txt"), "beside the pipe\n");
}

// A member declaring more bytes than the target's file system has free is
// refused before its first byte is written (the lift switch lets it try).
TEST_F(TarLibrary, AMemberLargerThanTheFreeSpaceIsRefusedBeforeWriting) {
    ASSERT_TRUE(tar.Loaded());
    std::string h(512, '\0');
    h.replace(0, 8, "huge.bin");
    h.replace(100, 7, "0000644");
    h.replace(108, 7, "0000000");
    h.replace(116, 7, "0000000");
    // The size in base-256 (GNU): 2^50 bytes.
    h[124] = static_cast<char>(0x80);
    h[124 + 11 - 6] = 0x04;
    h.replace(136, 11, "14000000000");
    h[156] = '0';
    h.replace(257, 6, std::string("ustar ", 6));
    h.replace(263, 2, std::string(" \0", 2));
    h.replace(148, 8, std::string(8, ' '));
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    char field[8];
    std::snprintf(field, sizeof field, "%06o", sum);
    h.replace(148, 7, std::string(field, 6) + '\0');
    std::string arc = dir.Write("huge.tar", h + std::string(512 * 20, 'x'));
    std::string out = dir / "huge-out";
    std::string report;
    EXPECT_EQ(tar.Command("x -f \"" + arc + "\" -o \"" + out + "/\"", &report), ERROR_DISK_SPACE)
        << report;
    EXPECT_NE(report.find("not enough free space"), std::string::npos) << report;
    EXPECT_TRUE(!std::filesystem::exists(out) || std::filesystem::is_empty(out));
    // Lifted, the member is tried and fails as the cut member it is.
    EXPECT_EQ(tar.Command("x --no-space-check -f \"" + arc + "\" -o \"" + out + "/\"", &report),
              ERROR_BROKEN_DATA)
        << report;
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(TarLibrary, CompressTarAndSingleCompressedFilesAreRead) {
    ASSERT_TRUE(tar.Loaded());
    MakeTree();
    auto getType = tar.Entry<TAR_GET_ARCHIVE_TYPE_PROC>("GetArchiveType");
    std::string taz = dir / "t.taz";
    ASSERT_EQ(
        system(("bsdtar -C " + Quote(dir / "src") + " -Zcf " + Quote(taz) + " a.txt").c_str()), 0);
    EXPECT_EQ(getType(taz.c_str()), 3);
    std::string data;
    ASSERT_EQ(tar.ExtractMem(" -f \"" + taz + "\" a.txt", &data, 300000), 0);
    EXPECT_EQ(data, files["a.txt"]);

    std::string gz = dir / "a.txt.gz", bz = dir / "a.txt.bz2";
    ASSERT_EQ(system(("gzip -c " + Quote(dir / "src/a.txt") + " > " + Quote(gz)).c_str()), 0);
    ASSERT_EQ(system(("bzip2 -c " + Quote(dir / "src/a.txt") + " > " + Quote(bz)).c_str()), 0);
    EXPECT_EQ(getType(gz.c_str()), 4);
    EXPECT_EQ(getType(bz.c_str()), 7);
    EXPECT_EQ(tar.Names(gz), std::vector<std::string>{"a.txt"});
    std::string report;
    ASSERT_EQ(tar.Command("x -f \"" + bz + "\" -o \"" + dir / "single" + "/\"", &report), 0)
        << report;
    EXPECT_EQ(ReadAll(dir / "single/a.txt"), files["a.txt"]);

    // Neither a plain file nor a ZIP is taken for a tar archive.
    EXPECT_EQ(getType((dir / "src/a.txt").c_str()), 0);
    EXPECT_FALSE(tar.Check(dir / "src/a.txt", CHECKARCHIVE_BASIC));
    EXPECT_EQ(getType((dir / "missing").c_str()), 0);
}

TEST_F(TarLibrary, WhatWeWriteOtherToolsReadByteForByte) {
    ASSERT_TRUE(tar.Loaded());
    std::string root = MakeTree();
    struct Kind {
        const char* switches;
        const char* name;
        const char* gnuFlag;
    } kinds[] = {{"", "w.tar", ""},
                 {"-z", "w.tgz", "-z"},
                 {"-z9", "w9.tar.gz", "-z"},
                 {"-B", "w.tar.bz2", "-j"},
                 {"-g", "gnu.tar", ""}};
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        std::string arc = dir / k.name;
        std::string report;
        // As the driver writes it: switches, archive, base folder, files.
        ASSERT_EQ(tar.Command(std::string("c ") + k.switches + " --use-directory=1 -f \"" + arc +
                                  "\" -o \"" + root + "/\" \"" + root + "/a.txt\" \"" + root +
                                  "/bin\" \"" + root + "/empty\" \"" + root + "/日本語.txt\" \"" +
                                  root + "/深い\" \"" + root + "/link\"",
                              &report),
                  0)
            << report;
        std::string gnu = dir / (std::string("gnu-") + k.name);
        std::filesystem::create_directories(gnu);
        ASSERT_EQ(
            system(("tar " + std::string(k.gnuFlag) + " -xf " + Quote(arc) + " -C " + Quote(gnu))
                       .c_str()),
            0);
        ExpectTree(gnu);
        std::string bsd = dir / (std::string("bsd-") + k.name);
        std::filesystem::create_directories(bsd);
        ASSERT_EQ(system(("bsdtar -xf " + Quote(arc) + " -C " + Quote(bsd)).c_str()), 0);
        ExpectTree(bsd);
    }
    // 7z reads the plain tar (and the tar inside the gzip).
    std::string seven = dir / "7z";
    ASSERT_EQ(
        system(("7z x -y -o" + Quote(seven) + " " + Quote(dir / "w.tar") + " >/dev/null").c_str()),
        0);
    for (auto& [name, data] : files) EXPECT_EQ(ReadAll(seven + "/" + name), data) << name;
    std::string sevenGz = dir / "7zgz";
    ASSERT_EQ(system(("7z x -y -so " + Quote(dir / "w.tgz") +
                      " 2>/dev/null | 7z x -y -si -ttar -o" + Quote(sevenGz) + " >/dev/null")
                         .c_str()),
              0);
    EXPECT_EQ(ReadAll(sevenGz + "/bin/random.dat"), files["bin/random.dat"]);
}

TEST_F(TarLibrary, SingleCompressedFilesAreWrittenForGzAndBz2Names) {
    ASSERT_TRUE(tar.Loaded());
    std::string root = MakeTree();
    std::string report;
    ASSERT_EQ(
        tar.Command("c -f \"" + dir / "a.txt.gz" + "\" -o \"" + root + "/\" \"" + root + "/a.txt\"",
                    &report),
        0)
        << report;
    EXPECT_EQ(Shell("gzip -dc " + Quote(dir / "a.txt.gz")), files["a.txt"]);
    ASSERT_EQ(tar.Command("c -B5 -f \"" + dir / "a.txt.bz2" + "\" \"" + root + "/a.txt\"", &report),
              0)
        << report;
    EXPECT_EQ(Shell("bzip2 -dc " + Quote(dir / "a.txt.bz2")), files["a.txt"]);
    // Clean streams: nothing after their end for the tools to warn about.
    EXPECT_EQ(Shell("bzip2 -t " + Quote(dir / "a.txt.bz2") + " 2>&1"), "");
    EXPECT_EQ(Shell("gzip -t " + Quote(dir / "a.txt.gz") + " 2>&1"), "");
    // One file only, and no second member is silently dropped.
    EXPECT_EQ(
        tar.Command("c -f \"" + dir / "two.gz" + "\" \"" + root + "/a.txt\" \"" + root + "/empty\"",
                    &report),
        ERROR_NOT_SUPPORT);
    EXPECT_FALSE(std::filesystem::exists(dir / "two.gz"));
}

TEST_F(TarLibrary, SwitchesChangeWhatIsStoredAndExtracted) {
    ASSERT_TRUE(tar.Loaded());
    std::string root = MakeTree();
    dir.Write("src/bin/.hidden", "h");
    std::string arc = dir / "s.tar";
    std::string report;
    // -I leaves out dot files met while walking; --use-directory=0 stores
    // leaf names only.
    ASSERT_EQ(tar.Command("c -I --use-directory=0 -f \"" + arc + "\" -o \"" + root + "/\" \"" +
                              root + "/bin\"",
                          &report),
              0)
        << report;
    EXPECT_EQ(tar.Names(arc), std::vector<std::string>{"random.dat"});
    ASSERT_EQ(
        tar.Command("c -AH -f \"" + arc + "\" -o \"" + root + "/\" \"" + root + "/bin\"", &report),
        0)
        << report;
    std::vector<std::string> names = tar.Names(arc);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bin/", "bin/.hidden", "bin/random.dat"}));
    // Selection by last part unless --check-all-path=1 asks for the whole path.
    ASSERT_EQ(tar.Command("x -f \"" + arc + "\" -o \"" + dir / "sel1" + "/\" random.dat", &report),
              0)
        << report;
    EXPECT_TRUE(std::filesystem::exists(dir / "sel1/bin/random.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "sel1/bin/.hidden"));
    EXPECT_EQ(tar.Command(
                  "x --check-all-path=1 -f \"" + arc + "\" -o \"" + dir / "sel2" + "/\" random.dat",
                  &report),
              ERROR_NOT_FIND_FILE);
    // e drops the stored folders.
    ASSERT_EQ(tar.Command("e -f \"" + arc + "\" -o \"" + dir / "flat" + "/\"", &report), 0)
        << report;
    EXPECT_EQ(TreeOf(dir / "flat"), (std::vector<std::string>{".hidden", "random.dat"}));
    EXPECT_EQ(tar.Command("x -q -f \"" + arc + "\"", &report), ERROR_COMMAND_NAME);
    EXPECT_NE(report.find("-q"), std::string::npos);
    EXPECT_EQ(tar.Command("x -f \"" + dir / "no.tar" + "\" -o \"" + dir / "none" + "/\"", &report),
              ERROR_ARC_FILE_OPEN);
}

TEST_F(TarLibrary, AFailedOrCancelledRunLeavesTheOldArchiveAndNoTemporaryFile) {
    ASSERT_TRUE(tar.Loaded());
    std::string root = MakeTree();
    std::string arc = dir / "keep.tgz";
    std::string report;
    ASSERT_EQ(tar.Command("c -z -f \"" + arc + "\" \"" + root + "/a.txt\"", &report), 0) << report;
    std::string before = ReadAll(arc);
    EXPECT_EQ(tar.Command("c -z -f \"" + arc + "\" \"" + root + "/a.txt\" \"" + root + "/nothing\"",
                          &report),
              ERROR_NOT_FIND_FILE);
    {
        OwnerProbe owner(tar, 2);  // stops at the second member
        ASSERT_TRUE(owner.registered);
        EXPECT_EQ(tar.Command("c -z -f \"" + arc + "\" -o \"" + root + "/\" \"" + root +
                                  "/bin\" \"" + root + "/a.txt\"",
                              &report),
                  ERROR_USER_CANCEL);
        EXPECT_EQ(owner.begins, 2);
    }
    EXPECT_EQ(ReadAll(arc), before);
    for (const std::string& p : TreeOf(dir.Path()))
        EXPECT_EQ(p.find(".keep.tgz"), std::string::npos) << p;

    // A cancelled extraction stops before the next member.
    {
        OwnerProbe owner(tar, 1);
        EXPECT_EQ(tar.Command("x -f \"" + arc + "\" -o \"" + dir / "cancelled" + "/\"", &report),
                  ERROR_USER_CANCEL);
    }
    EXPECT_TRUE(TreeOf(dir / "cancelled").empty());
    // With the owner letting it run, every member is announced.
    OwnerProbe owner(tar);
    ASSERT_EQ(tar.Command("x -f \"" + arc + "\" -o \"" + dir / "watched" + "/\"", &report), 0)
        << report;
    ASSERT_EQ(owner.sources.size(), 1u);
    EXPECT_EQ(owner.sources[0], (dir / "src/a.txt").substr(1));
    EXPECT_EQ(owner.ends, 1);
}

TEST_F(TarLibrary, DamagedGzipIsReportedNotPassedOff) {
    ASSERT_TRUE(tar.Loaded());
    MakeTree();
    std::string arc = dir / "d.tar.gz";
    ASSERT_EQ(system(("tar -C " + Quote(dir / "src") + " -czf " + Quote(arc) + " a.txt").c_str()),
              0);
    std::string bytes = ReadAll(arc);
    // The data stays valid deflate; only the stored CRC-32 disagrees.
    std::string badCrc = bytes;
    badCrc[badCrc.size() - 8] ^= 0x01;
    std::string truncated = bytes.substr(0, bytes.size() / 2);
    for (const auto& [name, content] :
         {std::pair<std::string, std::string>{"crc.tgz", badCrc}, {"short.tgz", truncated}}) {
        SCOPED_TRACE(name);
        std::string path = dir.Write(name, content);
        EXPECT_FALSE(tar.Check(path, CHECKARCHIVE_FULLCRC));
        std::string report;
        EXPECT_NE(tar.Command("t -f \"" + path + "\"", &report), 0) << report;
        EXPECT_NE(tar.Command("x -f \"" + path + "\" -o \"" + dir / ("x-" + name) + "/\"", &report),
                  0)
            << report;
        EXPECT_NE(report.find("gzip"), std::string::npos) << report;
        std::string data;
        EXPECT_NE(tar.ExtractMem(" -f \"" + path + "\" a.txt", &data, 300000), 0);
    }
    // A wrong CRC in the trailer damages no header: the listing stands.
    EXPECT_EQ(tar.Names(dir / "crc.tgz"), std::vector<std::string>{"a.txt"});
    // The sound archive, once more, passes all of it.
    EXPECT_TRUE(tar.Check(arc, CHECKARCHIVE_FULLCRC));
    std::string report;
    EXPECT_EQ(tar.Command("t -f \"" + arc + "\"", &report), 0) << report;
}

}  // namespace
}  // namespace kt::test
