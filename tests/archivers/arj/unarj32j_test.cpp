// UNARJ32J.DLL as a host calls it: arj's archives at every method extract
// byte-exact with folders, times and an empty file; test and search agree;
// damaged data, garbled members and hostile names never leave a file that
// looks good, and nothing lands outside the target folder.
#include <dlfcn.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "arj_test_support.h"
#include "platform/archiver_api.h"

using namespace kt::arjtest;

namespace {

struct Unarj {
    void* lib = dlopen(KT_BIN_DIR "/UNARJ32J.DLL", RTLD_NOW | RTLD_LOCAL);
    ARC_COMMAND_PROC command = Sym<ARC_COMMAND_PROC>("Unarj");
    ARC_OPEN_ARCHIVE_PROC open = Sym<ARC_OPEN_ARCHIVE_PROC>("UnarjOpenArchive");
    ARC_CLOSE_ARCHIVE_PROC close = Sym<ARC_CLOSE_ARCHIVE_PROC>("UnarjCloseArchive");
    ARC_FIND_FIRST_PROC findFirst = Sym<ARC_FIND_FIRST_PROC>("UnarjFindFirst");
    ARC_FIND_NEXT_PROC findNext = Sym<ARC_FIND_NEXT_PROC>("UnarjFindNext");
    ARC_CHECK_ARCHIVE_PROC check = Sym<ARC_CHECK_ARCHIVE_PROC>("UnarjCheckArchive");

    template <class T>
    T Sym(const char* name) {
        return lib ? reinterpret_cast<T>(dlsym(lib, name)) : nullptr;
    }
    int Run(const std::string& line, std::string* report = nullptr) {
        std::vector<char> out(1 << 16);
        int r = command(nullptr, line.c_str(), out.data(), static_cast<DWORD>(out.size()));
        if (report) *report = out.data();
        return r;
    }
    static Unarj& Get() {
        static Unarj u;
        return u;
    }
};

std::string Q(const std::string& s) { return "\"" + s + "\""; }

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v);
    s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// One ARJ header: id, size, the basic header, its CRC-32, no extended header.
std::string Header(uint8_t type, const std::string& name, uint32_t packed, uint32_t original,
                   uint32_t crc, uint8_t flags = 0, uint8_t method = 0) {
    std::string b;
    b += static_cast<char>(30);  // first_hdr_size
    b += static_cast<char>(11);
    b += static_cast<char>(1);
    b += static_cast<char>(2);  // Unix
    b += static_cast<char>(flags);
    b += static_cast<char>(method);
    b += static_cast<char>(type);
    b += '\0';
    Put32(b, 1600000000);
    Put32(b, packed);
    Put32(b, original);
    Put32(b, crc);
    Put16(b, 0);
    Put16(b, 0644);
    Put16(b, 0);
    b += name;
    b += '\0';
    b += '\0';  // comment
    std::string h = "\x60\xEA";
    Put16(h, static_cast<uint32_t>(b.size()));
    h += b;
    Put32(h, static_cast<uint32_t>(
                 crc32(0, reinterpret_cast<const Bytef*>(b.data()), static_cast<uInt>(b.size()))));
    Put16(h, 0);
    return h;
}

// An archive of stored members, written by hand (arj itself refuses
// names such as "../x").
std::string CraftArj(const std::vector<std::pair<std::string, std::string>>& members) {
    std::string a = Header(2, "crafted.arj", 0, 0, 0);
    for (const auto& [name, data] : members) {
        uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        a += Header(0, name, static_cast<uint32_t>(data.size()), static_cast<uint32_t>(data.size()),
                    crc) +
             data;
    }
    return a + std::string("\x60\xEA\x00\x00", 4);
}

}  // namespace

TEST(Unarj32j, EveryMethodExtractsTheTreeByteExactWithTimes) {
    if (!HaveArj()) GTEST_SKIP() << "arj not installed";
    Unarj& lib = Unarj::Get();
    ASSERT_NE(lib.command, nullptr);
    SampleTree tree;
    for (int method = 0; method <= 4; ++method) {
        SCOPED_TRACE("method " + std::to_string(method));
        std::string arc = tree.Pack(method);
        ASSERT_FALSE(arc.empty());
        std::string out = tree.dir / ("out" + std::to_string(method) + "/");
        std::string report;
        ASSERT_EQ(lib.Run("x " + Q(arc) + " " + Q(out), &report), 0) << report;
        for (auto& [name, data] : tree.files) {
            EXPECT_TRUE(ReadFile(out + name) == data) << name;
            struct stat st;
            ASSERT_EQ(stat((out + name).c_str(), &st), 0) << name;
            EXPECT_NEAR(static_cast<double>(st.st_mtime), static_cast<double>(tree.mtime), 2.0)
                << name;
        }
        EXPECT_EQ(lib.Run("t " + Q(arc), &report), 0) << report;
        EXPECT_TRUE(lib.check(arc.c_str(), CHECKARCHIVE_FULLCRC));
        // e: every file into the one folder.
        std::string flat = tree.dir / ("flat" + std::to_string(method) + "/");
        ASSERT_EQ(lib.Run("e " + Q(arc) + " " + Q(flat) + " big.dat"), 0);
        EXPECT_TRUE(ReadFile(flat + "big.dat") == tree.files.at("sub/big.dat"));
        EXPECT_FALSE(fs::exists(flat + "top.txt"));
    }
}

TEST(Unarj32j, SearchListsEveryMemberWithSizesAndMethod) {
    if (!HaveArj()) GTEST_SKIP() << "arj not installed";
    Unarj& lib = Unarj::Get();
    SampleTree tree;
    std::string arc = tree.Pack(1);
    HARC h = lib.open(nullptr, arc.c_str(), 0);
    ASSERT_NE(h, nullptr);
    std::map<std::string, INDIVIDUALINFO> seen;
    INDIVIDUALINFO info{};
    for (int r = lib.findFirst(h, "*", &info); r == 0; r = lib.findNext(h, &info))
        seen[info.szFileName] = info;
    lib.close(h);
    ASSERT_EQ(seen.size(), tree.files.size());
    EXPECT_EQ(seen["sub/big.dat"].dwOriginalSize, tree.files.at("sub/big.dat").size());
    EXPECT_STREQ(seen["top.txt"].szMode, "-m1");
    EXPECT_EQ(seen["sub/empty.txt"].dwOriginalSize, 0u);
    EXPECT_EQ(lib.open(nullptr, (tree.dir / "src/top.txt").c_str(), 0), nullptr);
}

// A member whose compressed data ends before its size was produced is cut
// short, not malformed: the same code UNLHA32.DLL gives for it.
TEST(Unarj32j, ACutStreamIsAnUnexpectedEndNamedInTheReportAndNoFile) {
    if (!HaveArj()) GTEST_SKIP() << "arj not installed";
    Unarj& lib = Unarj::Get();
    SampleTree tree;
    std::string bytes = ReadFile(tree.Pack(1));
    auto u16 = [&](std::size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]) |
                                     static_cast<uint8_t>(bytes[at + 1]) << 8);
    };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    // Header at `at`: id, size, basic header, CRC-32, no extended header.
    auto after = [&](std::size_t at) { return at + 4 + u16(at + 2) + 4 + 2; };
    auto nameAt = [&](std::size_t at) {
        return std::string(bytes.c_str() + at + 4 + static_cast<uint8_t>(bytes[at + 4]));
    };
    std::size_t at = after(0);  // past the main header
    while (nameAt(at) != "sub/big.dat") {
        ASSERT_NE(u16(at + 2), 0u) << "no sub/big.dat";
        at = after(at) + u32(at + 4 + 12);
    }
    uint32_t packed = u32(at + 4 + 12), original = u32(at + 4 + 16), crc = u32(at + 4 + 20);
    uint8_t method = static_cast<uint8_t>(bytes[at + 4 + 5]);
    ASSERT_EQ(method, 1);
    std::string cut = Header(2, "cut.arj", 0, 0, 0) +
                      Header(0, "big.dat", packed / 2, original, crc, 0, method) +
                      bytes.substr(after(at), packed / 2) + std::string("\x60\xEA\x00\x00", 4);
    std::string arc = tree.dir / "cut.arj";
    WriteFile(arc, cut);
    std::string out = tree.dir / "cut/", report;
    EXPECT_EQ(lib.Run("x " + Q(arc) + " " + Q(out), &report), ERROR_UNEXPECTED_EOF) << report;
    EXPECT_NE(report.find("big.dat"), std::string::npos) << report;
    EXPECT_FALSE(fs::exists(out + "big.dat"));
}

TEST(Unarj32j, DamagedDataIsACrcErrorNamedInTheReportAndNoFile) {
    if (!HaveArj()) GTEST_SKIP() << "arj not installed";
    Unarj& lib = Unarj::Get();
    SampleTree tree;
    for (int method : {1, 4}) {
        SCOPED_TRACE("method " + std::to_string(method));
        std::string bytes = ReadFile(tree.Pack(method));
        std::size_t at = bytes.find("sub/big.dat");
        ASSERT_NE(at, std::string::npos);
        bytes[at + 200000] ^= 0x04;  // inside big.dat's data
        std::string bad = tree.dir / "bad.arj";
        WriteFile(bad, bytes);
        std::string out = tree.dir / ("bad" + std::to_string(method) + "/"), report;
        int rc = lib.Run("x " + Q(bad) + " " + Q(out), &report);
        EXPECT_TRUE(rc == ERROR_FILE_CRC || rc == ERROR_BROKEN_DATA) << rc << report;
        EXPECT_NE(report.find("sub/big.dat"), std::string::npos) << report;
        EXPECT_FALSE(fs::exists(out + "sub/big.dat"));
        EXPECT_TRUE(ReadFile(out + "top.txt") ==
                    tree.files.at("top.txt"));  // the others still extract
        EXPECT_NE(lib.Run("t " + Q(bad)), 0);
        EXPECT_FALSE(lib.check(bad.c_str(), CHECKARCHIVE_FULLCRC));
    }
}

TEST(Unarj32j, GarbledMembersAreAPasswordErrorNeverData) {
    if (!HaveArj()) GTEST_SKIP() << "arj not installed";
    Unarj& lib = Unarj::Get();
    SampleTree tree;
    std::string arc = tree.Pack(1, "-gsecret");
    ASSERT_FALSE(arc.empty());
    std::string out = tree.dir / "g/", report;
    EXPECT_EQ(lib.Run("x " + Q(arc) + " " + Q(out), &report), ERROR_PASSWORD_FILE);
    EXPECT_NE(report.find("garbled"), std::string::npos) << report;
    for (auto& [name, data] : tree.files) EXPECT_FALSE(fs::exists(out + name)) << name;
}

TEST(Unarj32j, HostileNamesNeverWriteOutsideTheFolder) {
    Unarj& lib = Unarj::Get();
    ScratchDir dir;
    WriteFile(dir / "hostile.arj", CraftArj({{"../escape.txt", "x"},
                                             {"/abs.txt", "abs"},
                                             {"ok/inner.txt", "inner"},
                                             {"a/../../up.txt", "up"},
                                             {"link/planted.txt", "planted"}}));
    fs::create_directories(dir / "out");
    fs::create_directory_symlink(dir / "elsewhere", dir / "out/link");
    fs::create_directories(dir / "elsewhere");
    std::string report;
    EXPECT_NE(lib.Run("x " + Q(dir / "hostile.arj") + " " + Q(dir / "out/"), &report), 0);
    EXPECT_FALSE(fs::exists(dir / "escape.txt"));
    EXPECT_FALSE(fs::exists(dir / "up.txt"));
    EXPECT_FALSE(fs::exists(dir / "elsewhere/planted.txt"));
    EXPECT_EQ(ReadFile(dir / "out/abs.txt"), "abs");
    EXPECT_EQ(ReadFile(dir / "out/ok/inner.txt"), "inner");
}

TEST(Unarj32j, BadCommandsAndMissingArchivesAreReported) {
    Unarj& lib = Unarj::Get();
    ScratchDir dir;
    std::string report;
    EXPECT_EQ(lib.Run("q " + Q(dir / "a.arj"), &report), ERROR_COMMAND_NAME);
    EXPECT_EQ(lib.Run("x " + Q(dir / "missing.arj") + " " + Q(dir / "o/"), &report),
              ERROR_NOT_FIND_ARC_FILE);
    WriteFile(dir / "not.arj", "plain text, no archive here");
    EXPECT_EQ(lib.Run("x " + Q(dir / "not.arj") + " " + Q(dir / "o/"), &report),
              ERROR_NOT_ARC_FILE);
    EXPECT_FALSE(lib.check((dir / "not.arj").c_str(), 0));
}

TEST(Unarj32j, KaltriTestNamesTheDamagedMemberAndTheReason) {
    if (!HaveArj()) GTEST_SKIP() << "arj not installed";
    SampleTree tree;
    std::string bytes = ReadFile(tree.Pack(4));
    bytes[bytes.find("top.txt") + 3000] ^= 0x02;
    WriteFile(tree.dir / "bad.arj", bytes);
    std::string out = tree.dir / "report";
    int status = std::system(
        ("'" KT_BIN_DIR "/kaltri' test '" + tree.dir / "bad.arj" + "' >'" + out + "' 2>&1")
            .c_str());
    EXPECT_NE(status, 0);
    std::string report = ReadFile(out);
    EXPECT_NE(report.find("top.txt"), std::string::npos) << report;
    EXPECT_TRUE(report.find("CRC") != std::string::npos ||
                report.find("broken") != std::string::npos)
        << report;
    EXPECT_EQ(std::system(
                  ("'" KT_BIN_DIR "/kaltri' test '" + tree.Pack(1) + "' >/dev/null 2>&1").c_str()),
              0);
}
