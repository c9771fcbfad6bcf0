// The shell every library's entry points stand on: searches over the handle
// table, one command at a time, and no exception crossing the C boundary.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "archivers/common/library_shell.h"

using kt::arc::LibraryShell;
using kt::arc::MemberListing;
using kt::arc::Report;

namespace {

class NamesListing : public MemberListing {
public:
    explicit NamesListing(std::vector<std::string> names) : names_(std::move(names)) {}
    std::size_t Count() const override { return names_.size(); }
    bool Matches(std::size_t i, const std::string& wild) const override {
        return wild.empty() || names_[i] == wild;
    }
    void Fill(std::size_t i, INDIVIDUALINFO& info) const override {
        kt::arc::CopyFixed(info.szFileName, names_[i]);
    }

private:
    std::vector<std::string> names_;
};

HARC OpenNames(LibraryShell& shell, std::vector<std::string> names) {
    return shell.Open([&] { return std::make_unique<NamesListing>(names); });
}

std::vector<std::string> Found(LibraryShell& shell, HARC arc, const char* wild) {
    std::vector<std::string> names;
    INDIVIDUALINFO info{};
    for (int rc = shell.FindFirst(arc, wild, &info); rc == 0; rc = shell.FindNext(arc, &info))
        names.push_back(info.szFileName);
    return names;
}

TEST(LibraryShell, SearchVisitsMatchingMembersInOrderAndRestartsOnFindFirst) {
    LibraryShell shell(100);
    HARC arc = OpenNames(shell, {"a.txt", "b.txt", "a.txt"});
    ASSERT_NE(arc, nullptr);
    EXPECT_EQ(Found(shell, arc, "*"), (std::vector<std::string>{"a.txt", "b.txt", "a.txt"}));
    EXPECT_EQ(Found(shell, arc, "*.*").size(), 3u);
    EXPECT_EQ(Found(shell, arc, nullptr).size(), 3u);
    EXPECT_EQ(Found(shell, arc, "a.txt"), (std::vector<std::string>{"a.txt", "a.txt"}));
    EXPECT_TRUE(Found(shell, arc, "zzz").empty());
    EXPECT_EQ(shell.FindNext(arc, nullptr), -1);
    EXPECT_EQ(shell.Close(arc), 0);
}

TEST(LibraryShell, HandlesAreCheckedAndSearchModeIsRequired) {
    LibraryShell shell(100);
    HARC arc = OpenNames(shell, {"x"});
    EXPECT_EQ(shell.FindNext(arc, nullptr), ERROR_NOT_SEARCH_MODE);
    EXPECT_EQ(shell.Close(arc), 0);
    EXPECT_EQ(shell.Close(arc), ERROR_HARC_ISNOT_OPENED);
    EXPECT_EQ(shell.FindFirst(arc, "*", nullptr), ERROR_HARC_ISNOT_OPENED);
    EXPECT_EQ(shell.FindNext(arc, nullptr), ERROR_HARC_ISNOT_OPENED);
    int local = 0;
    EXPECT_EQ(shell.Close(reinterpret_cast<HARC>(&local)), ERROR_HARC_ISNOT_OPENED);
    // Another library's handle is not this one's.
    LibraryShell other(100);
    HARC foreign = OpenNames(other, {"y"});
    EXPECT_EQ(shell.FindFirst(foreign, "*", nullptr), ERROR_HARC_ISNOT_OPENED);
    EXPECT_EQ(other.Close(foreign), 0);
}

TEST(LibraryShell, OpenGivesNullWhenTheListingFailsOrThrows) {
    LibraryShell shell(100);
    EXPECT_EQ(shell.Open([]() -> std::unique_ptr<MemberListing> { return nullptr; }), nullptr);
    EXPECT_EQ(shell.Open([]() -> std::unique_ptr<MemberListing> { throw std::bad_alloc(); }),
              nullptr);
    EXPECT_EQ(shell.Open([]() -> std::unique_ptr<MemberListing> { throw 42; }), nullptr);
}

TEST(LibraryShell, ExceptionsBecomeErrorCodesAndReleaseTheRunningFlag) {
    LibraryShell shell(100);
    char out[64];
    EXPECT_EQ(shell.Command(out, sizeof out,
                            [](Report& r) -> int {
                                r.Line("partial");
                                throw std::bad_alloc();
                            }),
              ERROR_ENOUGH_MEMORY);
    // What was reported before the failure still reaches the caller.
    EXPECT_STREQ(out, "partial\n");
    EXPECT_EQ(shell.Run([]() -> int { throw std::runtime_error("x"); }), ERROR_UNKNOWN);
    EXPECT_FALSE(shell.Running());
    EXPECT_EQ(shell.Run([] { return 7; }), 7);
    EXPECT_EQ(LibraryShell::Query<BOOL>("f", FALSE,
                                        [](const std::string&) -> BOOL { throw std::bad_alloc(); }),
              FALSE);
    EXPECT_EQ(LibraryShell::Query<int>(nullptr, -1, [](const std::string&) { return 3; }), -1);
    EXPECT_EQ(LibraryShell::Query<int>("f", -1, [](const std::string& p) { return int(p.size()); }),
              1);
}

TEST(LibraryShell, ASecondCallWhileOneRunsIsRefusedWithAReport) {
    LibraryShell shell(100);
    char inner[80] = "untouched";
    int innerRc = 0;
    BOOL runningInside = FALSE;
    int rc = shell.Command(nullptr, 0, [&](Report&) {
        runningInside = shell.Running();
        innerRc = shell.Command(inner, sizeof inner, [](Report&) { return 0; });
        EXPECT_EQ(shell.Run([] { return 0; }), ERROR_ALREADY_RUNNING);
        return 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(runningInside);
    EXPECT_EQ(innerRc, ERROR_ALREADY_RUNNING);
    EXPECT_NE(std::strstr(inner, "already running"), nullptr);
    EXPECT_FALSE(shell.Running());
}

TEST(LibraryShell, ReportIsCutToTheBufferAndTerminated) {
    LibraryShell shell(100);
    char out[6];
    std::memset(out, 'X', sizeof out);
    shell.Command(out, sizeof out, [](Report& r) {
        r.Line("0123456789");
        return 0;
    });
    EXPECT_STREQ(out, "01234");
    EXPECT_EQ(shell.Version(), 100);
}

}  // namespace
