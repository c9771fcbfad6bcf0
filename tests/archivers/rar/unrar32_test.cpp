// UNRAR32.DLL through its C entries, as the RAR driver calls them, over
// RAR 4 and RAR 5 archives made by the generator of rar_writer.h: stored,
// with folders; encrypted members and methods the data does not
// follow give a clear code and a report line, never wrong data; names
// leaving the folder write nothing outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "../../archive/test_folder.h"
#include "../reading/library_host.h"
#include "rar_writer.h"

namespace kt::test {
namespace {

std::string Random(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

class UnrarLibrary : public ::testing::TestWithParam<int> {
protected:
    UnrarLibrary() : rar("UNRAR32.DLL", "Unrar") {}

    std::string Make(const std::string& name, const std::vector<RarMember>& members) {
        std::string path = dir / name;
        std::ofstream(path, std::ios::binary)
            << (GetParam() == 5 ? MakeRar5(members) : MakeRar4(members));
        return path;
    }

    LibraryHost rar;
    TempFolder dir;
};

TEST_P(UnrarLibrary, ListsAndExtractsExactly) {
    ASSERT_TRUE(rar.Loaded());
    std::string big = Random(100000, 4), text = "hello rar\n";
    std::string arc =
        Make("p.rar", {{"docs", "", true}, {"docs/a.txt", text}, {"big.bin", big}, {"empty", ""}});
    EXPECT_TRUE(rar.Check(arc, CHECKARCHIVE_FULLCRC));
    EXPECT_EQ(rar.Names(arc),
              (std::vector<std::string>{"docs/", "docs/a.txt", "big.bin", "empty"}));
    std::string out = dir / "out";
    std::string report;
    // As the driver writes it: -x keeps folders, then archive, folder, names.
    ASSERT_EQ(rar.Command("-x -u \"" + arc + "\" \"" + out + "/\"", &report), 0) << report;
    EXPECT_EQ(ReadAll(out + "/docs/a.txt"), text);
    EXPECT_EQ(ReadAll(out + "/big.bin"), big);
    EXPECT_TRUE(std::filesystem::exists(out + "/empty"));
    // -e drops the folders; a name picks a member by its last part.
    ASSERT_EQ(rar.Command("-e \"" + arc + "\" \"" + out + "-flat/\" a.txt", &report), 0) << report;
    EXPECT_EQ(TreeOf(out + "-flat"), std::vector<std::string>{"a.txt"});
    // -s asks for the whole stored path.
    EXPECT_EQ(rar.Command("-e -s \"" + arc + "\" \"" + out + "-whole/\" a.txt", &report),
              ERROR_NOT_FIND_FILE);
    std::string data;
    ASSERT_EQ(rar.ExtractMem("\"" + arc + "\" big.bin", &data, 200000), 0);
    EXPECT_EQ(data, big);
}

TEST_P(UnrarLibrary, EncryptedAndUndecodableMembersAreRefusedClearly) {
    ASSERT_TRUE(rar.Loaded());
    std::string arc =
        Make("e.rar", {{"plain.txt", "open"}, {"secret.txt", Random(64, 9), false, true}});
    std::string out = dir / "out-e";
    std::string report;
    int rc = rar.Command("-x \"" + arc + "\" \"" + out + "/\"", &report);
    EXPECT_EQ(rc, ERROR_PASSWORD_FILE) << report;
    EXPECT_NE(report.find("secret.txt"), std::string::npos) << report;
    EXPECT_FALSE(std::filesystem::exists(out + "/secret.txt"));
    std::string data;
    EXPECT_EQ(rar.ExtractMem("\"" + arc + "\" secret.txt", &data, 1000), ERROR_PASSWORD_FILE);
    EXPECT_TRUE(data.empty());
    EXPECT_FALSE(rar.Check(arc, CHECKARCHIVE_FULLCRC));

    // A member claiming a compression its bytes do not follow.
    std::string bad = Make("m.rar", {{"garbage.bin", Random(5000, 11), false, false, 3}});
    report.clear();
    rc = rar.Command("-x \"" + bad + "\" \"" + dir / "out-m" + "/\"", &report);
    EXPECT_NE(rc, 0) << report;
    EXPECT_FALSE(report.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "out-m/garbage.bin"));
    EXPECT_FALSE(rar.Check(bad, CHECKARCHIVE_FULLCRC));

    // A stored member whose bytes were damaged fails its CRC.
    std::string good = MakeRar5({{"x.bin", Random(3000, 12)}});
    if (GetParam() == 4) good = MakeRar4({{"x.bin", Random(3000, 12)}});
    good[good.size() / 2] ^= 0x5A;
    std::ofstream(dir / "crc.rar", std::ios::binary) << good;
    EXPECT_EQ(rar.Command("-x \"" + dir / "crc.rar" + "\" \"" + dir / "out-c" + "/\"", &report),
              ERROR_FILE_CRC)
        << report;
    EXPECT_FALSE(std::filesystem::exists(dir / "out-c/x.bin"));
    EXPECT_EQ(rar.ExtractMem("\"" + dir / "crc.rar" + "\" x.bin", &data, 5000), ERROR_FILE_CRC);
    EXPECT_TRUE(data.empty());
    EXPECT_FALSE(rar.Check(dir / "crc.rar", CHECKARCHIVE_FULLCRC));
}

TEST_P(UnrarLibrary, NamesLeavingTheFolderWriteNothingOutside) {
    ASSERT_TRUE(rar.Loaded());
    std::string arc =
        Make("t.rar", {{"../escaped.txt", "bad"}, {"/rooted.txt", "r"}, {"ok/fine.txt", "fine"}});
    std::string target = dir.MakeFolder("target");
    std::string report;
    EXPECT_EQ(rar.Command("-x \"" + arc + "\" \"" + target + "/\"", &report), ERROR_INVALID_PATH)
        << report;
    EXPECT_FALSE(std::filesystem::exists(dir / "escaped.txt"));
    EXPECT_EQ(TreeOf(target), (std::vector<std::string>{"ok/", "ok/fine.txt", "rooted.txt"}));
}

TEST_P(UnrarLibrary, OnlyNewerMembersReplaceExistingFilesWithU) {
    ASSERT_TRUE(rar.Loaded());
    std::string arc = Make("n.rar", {{"a.txt", "from archive", false, false, 0, 1000000000}});
    std::string out = dir.MakeFolder("n");
    dir.Write("n/a.txt", "newer on disk");
    std::string report;
    EXPECT_EQ(rar.Command("-x -u \"" + arc + "\" \"" + out + "/\"", &report), ERROR_MORE_FRESH);
    EXPECT_EQ(ReadAll(out + "/a.txt"), "newer on disk");
    // -y: the caller has decided beforehand; nothing existing is replaced,
    // and the kept file is named.
    ASSERT_EQ(rar.Command("-x -y \"" + arc + "\" \"" + out + "/\"", &report), 0) << report;
    EXPECT_EQ(ReadAll(out + "/a.txt"), "newer on disk");
    EXPECT_NE(report.find("a.txt: exists already; kept"), std::string::npos) << report;
    ASSERT_EQ(rar.Command("-x \"" + arc + "\" \"" + out + "/\"", &report), 0) << report;
    EXPECT_EQ(ReadAll(out + "/a.txt"), "from archive");
}

// Some producers store a mode of permission bits alone: such a member is a
// plain file (as bsdtar reads it), extracted and checked like any other.
TEST_P(UnrarLibrary, AMemberWithoutFileTypeBitsIsAFile) {
    ASSERT_TRUE(rar.Loaded());
    RarMember m{"plain.txt", "no type bits\n"};
    m.mode = 0644;
    std::string arc = Make("m.rar", {m});
    std::string report;
    ASSERT_EQ(rar.Command("-x \"" + arc + "\" \"" + dir / "m" + "/\"", &report), 0) << report;
    EXPECT_EQ(ReadAll(dir / "m/plain.txt"), "no type bits\n");
    std::string bad = ReadAll(arc);
    bad[bad.find("no type bits")] ^= 0x20;
    std::string badArc = dir.Write("bad.rar", bad);
    EXPECT_FALSE(rar.Check(badArc, CHECKARCHIVE_FULLCRC));
    EXPECT_EQ(rar.Command("-x \"" + badArc + "\" \"" + dir / "b" + "/\"", &report), ERROR_FILE_CRC)
        << report;
    EXPECT_FALSE(std::filesystem::exists(dir / "b/plain.txt"));
}

// An archive cut anywhere is damage: never sound, and whatever is
// extracted from it is whole (only members before the cut, byte-exact).
TEST_P(UnrarLibrary, EveryCutPointIsDamageAndLeavesOnlyWholeFiles) {
    ASSERT_TRUE(rar.Loaded());
    const std::string first = Random(300, 5), second = "second member\n";
    std::string whole =
        ReadAll(Make("whole.rar", {{"a.bin", first}, {"d", "", true}, {"d/b.txt", second}}));
    int sound = 0, wrong = 0;
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
        std::string arc = dir / "cut.rar";
        std::ofstream(arc, std::ios::binary | std::ios::trunc) << whole.substr(0, cut);
        std::string out = dir / ("cut-" + std::to_string(cut));
        std::string report;
        int rc = rar.Command("-x \"" + arc + "\" \"" + out + "/\"", &report);
        if (rc == 0 || rar.Check(arc, CHECKARCHIVE_FULLCRC)) {
            ++sound;
            ADD_FAILURE() << "cut at " << cut << " of " << whole.size() << " passed\n" << report;
        }
        for (const auto& [name, data] :
             {std::pair<std::string, std::string>{"a.bin", first}, {"d/b.txt", second}}) {
            if (std::filesystem::exists(out + "/" + name) && ReadAll(out + "/" + name) != data) {
                ++wrong;
                ADD_FAILURE() << "cut at " << cut << " left a wrong " << name << "\n" << report;
            }
        }
        std::filesystem::remove_all(out);
    }
    EXPECT_EQ(0, sound);
    EXPECT_EQ(0, wrong);
}

// A member spread over volumes lying beside the first, by the new naming
// (name.partN.rar) and, for RAR 4, the old one (name.rar, name.r00, ...),
// comes out whole; with the last volume missing it fails, leaving no file,
// while the members before it come out; a changed byte in a later volume
// is caught by the whole file's CRC in the last part.
TEST_P(UnrarLibrary, AVolumeSetBesideTheFirstIsReadAsOne) {
    ASSERT_TRUE(rar.Loaded());
    const RarMember small{"small.txt", "small member\n"}, big{"big.bin", Random(30000, 8)};
    struct Naming {
        const char* what;
        bool oldNaming;
        std::string (*name)(int);
    };
    std::vector<Naming> namings = {
        {"new", false, [](int i) { return "set.part" + std::to_string(i + 1) + ".rar"; }}};
    if (GetParam() == 4)
        namings.push_back({"old", true, [](int i) {
                               return i == 0 ? std::string("old.rar")
                                             : "old.r0" + std::to_string(i - 1);
                           }});
    for (const Naming& naming : namings) {
        SCOPED_TRACE(naming.what);
        const std::vector<std::string> set =
            MakeRarVolumes(GetParam(), small, big, 3, naming.oldNaming);
        for (std::size_t i = 0; i < set.size(); ++i)
            std::ofstream(dir / naming.name(static_cast<int>(i)), std::ios::binary) << set[i];
        const std::string first = dir / naming.name(0);
        std::string out = dir / (std::string("whole-") + naming.what), report;
        EXPECT_TRUE(rar.Check(first, CHECKARCHIVE_FULLCRC));
        ASSERT_EQ(rar.Command("-x \"" + first + "\" \"" + out + "/\"", &report), 0) << report;
        EXPECT_EQ(ReadAll(out + "/small.txt"), small.data);
        EXPECT_TRUE(ReadAll(out + "/big.bin") == big.data);

        std::string bad = set[1];
        bad[bad.size() / 2] ^= 1;
        std::ofstream(dir / naming.name(1), std::ios::binary | std::ios::trunc) << bad;
        EXPECT_FALSE(rar.Check(first, CHECKARCHIVE_FULLCRC));
        out = dir / (std::string("bad-") + naming.what);
        EXPECT_NE(rar.Command("-x \"" + first + "\" \"" + out + "/\"", &report), 0) << report;
        EXPECT_FALSE(std::filesystem::exists(out + "/big.bin"));
        std::ofstream(dir / naming.name(1), std::ios::binary | std::ios::trunc) << set[1];

        std::filesystem::remove(dir / naming.name(2));
        EXPECT_FALSE(rar.Check(first, CHECKARCHIVE_FULLCRC));
        out = dir / (std::string("cut-") + naming.what);
        EXPECT_EQ(rar.Command("-x \"" + first + "\" \"" + out + "/\"", &report), ERROR_BROKEN_DATA)
            << report;
        EXPECT_NE(report.find("big.bin"), std::string::npos) << report;
        EXPECT_EQ(ReadAll(out + "/small.txt"), small.data);
        EXPECT_FALSE(std::filesystem::exists(out + "/big.bin"));
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, UnrarLibrary, ::testing::Values(4, 5),
                         [](const auto& info) { return "Rar" + std::to_string(info.param); });

// Archives made by the RAR program itself, from libarchive's test suite
// (tests/archivers/rar/fixtures/README.md): the first one or two volumes of
// a solid, compressed RAR 5 set list its member and fail it as cut at the
// last volume present, leaving no file; a header whose fields run past its
// stated size is refused without ending the process (libarchive 3.6 would
// exit on it), and the library goes on to read a sound archive after it.
TEST(UnrarLibraryFiles, RealArchivesOfTheRarProgram) {
    LibraryHost rar("UNRAR32.DLL", "Unrar");
    ASSERT_TRUE(rar.Loaded());
    TempFolder dir;
    const std::filesystem::path fixtures =
        std::filesystem::path(KT_SOURCE_DIR) / "tests/archivers/rar/fixtures";
    struct Member {
        std::string name;
        std::uintmax_t size;
        uint32_t crc;  // as libarchive's own reader extracts it
    };
    struct Row {
        std::vector<std::string> files;  // the first is opened
        std::vector<std::string> names;
        std::vector<Member> extracted;  // empty: the set is cut or broken, nothing comes out
    };
    std::vector<std::string> whole;
    for (int v = 1; v <= 20; ++v)
        whole.push_back("rar5_solid_split.vol" + std::string(v < 10 ? "0" : "") +
                        std::to_string(v) + ".rar");
    const std::vector<Row> rows = {
        {{"rar5_solid_split.vol01.rar"}, {"file2.bin"}, {}},
        {{"rar5_solid_split.vol01.rar", "rar5_solid_split.vol02.rar"}, {"file2.bin"}, {}},
        {{"rar5_redir_overflow.rar"}, {}, {}},
        // Solid data runs on through every volume, and members start and end mid-volume.
        {whole,
         {"file2.bin", "file4.bin", "file1.txt", "file3.txt"},
         {{"file2.bin", 102400, 0xf2a1a300},
          {"file4.bin", 51200, 0x00adcffe},
          {"file1.txt", 138, 0x776576e2},
          {"file3.txt", 276, 0x661bace1}}},
    };
    const std::string sound = dir.Write("sound.rar", MakeRar5({{"a.txt", "sound\n"}}));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.files.size() == 1 ? row.files[0] : row.files.back());
        const std::string in = dir.MakeFolder("in" + std::to_string(i));
        // The fixtures are stored as .volNN.rar; a set is read under the
        // names the RAR program gives its volumes, name.partNN.rar.
        const auto setName = [](std::string f) {
            if (const auto at = f.find(".vol"); at != std::string::npos) f.replace(at, 4, ".part");
            return f;
        };
        for (const std::string& f : row.files)
            std::filesystem::copy_file(fixtures / f, in + "/" + setName(f));
        const std::string arc = in + "/" + setName(row.files[0]);
        EXPECT_EQ(rar.Names(arc), row.names);
        EXPECT_EQ(rar.Check(arc, CHECKARCHIVE_FULLCRC), !row.extracted.empty());
        const std::string out = dir / ("out" + std::to_string(i));
        std::string report;
        const int code = rar.Command("-x \"" + arc + "\" \"" + out + "/\"", &report);
        if (row.extracted.empty()) {
            EXPECT_NE(code, 0) << report;
            EXPECT_TRUE(!std::filesystem::exists(out) || TreeOf(out).empty()) << TreeOf(out)[0];
        } else {
            EXPECT_EQ(code, 0) << report;
            std::vector<std::string> tree;
            for (const Member& m : row.extracted) {
                tree.push_back(m.name);
                const std::string path = out + "/" + m.name;
                EXPECT_EQ(std::filesystem::file_size(path), m.size) << m.name;
                EXPECT_EQ(rar_detail::Crc(ReadAll(path)), m.crc) << m.name;
            }
            std::vector<std::string> got = TreeOf(out);
            std::sort(tree.begin(), tree.end());
            std::sort(got.begin(), got.end());
            EXPECT_EQ(got, tree);
        }
        EXPECT_TRUE(rar.Check(sound, CHECKARCHIVE_FULLCRC));
    }
}

TEST(UnrarLibraryFiles, OtherFilesAreNoRarArchives) {
    LibraryHost rar("UNRAR32.DLL", "Unrar");
    TempFolder dir;
    std::string plain = dir.Write("plain.txt", "Rar! but not really");
    EXPECT_EQ(rar.Entry<ARC_OPEN_ARCHIVE_PROC>("OpenArchive")(nullptr, plain.c_str(), 0x800002),
              nullptr);
    EXPECT_FALSE(rar.Check(plain, CHECKARCHIVE_BASIC));
    std::string report;
    EXPECT_EQ(rar.Command("-x \"" + plain + "\" \"" + dir / "o" + "/\"", &report),
              ERROR_NOT_ARC_FILE)
        << report;
}

}  // namespace
}  // namespace kt::test
