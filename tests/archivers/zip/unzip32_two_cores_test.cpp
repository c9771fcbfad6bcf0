// UNZIP32.DLL on archives big enough for its second core: several large
// members (a helper thread decodes the later ones) and large bzip2 members
// (their blocks are shared out), made by 7z and zip. Names with spaces and
// non-ASCII characters, members of one new folder decoded by both threads,
// a damaged later block, and a file in the way of a member the helper took
// must all come out exactly as they do on one core.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>

#include "platform/message_hub.h"
#include "zip_test_support.h"

namespace kt::ziptest {
namespace {

struct LargeMembers {
    TempDir d;
    // In the order the tools are given them, so the damaged member is known.
    std::vector<std::pair<std::string, std::string>> files = {
        {"big text é.txt", Letters(3'200'000, 21)},
        {"sub dir/second part.txt", Letters(2'600'000, 22)},
        {"sub dir/日本語 noise.dat", RandomBytes(1'500'000, 23)},
        {"sub dir/small.txt", SampleText(5000, 24)},
        {"sub dir/third part.txt", Letters(2'200'000, 25)},
        {"empty.txt", ""},
    };
    LargeMembers() {
        for (auto& [name, data] : files) WriteFile(d / ("src/" + name), data);
    }
    std::vector<std::string> Tool(std::vector<std::string> cmd) const {
        for (auto& [name, data] : files) cmd.push_back(name);
        return cmd;
    }
    std::string Make(const std::string& tag, std::vector<std::string> cmd) const {
        const std::string archive = d / (tag + ".zip");
        cmd.push_back(archive);
        EXPECT_EQ(RunTool(Tool(cmd), d / "src"), 0) << tag;
        return archive;
    }
    void ExpectAll(const std::string& out, const std::string& except = "") const {
        for (auto& [name, data] : files) {
            if (name == except) continue;
            EXPECT_TRUE(ReadFile(out + "/" + name) == data) << name;
        }
    }
};

bool ToolsThere() { return RunTool({"7z"}) >= 0 && RunTool({"zip", "-v"}) >= 0; }

TEST(Unzip32TwoCores, LargeMembersOfEveryPeerExtractAndTestByteExact) {
    if (!ToolsThere()) GTEST_SKIP() << "7z or zip not installed";
    LargeMembers m;
    const std::map<std::string, std::vector<std::string>> makers = {
        {"7z-bzip2", {"7z", "a", "-tzip", "-m0=BZip2"}},
        {"zip-bzip2", {"zip", "-q", "-Z", "bzip2"}},
        {"7z-lzma", {"7z", "a", "-tzip", "-m0=LZMA"}},
    };
    for (const auto& [tag, cmd] : makers) {
        SCOPED_TRACE(tag);
        const std::string archive = m.Make(tag, cmd);
        const std::string out = m.d / ("out-" + tag);
        std::string report;
        ASSERT_EQ(Libs().RunUnZip("-x -o " + Q(archive) + " " + Q(out + "/"), &report), 0)
            << report;
        m.ExpectAll(out);
        // Report lines keep the members' order whichever thread decoded them.
        size_t first = report.find("big text é.txt"), last = report.find("third part.txt");
        EXPECT_NE(first, std::string::npos) << report;
        EXPECT_LT(first, last) << report;
        EXPECT_EQ(Libs().RunUnZip("-t " + Q(archive), &report), 0) << report;
        // Again over the files now there: every one is replaced.
        ASSERT_EQ(Libs().RunUnZip("-x -o " + Q(archive) + " " + Q(out + "/"), &report), 0)
            << report;
        m.ExpectAll(out);
    }
}

TEST(Unzip32TwoCores, ADamagedLaterBlockFailsThatMemberOnly) {
    if (!ToolsThere()) GTEST_SKIP() << "7z or zip not installed";
    LargeMembers m;
    std::string bytes = ReadFile(m.Make("zip-bzip2", {"zip", "-q", "-Z", "bzip2"}));
    // Three quarters into the first member's packed data, several blocks in.
    const size_t start = bytes.find("big text é.txt") + std::string("big text é.txt").size();
    const size_t next = bytes.find("PK\x03\x04", start);
    ASSERT_NE(next, std::string::npos);
    bytes[start + (next - start) * 3 / 4] ^= 0x08;
    WriteFile(m.d / "bad.zip", bytes);
    const std::string out = m.d / "out-bad";
    std::string report;
    const int rc = Libs().RunUnZip("-x -o " + Q(m.d / "bad.zip") + " " + Q(out + "/"), &report);
    EXPECT_TRUE(rc == ERROR_BROKEN_DATA || rc == ERROR_FILE_CRC) << rc << "\n" << report;
    EXPECT_NE(report.find("big text é.txt: "), std::string::npos) << report;
    EXPECT_FALSE(Exists(out + "/big text é.txt"));
    m.ExpectAll(out, "big text é.txt");
    EXPECT_EQ(Libs().RunUnZip("-t " + Q(m.d / "bad.zip"), &report), rc);
    EXPECT_NE(report.find("testing: big text é.txt  "), std::string::npos) << report;
}

TEST(Unzip32TwoCores, AFileInTheWayOfALaterMemberIsKeptOrSkippedAsOnOneCore) {
    if (!ToolsThere()) GTEST_SKIP() << "7z or zip not installed";
    LargeMembers m;
    const std::string archive = m.Make("7z-bzip2", {"7z", "a", "-tzip", "-m0=BZip2"});
    const std::string out = m.d / "out";
    WriteFile(out + "/sub dir/third part.txt", "mine");
    std::string report;
    EXPECT_EQ(Libs().RunUnZip("-x " + Q(archive) + " " + Q(out + "/"), &report),
              ERROR_ALREADY_EXIST);
    EXPECT_NE(report.find("skipped: sub dir/third part.txt exists (no -o)"), std::string::npos)
        << report;
    EXPECT_EQ(ReadFile(out + "/sub dir/third part.txt"), "mine");
    m.ExpectAll(out, "sub dir/third part.txt");
    EXPECT_EQ(Libs().RunUnZip("-x -n " + Q(archive) + " " + Q(out + "/"), &report), 0) << report;
    EXPECT_NE(report.find("kept: sub dir/third part.txt exists (-n)"), std::string::npos) << report;
    EXPECT_EQ(ReadFile(out + "/sub dir/third part.txt"), "mine");
    // No unfinished file of the helper's is left beside it.
    size_t entries = 0;
    for (auto& e : std::filesystem::directory_iterator(out + "/sub dir")) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 4u);
}

// Records every progress message; stops the command at the BEGIN of the
// member named `stopAt`.
struct Watcher {
    std::vector<std::pair<WPARAM, std::string>> seen;
    std::string stopAt;
    static LRESULT Proc(HWND, UINT msg, WPARAM state, LPARAM lp, void* user) {
        if (msg != RegisterWindowMessage(WM_ARCEXTRACT_NAME)) return 0;
        auto& w = *static_cast<Watcher*>(user);
        std::string name =
            lp ? reinterpret_cast<EXTRACTINGINFOEX*>(lp)->exinfo.szSourceFileName : "";
        w.seen.emplace_back(state, name);
        return state == ARCEXTRACT_BEGIN && !w.stopAt.empty() && name == w.stopAt;
    }
};

TEST(Unzip32TwoCores, ProgressKeepsTheMembersOrderAndACancelTakesEverythingBack) {
    if (!ToolsThere()) GTEST_SKIP() << "7z or zip not installed";
    LargeMembers m;
    const std::string archive = m.Make("7z-bzip2", {"7z", "a", "-tzip", "-m0=BZip2"});
    Watcher w;
    HWND wnd = CreateMessageWindow(&Watcher::Proc, &w);
    ASSERT_TRUE(Libs().SetOwnerWindowEx(wnd, nullptr));
    const std::string out = m.d / "out";
    ASSERT_EQ(Libs().RunUnZip("-x -o " + Q(archive) + " " + Q(out + "/")), 0);
    m.ExpectAll(out);
    // Every member begins once, and each large one reports its bytes
    // between its own BEGIN and the next, whichever thread decoded it.
    std::vector<std::string> begun;
    std::map<std::string, int> steps;
    for (auto& [state, name] : w.seen) {
        if (state == ARCEXTRACT_BEGIN) begun.push_back(name);
        if (state == ARCEXTRACT_INPROCESS) {
            ASSERT_FALSE(begun.empty());
            EXPECT_EQ(name, begun.back());
            ++steps[name];
        }
    }
    std::vector<std::string> listed;
    for (auto& [name, data] : m.files) listed.push_back(name);
    std::vector<std::string> sortedBegun = begun, sortedListed = listed;
    std::sort(sortedBegun.begin(), sortedBegun.end());
    std::sort(sortedListed.begin(), sortedListed.end());
    EXPECT_EQ(sortedBegun, sortedListed);
    for (auto& [name, data] : m.files) {
        if (data.size() >= (1u << 20)) {
            EXPECT_GE(steps[name], 1) << name;
        }
    }

    // Stopped at the last member: what this command made goes again, and no
    // unfinished file of either thread is left.
    const std::string out2 = m.d / "out2";
    w.seen.clear();
    w.stopAt = begun.back();
    EXPECT_EQ(Libs().RunUnZip("-x -o " + Q(archive) + " " + Q(out2 + "/")), ERROR_USER_CANCEL);
    EXPECT_TRUE(Libs().KillOwnerWindowEx(wnd));
    DestroyMessageWindow(wnd);
    for (auto& e : std::filesystem::recursive_directory_iterator(out2))
        EXPECT_TRUE(e.is_directory()) << e.path();
}

}  // namespace
}  // namespace kt::ziptest
