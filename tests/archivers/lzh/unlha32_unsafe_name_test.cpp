// Names that would lead an extraction out of its target folder. The danger
// is a NUL inside a stored name: a check that looks at the whole bytes sees
// "..\0", the file system that stops at the NUL sees "..". Every place a name
// is read (base header, name and folder headers, their UTF-16 forms) must
// cut at the NUL first, so the ".." is seen and refused.
#include "tests/archivers/common/crafted_archives.h"
#include "unlha32_support.h"

namespace kt::test {
namespace {

using namespace craft;

const std::string kData = "written outside\n";

struct Hostile {
    const char* what;
    std::string archive;
};

std::vector<Hostile> NulDotDotArchives() {
    const std::string up = std::string("..\0", 3);
    return {
        {"level-0 path", LzhArchive({Lzh0(up + "\\" + up + "\\pwned.txt", kData)})},
        {"level-1 folder header",
         LzhArchive({Lzh1("pwned.txt", {{0x02, LzhDir({up, up})}}, kData)})},
        {"level-2 folder header",
         LzhArchive({Lzh2({{0x01, "pwned.txt"}, {0x02, LzhDir({up, up})}}, kData)})},
        {"level-2 name header",
         LzhArchive({Lzh2({{0x01, up + "\\" + up + "\\pwned.txt"}}, kData)})},
        {"UTF-16 folder header",
         LzhArchive(
             {Lzh2({{0x01, "pwned.txt"}, {0x02, "x\xFF"}, {0x45, LzhUtf16Dir({up, up})}}, kData)})},
        {"UTF-16 name header",
         LzhArchive(
             {Lzh2({{0x01, "pwned.txt"}, {0x44, Utf16(up + "\\" + up + "\\pwned.txt")}}, kData)})},
    };
}

TEST(Unlha32UnsafeNames, NulAfterDotDotNeverClimbsOutOfTheTarget) {
    Unlha32& lib = Unlha32::Get();
    ASSERT_NE(lib.command, nullptr);
    for (const Hostile& h : NulDotDotArchives()) {
        ScratchDir d;
        fs::create_directories(d / "a/b/out");
        WriteFile(d / "evil.lzh", h.archive);
        std::string report;
        EXPECT_EQ(
            lib.Run("x " + ArgQuote(d / "evil.lzh") + " " + ArgQuote(d / "a/b/out/"), &report),
            ERROR_INVALID_PATH)
            << h.what << "\n"
            << report;
        EXPECT_FALSE(fs::exists(d / "pwned.txt")) << h.what;
        EXPECT_FALSE(fs::exists(d / "a/pwned.txt")) << h.what;
        EXPECT_FALSE(fs::exists(d / "a/b/pwned.txt")) << h.what;
        EXPECT_TRUE(fs::is_empty(d / "a/b/out")) << h.what;
        // Testing says what extracting would do: the member is refused.
        EXPECT_EQ(lib.Run("t " + ArgQuote(d / "evil.lzh"), &report), ERROR_INVALID_PATH)
            << h.what << "\n"
            << report;
        EXPECT_FALSE(lib.check((d / "evil.lzh").c_str(), CHECKARCHIVE_FULLCRC)) << h.what;
    }
}

TEST(Unlha32UnsafeNames, ListingShowsTheNameAsCutAtTheNul) {
    Unlha32& lib = Unlha32::Get();
    ScratchDir d;
    const std::string up = std::string("..\0", 3);
    WriteFile(d / "evil.lzh",
              LzhArchive({Lzh2({{0x01, "pwned.txt"}, {0x02, LzhDir({up, up})}}, kData),
                          Lzh2({{0x01, std::string("kept.txt\0.exe", 13)}}, kData)}));
    HARC arc = lib.open(nullptr, (d / "evil.lzh").c_str(), 0);
    ASSERT_NE(arc, nullptr);
    INDIVIDUALINFO info{};
    ASSERT_EQ(lib.findFirst(arc, "*", &info), 0);
    EXPECT_STREQ(info.szFileName, "../pwned.txt");
    ASSERT_EQ(lib.findNext(arc, &info), 0);
    EXPECT_STREQ(info.szFileName, "kept.txt");
    lib.close(arc);
}

TEST(Unlha32UnsafeNames, ANameCutAtItsNulIsExtractedUnderTheCutName) {
    Unlha32& lib = Unlha32::Get();
    ScratchDir d;
    WriteFile(d / "nul.lzh", LzhArchive({Lzh2({{0x01, std::string("kept.txt\0.exe", 13)},
                                               {0x02, LzhDir({std::string("sub\0ignored", 11)})}},
                                              kData)}));
    std::string report;
    ASSERT_EQ(lib.Run("x " + ArgQuote(d / "nul.lzh") + " " + ArgQuote(d / "out/"), &report), 0)
        << report;
    EXPECT_EQ(ReadFile(d / "out/sub/kept.txt"), kData);
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(d / "out"),
                            fs::recursive_directory_iterator{}),
              2);
}

}  // namespace
}  // namespace kt::test
