// Entry names holding a NUL: cut there before any check, whether the name
// comes from the entry header or from a Unicode path field.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/archivers/common/crafted_archives.h"
#include "zip_test_support.h"

namespace kt::ziptest {
namespace {

using kt::test::craft::Zip;
using kt::test::craft::ZipMember;

TEST(Unzip32UnsafeNames, NulAfterDotDotNeverClimbsOutOfTheTarget) {
    const std::string up = std::string("..\0", 3);
    const std::vector<std::pair<const char*, ZipMember>> cases = {
        {"entry name", {up + "/" + up + "/pwned.txt", "x"}},
        {"UTF-8 entry name", {up + "/" + up + "/pwned.txt", "x", true}},
        {"Unicode path field", {"harmless.txt", "x", false, up + "/" + up + "/pwned.txt"}},
    };
    for (const auto& [what, member] : cases) {
        TempDir d;
        std::filesystem::create_directories(d / "a/b/out");
        WriteFile(d / "evil.zip", Zip({member}));
        std::string report;
        EXPECT_EQ(Libs().RunUnZip("-x -o " + Q(d / "evil.zip") + " " + Q(d / "a/b/out/"), &report),
                  ERROR_INVALID_PATH)
            << what << "\n"
            << report;
        EXPECT_FALSE(Exists(d / "pwned.txt")) << what;
        EXPECT_FALSE(Exists(d / "a/pwned.txt")) << what;
        EXPECT_TRUE(std::filesystem::is_empty(d / "a/b/out")) << what;
        EXPECT_EQ(Libs().RunUnZip("-t " + Q(d / "evil.zip"), &report), ERROR_INVALID_PATH)
            << what << report;
        EXPECT_FALSE(Libs().CheckArchive((d / "evil.zip").c_str(), CHECKARCHIVE_FULLCRC)) << what;
    }
}

TEST(Unzip32UnsafeNames, ANameCutAtItsNulIsExtractedUnderTheCutName) {
    TempDir d;
    WriteFile(d / "nul.zip", Zip({{std::string("sub/kept.txt\0.exe", 17), "kept"}}));
    std::string report;
    ASSERT_EQ(Libs().RunUnZip("-x " + Q(d / "nul.zip") + " " + Q(d / "out/"), &report), 0)
        << report;
    EXPECT_EQ(ReadFile(d / "out/sub/kept.txt"), "kept");
    EXPECT_TRUE(Libs().CheckArchive((d / "nul.zip").c_str(), CHECKARCHIVE_FULLCRC));
}

}  // namespace
}  // namespace kt::ziptest
