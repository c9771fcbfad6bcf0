// kaltri --json: every line of stdout is one JSON object that the same
// library parses back, and the objects tell what happened to every file
// and member.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "kaltri_process.h"

namespace {

using namespace kaltri_test;
using nlohmann::json;

// Runs kaltri with stdout alone captured and parses each line.
std::vector<json> JsonRun(const std::string& args, int& code) {
    std::string cmd = "LC_ALL=C.UTF-8 " + kKaltri + " " + args + " 2>/dev/null </dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    int status = pclose(p);
    code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::vector<json> records;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_NO_THROW(records.push_back(json::parse(line))) << line;
    }
    return records;
}

TEST(KaltriJson, PackReportsEveryFileAndASummary) {
    Tree t;
    std::string a = t.Random("a.txt", 30000);
    std::string b = t.Make("b \"quoted\".txt", "a folder takes its archive's place");
    fs::create_directories(t.root + "/b \"quoted\".zip");
    std::string c = t.Make("c.txt", "kept");
    t.Make("c.zip", "old");
    int code = 0;
    auto records = JsonRun(
        "pack -f zip --test -j2 --overwrite none --json " + Q(a) + " " + Q(b) + " " + Q(c), code);
    EXPECT_EQ(1, code);
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ("file", records[0]["type"]);
    EXPECT_EQ(a, records[0]["source"]);
    EXPECT_EQ(t.root + "/a.zip", records[0]["archive"]);
    EXPECT_EQ("packed", records[0]["result"]);
    EXPECT_EQ(30000u, records[0]["size"].get<std::uint64_t>());
    EXPECT_EQ(fs::file_size(t.root + "/a.zip"), records[0]["packed"].get<std::uint64_t>());
    EXPECT_EQ(true, records[0]["tested"]);
    EXPECT_EQ("failed", records[1]["result"]);
    EXPECT_NE(std::string::npos, records[1]["error"].get<std::string>().find("folder named"))
        << records[1];
    EXPECT_EQ("skipped", records[2]["result"]);
    EXPECT_EQ("summary", records[3]["type"]);
    EXPECT_EQ(1, records[3]["packed"]);
    EXPECT_EQ(1, records[3]["skipped"]);
    EXPECT_EQ(1, records[3]["failed"]);
}

TEST(KaltriJson, ListGivesEveryMemberWithItsCrcAndEncryption) {
    Tree t;
    std::string pw = t.Make("pw.txt", "pw\n");
    t.Make("src/x.txt", "123456789");
    t.Make("src/日本.txt", "");
    // One member encrypted, one not, from zip itself.
    ASSERT_EQ(0, Sh("cd " + Q(t.root + "/src") +
                    " && zip -q -P pw ../m.zip x.txt && zip -q ../m.zip 日本.txt")
                     .code);
    int code = 0;
    auto records = JsonRun("list --json " + Q(t.root + "/m.zip"), code);
    EXPECT_EQ(0, code);
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ("member", records[0]["type"]);
    EXPECT_EQ("x.txt", records[0]["name"]);
    EXPECT_EQ(9u, records[0]["size"].get<std::uint64_t>());
    EXPECT_EQ(0xCBF43926u, records[0]["crc"].get<std::uint32_t>());
    EXPECT_EQ(true, records[0]["encrypted"]);
    EXPECT_EQ("日本.txt", records[1]["name"]);
    EXPECT_EQ(false, records[1]["encrypted"]);
    EXPECT_EQ("archive", records[2]["type"]);
    EXPECT_EQ(2, records[2]["members"]);
    EXPECT_EQ("ok", records[2]["result"]);

    // LZH: the method of each member.
    std::string lzh = t.Random("l.txt", 20000);
    ASSERT_EQ(0, Sh(kKaltri + " pack --method lh6 " + Q(lzh)).code);
    records = JsonRun("list --json " + Q(t.root + "/l.lzh"), code);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("-lh6-", records[0]["method"]);
    EXPECT_EQ(false, records[0]["encrypted"]);
}

TEST(KaltriJson, TestTellsSoundDamagedAndUntested) {
    Tree t;
    std::string pw = t.Make("pw.txt", "pw\n");
    std::string a = t.Random("a.txt", 40000);
    ASSERT_EQ(
        0,
        Sh(kKaltri + " pack -f zip --password-file " + Q(pw) + " --encrypt aes128 " + Q(a)).code);
    int code = 0;
    auto records =
        JsonRun("test --json --password-file " + Q(pw) + " " + Q(t.root + "/a.zip"), code);
    EXPECT_EQ(0, code);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("member", records[0]["type"]);
    EXPECT_EQ("a.txt", records[0]["name"]);
    EXPECT_EQ("AES", records[0]["method"]);
    EXPECT_EQ(true, records[0]["encrypted"]);
    EXPECT_EQ(40000u, records[0]["size"].get<std::uint64_t>());
    EXPECT_EQ("archive", records[1]["type"]);
    EXPECT_EQ("ok", records[1]["result"]);
    records = JsonRun("test --json " + Q(t.root + "/a.zip"), code);
    EXPECT_EQ(1, code);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("untested", records[1]["result"]);

    std::string zip = t.root + "/a.zip";
    std::string bytes = Read(zip);
    bytes[bytes.size() / 2] ^= 0x40;
    std::ofstream(zip, std::ios::binary) << bytes;
    records = JsonRun("test --json --password-file " + Q(pw) + " " + Q(zip), code);
    EXPECT_EQ(1, code);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ("archive", records.back()["type"]);
    EXPECT_EQ("damaged", records.back()["result"]);
    EXPECT_TRUE(records.back()["code"].is_number());
}

}  // namespace
