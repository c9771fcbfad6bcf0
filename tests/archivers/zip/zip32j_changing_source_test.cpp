// A source that changes while ZIP32J reads it fails its member, and the
// archive that existed before stays as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/message_hub.h"
#include "zip_test_support.h"

namespace kt::ziptest {
namespace {

struct Change {
    std::string path;
    off_t newSize;
};

// Changes the source once its data is being read (large files report
// progress while they are read).
LRESULT ChangeWhileRead(HWND, UINT msg, WPARAM state, LPARAM, void* user) {
    if (msg != RegisterWindowMessage(WM_ARCEXTRACT_NAME) || state != ARCEXTRACT_INPROCESS) return 0;
    auto* c = static_cast<Change*>(user);
    if (!c->path.empty() && truncate(c->path.c_str(), c->newSize) == 0) c->path.clear();
    return 0;
}

TEST(Zip32jChangingSource, ASourceThatShrinksOrGrowsWhileReadFailsAndKeepsTheOldArchive) {
    const std::string big = SampleText(17u << 20, 5);
    for (off_t newSize : {off_t{1000}, off_t{(18u << 20)}}) {
        TempDir d;
        WriteFile(d / "keep.txt", "an older member\n");
        ASSERT_EQ(Libs().RunZip("-q -j " + Q(d / "a.zip") + " " + Q(d / "keep.txt")), 0);
        const std::string before = ReadFile(d / "a.zip");
        WriteFile(d / "big.txt", big);
        Change change{d / "big.txt", newSize};
        HWND wnd = CreateMessageWindow(ChangeWhileRead, &change);
        ASSERT_TRUE(Libs().ZipSetOwnerWindowEx(wnd, nullptr));
        std::string report;
        int r = Libs().RunZip("-j " + Q(d / "a.zip") + " " + Q(d / "big.txt"), &report);
        Libs().ZipKillOwnerWindowEx(wnd);
        DestroyMessageWindow(wnd);
        ASSERT_TRUE(change.path.empty()) << "the source was not changed";
        EXPECT_NE(r, 0) << newSize << report;
        EXPECT_EQ(ReadFile(d / "a.zip"), before) << newSize;
        std::size_t entries = std::distance(std::filesystem::directory_iterator(d.path()),
                                            std::filesystem::directory_iterator{});
        EXPECT_EQ(entries, 3u) << "a temporary file stayed behind";
    }
}

}  // namespace
}  // namespace kt::ziptest
