// A source that changes while it is packed. The member would hold part of
// the old file and part of the new one (or only a head of it) under a CRC
// that matches what was read, so it would test as sound: the member fails
// instead, and the archive that existed before stays as it was.
#include <unistd.h>

#include "platform/message_hub.h"
#include "unlha32_support.h"

namespace kt::test {
namespace {

struct Change {
    std::string path;
    off_t newSize;
};

// Changes the source's size when its packing begins (after it was opened
// and its size taken).
LRESULT ChangeOnBegin(HWND, UINT msg, WPARAM state, LPARAM, void* user) {
    if (msg != RegisterWindowMessage(WM_ARCEXTRACT_NAME) || state != ARCEXTRACT_BEGIN) return 0;
    auto* c = static_cast<Change*>(user);
    if (!c->path.empty() && truncate(c->path.c_str(), c->newSize) == 0) c->path.clear();
    return 0;
}

TEST(Unlha32ChangingSource, ASourceThatShrinksOrGrowsWhileReadFailsAndKeepsTheOldArchive) {
    Unlha32& lib = Unlha32::Get();
    for (off_t newSize : {off_t{1000}, off_t{0}, off_t{900000}}) {
        for (const char* mode : {"", "-z "}) {
            ScratchDir d;
            WriteFile(d / "keep.txt", "an older member\n");
            ASSERT_EQ(lib.Run("a " + ArgQuote(d / "a.lzh") + " " + ArgQuote(d / "keep.txt")), 0);
            const std::string before = ReadFile(d / "a.lzh");
            WriteFile(d / "big.bin", SampleBinary(600000, 3));
            Change change{d / "big.bin", newSize};
            HWND wnd = CreateMessageWindow(ChangeOnBegin, &change);
            ASSERT_TRUE(lib.setOwner(wnd, nullptr));
            std::string report;
            int r = lib.Run(
                std::string("a ") + mode + ArgQuote(d / "a.lzh") + " " + ArgQuote(d / "big.bin"),
                &report);
            lib.killOwner(wnd);
            DestroyMessageWindow(wnd);
            ASSERT_TRUE(change.path.empty()) << "the source was not changed";
            EXPECT_EQ(r, ERROR_CANNOT_READ) << newSize << " " << mode << report;
            EXPECT_NE(report.find("changed while being packed"), std::string::npos) << report;
            EXPECT_EQ(ReadFile(d / "a.lzh"), before) << newSize << " " << mode;
            std::size_t entries =
                std::distance(fs::directory_iterator(d.path), fs::directory_iterator{});
            EXPECT_EQ(entries, 3u) << "a temporary file stayed behind";
        }
    }
}

}  // namespace
}  // namespace kt::test
