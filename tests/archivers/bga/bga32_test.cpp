// BGA32.DLL through its C entries, as the BGA driver calls them, over GZA
// and BZA archives laid out here as the public notes describe them (28-byte
// header, folder and file names, data packed per member). The fields those
// notes leave open (checksum, data framing) are varied, since the reader
// must take every reading of them it allows.
#include <gtest/gtest.h>
#include <fstream>
#include <random>

#include "../../archive/test_folder.h"
#include "../reading/library_host.h"
#include "bga_writer.h"

namespace kt::test {
namespace {

std::string Random(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

class BgaLibrary : public ::testing::Test {
protected:
    BgaLibrary() : bga("BGA32.DLL", "Bga") {}
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }
    LibraryHost bga;
    TempFolder dir;
};

TEST_F(BgaLibrary, ListsAndExtractsGzaAndBzaWhateverTheFraming) {
    ASSERT_TRUE(bga.Loaded());
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "bga line " + std::to_string(i) + "\n";
    std::string bin = Random(50000, 5);
    // "日本" in CP932.
    const std::string japanese = "\x93\xfa\x96\x7b";
    std::string gza =
        Write("a.gza", MakeBga(false, {{"docs\\", "a.txt", text, Framing::RawDeflate},
                                       {"", "bin.dat", bin, Framing::GzipWrapped},
                                       {"docs\\" + japanese, "k.txt", "kanji", Framing::Stored}}));
    std::string bza = Write("b.bza", MakeBga(true, {{"", "a.txt", text, Framing::Bzip2},
                                                    {"x", "s.bin", bin, Framing::Stored}}));
    EXPECT_EQ(bga.Names(gza),
              (std::vector<std::string>{"docs/a.txt", "bin.dat", "docs/日本/k.txt"}));
    EXPECT_EQ(bga.Names(bza), (std::vector<std::string>{"a.txt", "x/s.bin"}));
    EXPECT_TRUE(bga.Check(gza, CHECKARCHIVE_FULLCRC));
    EXPECT_TRUE(bga.Check(bza, CHECKARCHIVE_FULLCRC));
    std::string report;
    // As the driver writes it with the stored option set: -n and -j.
    ASSERT_EQ(bga.Command("x -n -j \"" + gza + "\" \"" + dir / "flat" + "/\"", &report), 0)
        << report;
    EXPECT_EQ(TreeOf(dir / "flat"), (std::vector<std::string>{"a.txt", "bin.dat", "k.txt"}));
    ASSERT_EQ(bga.Command("x -o \"" + gza + "\" \"" + dir / "g" + "/\"", &report), 0) << report;
    EXPECT_EQ(ReadAll(dir / "g/docs/a.txt"), text);
    EXPECT_EQ(ReadAll(dir / "g/bin.dat"), bin);
    EXPECT_EQ(ReadAll(dir / "g/docs/日本/k.txt"), "kanji");
    ASSERT_EQ(bga.Command("x \"" + bza + "\" \"" + dir / "b" + "/\" s.bin", &report), 0) << report;
    EXPECT_EQ(TreeOf(dir / "b"), (std::vector<std::string>{"x/", "x/s.bin"}));
    EXPECT_EQ(ReadAll(dir / "b/x/s.bin"), bin);
    // -n keeps what is there, and says so; keeping is what was asked, no error.
    std::ofstream(dir / "b/x/s.bin") << "mine";
    EXPECT_EQ(bga.Command("x -n \"" + bza + "\" \"" + dir / "b" + "/\"", &report), 0) << report;
    EXPECT_EQ(ReadAll(dir / "b/x/s.bin"), "mine");
    EXPECT_NE(report.find("x/s.bin: exists already; kept"), std::string::npos) << report;
}

// A member the header marks as kept as it is comes out as it is, even when
// its few bytes happen to look like a packed stream of the archive's kind.
TEST_F(BgaLibrary, AKeptMemberIsNeverDecodedWhateverItsBytes) {
    ASSERT_TRUE(bga.Loaded());
    struct Case {
        bool bza;
        const char* what;
        std::string data;
    };
    for (const Case& c : {Case{false, "an empty deflate block", std::string("\x03\x00", 2)},
                          Case{false, "a gzip signature", "\x1f\x8b"},
                          Case{false, "two letters", "ab"}, Case{true, "a bzip2 signature", "BZh"},
                          Case{true, "a longer bzip2 look-alike", "BZh91AY&SY"}}) {
        SCOPED_TRACE(c.what);
        std::string arc = Write(c.bza ? "k.bza" : "k.gza",
                                MakeBga(c.bza, {{"", "kept.bin", c.data, Framing::Stored}}));
        EXPECT_TRUE(bga.Check(arc, CHECKARCHIVE_FULLCRC));
        std::string out = dir / "kept", report;
        std::filesystem::remove_all(out);
        ASSERT_EQ(bga.Command("x \"" + arc + "\" \"" + out + "/\"", &report), 0) << report;
        EXPECT_EQ(ReadAll(out + "/kept.bin"), c.data);
    }
}

TEST_F(BgaLibrary, NothingIsWrittenAndNothingWrongIsKept) {
    ASSERT_TRUE(bga.Loaded());
    std::string report;
    for (const char* command : {"a", "d", "s"})
        EXPECT_EQ(bga.Command(std::string(command) + " \"" + dir / "new.gza" + "\" \"" +
                                  dir.Path() + "/\" x",
                              &report),
                  ERROR_NOT_SUPPORT);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.gza"));

    std::string text(20000, 'q');
    std::string bytes = MakeBga(false, {{"", "a.txt", text, Framing::RawDeflate}});
    // A size that does not match what the data decodes to.
    std::string wrongSize = bytes;
    wrongSize[12] ^= 0x01;
    // Data cut short: the header's packed size runs past the end.
    std::string cut = bytes.substr(0, bytes.size() - 5);
    // Bytes flipped inside the deflate data.
    std::string flipped = bytes;
    flipped[40] ^= 0x7F;
    flipped[41] ^= 0x7F;
    for (const auto& [name, content] : {std::pair<std::string, std::string>{"size.gza", wrongSize},
                                        {"cut.gza", cut},
                                        {"flip.gza", flipped}}) {
        SCOPED_TRACE(name);
        std::string path = Write(name, content);
        EXPECT_FALSE(bga.Check(path, CHECKARCHIVE_FULLCRC));
        EXPECT_NE(bga.Command("x \"" + path + "\" \"" + dir / ("o-" + name) + "/\"", &report), 0);
        EXPECT_FALSE(std::filesystem::exists(dir / ("o-" + name) + "/a.txt"));
    }
    std::string plain = Write("plain.gza", "just some text, no archive at all");
    EXPECT_EQ(bga.Entry<ARC_OPEN_ARCHIVE_PROC>("OpenArchive")(nullptr, plain.c_str(), 0x800002),
              nullptr);
}

TEST_F(BgaLibrary, NamesLeavingTheFolderWriteNothingOutside) {
    ASSERT_TRUE(bga.Loaded());
    std::string arc = Write("t.bza", MakeBga(true, {{"..\\", "escaped.txt", "bad", Framing::Bzip2},
                                                    {"\\", "rooted.txt", "r", Framing::Stored},
                                                    {"ok\\", "fine.txt", "fine", Framing::Bzip2}}));
    std::string target = dir.MakeFolder("target");
    std::string report;
    EXPECT_EQ(bga.Command("x -o \"" + arc + "\" \"" + target + "/\"", &report), ERROR_INVALID_PATH)
        << report;
    EXPECT_FALSE(std::filesystem::exists(dir / "escaped.txt"));
    EXPECT_EQ(TreeOf(target), (std::vector<std::string>{"ok/", "ok/fine.txt", "rooted.txt"}));
}

}  // namespace
}  // namespace kt::test
