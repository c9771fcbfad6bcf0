// The whole-archive check and encrypted entries: without a password their
// data cannot be checked, so the archive is never called sound.
#include <gtest/gtest.h>

#include "zip_test_support.h"

namespace kt::ziptest {
namespace {

TEST(Unzip32EncryptedCheck, FullCrcCheckNeverPassesEntriesItCouldNotDecrypt) {
    TempDir d;
    WriteFile(d / "src/e.bin", RandomBytes(80000));
    ASSERT_EQ(RunTool({"zip", "-q", "-P", "secret", d / "e.zip", "e.bin"}, d / "src"), 0);
    ASSERT_EQ(RunTool({"zip", "-q", d / "plain.zip", "e.bin"}, d / "src"), 0);
    EXPECT_FALSE(Libs().CheckArchive((d / "e.zip").c_str(), CHECKARCHIVE_FULLCRC));
    EXPECT_TRUE(Libs().CheckArchive((d / "plain.zip").c_str(), CHECKARCHIVE_FULLCRC));
    // The quick checks read only the directory and still recognise it.
    EXPECT_TRUE(Libs().CheckArchive((d / "e.zip").c_str(), CHECKARCHIVE_BASIC));
    std::string report;
    EXPECT_EQ(Libs().RunUnZip("-t " + Q(d / "e.zip"), &report), ERROR_PASSWORD_FILE) << report;
    EXPECT_EQ(report.find(" OK"), std::string::npos) << report;
    EXPECT_EQ(Libs().RunUnZip("-t -P secret " + Q(d / "e.zip"), &report), 0) << report;
}

}  // namespace
}  // namespace kt::ziptest
