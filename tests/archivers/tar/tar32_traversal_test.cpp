// Archives built to escape the target folder: names with "..", absolute
// names, a link pointing out followed by a member written through it, and
// a hard link to a file outside. Extraction writes nothing outside the
// folder and says what it refused.
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>

#include "../../archive/test_folder.h"
#include "../reading/library_host.h"

namespace kt::test {
namespace {

struct Planted {
    const char* name;
    int type;  // AE_IFREG, AE_IFLNK, AE_IFDIR, or 0 for a hard link
    const char* link;
    const char* data;
};

void WriteTar(const std::string& path, std::initializer_list<Planted> members) {
    struct archive* a = archive_write_new();
    archive_write_add_filter_gzip(a);
    archive_write_set_format_pax_restricted(a);
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
    for (const Planted& m : members) {
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.name);
        archive_entry_set_perm(e, 0644);
        if (m.type == 0) {
            archive_entry_set_filetype(e, AE_IFREG);
            archive_entry_set_hardlink(e, m.link);
        } else {
            archive_entry_set_filetype(e, m.type);
            if (m.type == AE_IFLNK) archive_entry_set_symlink(e, m.link);
            if (m.type == AE_IFREG) archive_entry_set_size(e, strlen(m.data));
        }
        archive_write_header(a, e);
        if (m.type == AE_IFREG) archive_write_data(a, m.data, strlen(m.data));
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
}

TEST(TarTraversal, NothingIsWrittenOutsideTheTargetFolder) {
    LibraryHost tar("tar32.dll", "Tar");
    ASSERT_TRUE(tar.Loaded());
    TempFolder dir;
    std::string secret = dir.Write("secret.txt", "keep me");
    std::string arc = dir / "evil.tar.gz";
    WriteTar(arc, {
                      {"../escaped.txt", AE_IFREG, nullptr, "bad"},
                      {"a/../../escaped2.txt", AE_IFREG, nullptr, "bad"},
                      {(dir.Path() + "/absolute.txt").c_str(), AE_IFREG, nullptr, "rooted"},
                      {"out", AE_IFLNK, "..", nullptr},
                      {"out/through-link.txt", AE_IFREG, nullptr, "bad"},
                      {"abs", AE_IFLNK, "/etc", nullptr},
                      {"hard", 0, "../secret.txt", nullptr},
                      {"inside", AE_IFLNK, "sub/../ok.txt", nullptr},
                      {"ok.txt", AE_IFREG, nullptr, "fine"},
                  });
    std::string target = dir.MakeFolder("target");
    std::string report;
    int rc = tar.Command("x -f \"" + arc + "\" -o \"" + target + "/\"", &report);
    EXPECT_EQ(rc, ERROR_INVALID_PATH) << report;
    // Outside: only what was there before.
    EXPECT_EQ(TreeOf(dir.Path()).size(), TreeOf(target).size() + 3) << report;
    EXPECT_FALSE(std::filesystem::exists(dir / "escaped.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "escaped2.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "through-link.txt"));
    EXPECT_EQ(ReadAll(secret), "keep me");
    // The rooted name lands inside, under its path without the root.
    EXPECT_EQ(ReadAll(target + dir.Path() + "/absolute.txt"), "rooted");
    EXPECT_FALSE(std::filesystem::is_symlink(target + "/out"));
    EXPECT_FALSE(std::filesystem::exists(target + "/abs"));
    EXPECT_FALSE(std::filesystem::exists(target + "/hard"));
    // A link that stays inside is made; so is every sound member.
    EXPECT_TRUE(std::filesystem::is_symlink(target + "/inside"));
    EXPECT_EQ(ReadAll(target + "/ok.txt"), "fine");
    EXPECT_NE(report.find("../escaped.txt"), std::string::npos) << report;
}

TEST(TarTraversal, ALinkPlantedInTheTargetIsNotFollowed) {
    LibraryHost tar("tar32.dll", "Tar");
    TempFolder dir;
    std::string outside = dir.MakeFolder("outside");
    std::string target = dir.MakeFolder("target");
    ASSERT_EQ(symlink(outside.c_str(), (target + "/planted").c_str()), 0);
    std::string arc = dir / "p.tar.gz";
    WriteTar(arc, {{"planted/x.txt", AE_IFREG, nullptr, "bad"},
                   {"planted", AE_IFREG, nullptr, "now a file"}});
    std::string report;
    EXPECT_NE(tar.Command("x --overwrite=1 -f \"" + arc + "\" -o \"" + target + "/\"", &report), 0);
    EXPECT_TRUE(TreeOf(outside).empty());
    // A file member told to replace replaces the link itself, not what it
    // points at.
    EXPECT_FALSE(std::filesystem::is_symlink(target + "/planted"));
    EXPECT_EQ(ReadAll(target + "/planted"), "now a file");
}

}  // namespace
}  // namespace kt::test
