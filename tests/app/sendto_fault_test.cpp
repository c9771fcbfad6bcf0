// The Send To entry under a failing disk: a desktop entry that cannot be
// written completely is not written at all, the old one stays, and the
// caller hears of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/shell_paths.h"
#include "platform/atomic_file.h"
#include "tests/platform/fault_child.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(SendToFaults, AnEntryThatCannotBeWrittenLeavesTheOldOne) {
    kt::test::TempFolder dir;
    const std::string link = dir / "KalvoraTrindle.desktop";
    ASSERT_TRUE(kt::CreateShortcut(link, "/opt/kt/KalvoraTrindle", "", "", "old"));
    std::string before;
    kt::ReadWholeFile(link, before);
    int runs = 0;
    for (const char* kind : {"WRITE", "FSYNC", "RENAME"}) {
        for (int n = 1; n <= 10; ++n) {
            bool written = kt::test::SucceedsUnderFault(kind, n, "ENOSPC", [&] {
                return kt::CreateShortcut(link, "/opt/kt/KalvoraTrindle", "--sendto", "", "new");
            });
            if (written) {
                std::ofstream(link, std::ios::trunc) << before;
                break;
            }
            ++runs;
            std::string now;
            kt::ReadWholeFile(link, now);
            EXPECT_EQ(now, before) << kind << "=" << n;
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator{}),
                      1)
                << kind << "=" << n << ": a file was left";
        }
    }
    EXPECT_GT(runs, 0);
    std::cout << "[faults] Send To entry: " << runs << " faulty runs\n";
}

}  // namespace
