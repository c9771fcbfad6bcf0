// A folder packed whole goes only when nothing below it changed while it
// was packed: a file added, rewritten or removed at any depth keeps it.
#include "source_removal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/support/temp_folder.h"

namespace kaltri {
namespace {

namespace fs = std::filesystem;

TEST(SourceRemoval, AFolderGoesOnlyWhenNothingBelowItChanged) {
    struct Row {
        const char* change;
        std::function<void(const kt::test::TempFolder&)> make;
        SourceFate fate;
    };
    const Row rows[] = {
        {"nothing", [](const kt::test::TempFolder&) {}, SourceFate::Deleted},
        {"a file added deep down",
         [](const kt::test::TempFolder& d) { d.Write("photos/sub/new.jpg", "n"); },
         SourceFate::KeptChanged},
        {"a file rewritten to another size",
         [](const kt::test::TempFolder& d) { d.Write("photos/sub/b.jpg", "longer"); },
         SourceFate::KeptChanged},
        {"a file removed", [](const kt::test::TempFolder& d) { fs::remove(d / "photos/a.jpg"); },
         SourceFate::KeptChanged},
        {"an empty folder added",
         [](const kt::test::TempFolder& d) { d.MakeFolder("photos/sub/more"); },
         SourceFate::KeptChanged},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.change);
        kt::test::TempFolder dir;
        dir.Write("photos/a.jpg", "a");
        dir.Write("photos/sub/b.jpg", "b");
        const std::string archive = dir.Write("photos.zip", "the archive");
        const SourceStamp before = StampOf(dir / "photos");
        ASSERT_TRUE(before.valid);
        row.make(dir);
        std::string detail;
        EXPECT_EQ(row.fate, RemoveSource(dir / "photos", before, archive, SourceRemoval::Delete,
                                         false, detail))
            << detail;
        EXPECT_EQ(row.fate != SourceFate::Deleted, fs::exists(dir / "photos"));
        EXPECT_TRUE(fs::exists(archive));
    }
}

}  // namespace
}  // namespace kaltri
