// CAB32.DLL through its C entries, as the CAB driver calls them: cabinets
// gcab makes are listed and extracted byte for byte; what we write,
// cabextract, 7z and bsdtar read back exactly; a cabinet naming paths
// outside its folder writes nothing there.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <random>

#include "../../archive/test_folder.h"
#include "../reading/library_host.h"

namespace kt::test {
namespace {

class CabLibrary : public ::testing::Test {
protected:
    CabLibrary() : cab("CAB32.DLL", "Cab") {
        std::mt19937 rng(3);
        std::string bin(200000, '\0');
        for (char& c : bin) c = static_cast<char>(rng());
        std::string text;
        for (int i = 0; text.size() < 150000; ++i)
            text += "cabinet line " + std::to_string(i) + "\n";
        files["text.txt"] = text;
        files["sub/bin.dat"] = bin;
        files["sub/deeper/empty"] = "";
        files["名前.txt"] = "日本語の名前\n";
        for (auto& [name, data] : files) dir.Write("src/" + name, data);
    }

    void ExpectFiles(const std::string& out) {
        for (auto& [name, data] : files)
            EXPECT_EQ(ReadAll(out + "/" + name), data) << out << " " << name;
    }

    LibraryHost cab;
    TempFolder dir;
    std::map<std::string, std::string> files;
};

TEST_F(CabLibrary, ReadsWhatGcabWrites) {
    ASSERT_TRUE(cab.Loaded());
    std::string arc = dir / "g.cab";
    ASSERT_EQ(system(("cd " + Quote(dir / "src") + " && gcab -c -z " + Quote(arc) +
                      " text.txt sub/bin.dat sub/deeper/empty >/dev/null")
                         .c_str()),
              0);
    EXPECT_TRUE(cab.Check(arc, CHECKARCHIVE_FULLCRC));
    std::vector<std::string> names = cab.Names(arc);
    EXPECT_EQ(names, (std::vector<std::string>{"text.txt", "sub/bin.dat", "sub/deeper/empty"}));
    std::string report;
    ASSERT_EQ(cab.Command("-x -i \"" + arc + "\" \"" + dir / "out" + "/\"", &report), 0) << report;
    for (const char* name : {"text.txt", "sub/bin.dat", "sub/deeper/empty"})
        EXPECT_EQ(ReadAll(dir / "out/" + name), files[name]) << name;
    // -j puts every file straight into the folder.
    ASSERT_EQ(cab.Command("-x -j \"" + arc + "\" \"" + dir / "flat" + "/\" bin.dat", &report), 0)
        << report;
    EXPECT_EQ(TreeOf(dir / "flat"), std::vector<std::string>{"bin.dat"});
    std::string data;
    ASSERT_EQ(cab.ExtractMem("-i \"" + arc + "\" sub/bin.dat", &data, 300000), 0);
    EXPECT_EQ(data, files["sub/bin.dat"]);
    EXPECT_EQ(cab.ExtractMem("\"" + arc + "\" sub/bin.dat", &data, 1000), ERROR_ENOUGH_MEMORY);
}

TEST_F(CabLibrary, WhatWeWriteOtherToolsReadByteForByte) {
    ASSERT_TRUE(cab.Loaded());
    std::string src = dir / "src";
    std::string arc = dir / "ours.cab";
    std::string report;
    // As the driver packs: -r walks subfolders, names relative to the base.
    ASSERT_EQ(cab.Command("-a -i -r \"" + arc + "\" \"" + src + "/\" \"" + src + "/text.txt\" \"" +
                              src + "/sub\" \"" + src + "/名前.txt\"",
                          &report),
              0)
        << report;
    std::string viaCabextract = dir / "cabextract";
    ASSERT_EQ(system(("cabextract -q -d " + Quote(viaCabextract) + " " + Quote(arc)).c_str()), 0);
    ExpectFiles(viaCabextract);
    std::string via7z = dir / "7z";
    ASSERT_EQ(system(("7z x -y -o" + Quote(via7z) + " " + Quote(arc) + " >/dev/null").c_str()), 0);
    ExpectFiles(via7z);
    std::string viaBsdtar = dir / "bsdtar";
    std::filesystem::create_directories(viaBsdtar);
    ASSERT_EQ(system(("bsdtar -xf " + Quote(arc) + " -C " + Quote(viaBsdtar)).c_str()), 0);
    for (const char* name : {"text.txt", "sub/bin.dat"})
        EXPECT_EQ(ReadAll(viaBsdtar + "/" + name), files[name]);
    // And ourselves, listing in stored order.
    EXPECT_EQ(cab.Names(arc).size(), files.size());

    // Without -r only the files directly inside a named folder go in.
    ASSERT_EQ(cab.Command("-a \"" + dir / "shallow.cab" + "\" \"" + src + "/\" \"" + src + "/sub\"",
                          &report),
              0)
        << report;
    EXPECT_EQ(cab.Names(dir / "shallow.cab"), std::vector<std::string>{"sub/bin.dat"});
}

TEST_F(CabLibrary, ExistingFilesAreKeptUnlessAskedAndNothingLeavesTheFolder) {
    ASSERT_TRUE(cab.Loaded());
    std::string src = dir / "src";
    std::string arc = dir / "o.cab";
    std::string report;
    ASSERT_EQ(cab.Command("-a \"" + arc + "\" \"" + src + "/\" \"" + src + "/text.txt\"", &report),
              0)
        << report;
    std::string out = dir.MakeFolder("o");
    dir.Write("o/text.txt", "mine");
    EXPECT_EQ(cab.Command("-x \"" + arc + "\" \"" + out + "/\"", &report), 0) << report;
    EXPECT_NE(report.find("exists already; kept"), std::string::npos) << report;
    EXPECT_EQ(ReadAll(out + "/text.txt"), "mine");
    ASSERT_EQ(cab.Command("-x -o \"" + arc + "\" \"" + out + "/\"", &report), 0) << report;
    EXPECT_EQ(ReadAll(out + "/text.txt"), files["text.txt"]);
}

// A stored (uncompressed) cabinet built here byte by byte, so that it can
// hold names no cabinet tool would write.
std::string StoredCabinet(const std::vector<std::pair<std::string, std::string>>& members) {
    auto le = [](std::string& s, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    std::string files, data;
    uint32_t offset = 0;
    for (const auto& [name, body] : members) {
        le(files, body.size(), 4);
        le(files, offset, 4);
        le(files, 0, 2);       // folder 0
        le(files, 0x5A21, 2);  // 2025-01-01
        le(files, 0, 2);
        le(files, 0x20, 2);
        files += name + '\0';
        data += body;
        offset += body.size();
    }
    std::string blocks;
    int count = 0;
    for (std::size_t at = 0; at < data.size() || count == 0; at += 32768, ++count) {
        std::string part = data.substr(at, 32768);
        le(blocks, 0, 4);
        le(blocks, part.size(), 2);
        le(blocks, part.size(), 2);
        blocks += part;
        if (data.empty()) break;
    }
    const uint32_t header = 36, folder = 8;
    std::string cab = "MSCF";
    le(cab, 0, 4);
    le(cab, header + folder + files.size() + blocks.size(), 4);
    le(cab, 0, 4);
    le(cab, header + folder, 4);
    le(cab, 0, 4);
    cab += '\x03';
    cab += '\x01';
    le(cab, 1, 2);
    le(cab, members.size(), 2);
    le(cab, 0, 2);
    le(cab, 0, 2);
    le(cab, 0, 2);
    le(cab, header + folder + files.size(), 4);
    le(cab, count, 2);
    le(cab, 0, 2);  // stored
    return cab + files + blocks;
}

// In a stored cabinet both members share one data block, whose checksum
// is checked only at its end, after the first member was handed out: a
// byte changed in the first member's data is found while reading the
// second, and the first may not stay behind.
TEST_F(CabLibrary, DamageFoundInASharedBlockLeavesNoMemberOfIt) {
    ASSERT_TRUE(cab.Loaded());
    std::string src = dir.MakeFolder("shared");
    std::string first;
    for (int i = 0; i < 40; ++i) first += "line " + std::to_string(i) + " of the first member\n";
    dir.Write("shared/a.txt", first);
    dir.Write("shared/b.txt", "second member\n");
    std::string arc = dir / "shared.cab";
    ASSERT_EQ(system(("cd " + Quote(src) + " && gcab -c " + Quote(arc) + " a.txt b.txt").c_str()),
              0);
    std::string bytes = ReadAll(arc);
    std::size_t at = bytes.find("line 20 of");
    ASSERT_NE(std::string::npos, at);
    bytes[at] ^= 0x01;
    std::string bad = dir.Write("shared-bad.cab", bytes);
    std::string out = dir / "shared-out";
    std::string report;
    EXPECT_NE(cab.Command("-x \"" + bad + "\" \"" + out + "/\"", &report), 0) << report;
    EXPECT_FALSE(std::filesystem::exists(out + "/a.txt") && ReadAll(out + "/a.txt") != first)
        << report;
    EXPECT_FALSE(std::filesystem::exists(out + "/b.txt")) << report;
}

// The header's length of the whole cabinet is the only thing that tells a
// cabinet grown by bytes no reader sees, or one whose stated length was
// changed: either is damage, though every data block is sound.
TEST_F(CabLibrary, ALengthThatDiffersFromTheStatedOneIsDamage) {
    ASSERT_TRUE(cab.Loaded());
    const std::string sound = StoredCabinet({{"a.txt", "first"}, {"b.txt", "second"}});
    std::string path = dir.Write("sound.cab", sound);
    ASSERT_TRUE(cab.Check(path, CHECKARCHIVE_FULLCRC));
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string longer = sound + "x";
    std::string claimsMore = sound, claimsLess = sound;
    claimsMore[8] = static_cast<char>(claimsMore[8] + 1);
    claimsLess[8] = static_cast<char>(claimsLess[8] - 1);
    for (const Case& c : {Case{"a byte appended", longer}, Case{"stated one more", claimsMore},
                          Case{"stated one less", claimsLess}}) {
        SCOPED_TRACE(c.what);
        path = dir.Write("changed.cab", c.bytes);
        EXPECT_FALSE(cab.Check(path, CHECKARCHIVE_FULLCRC));
        std::string report;
        EXPECT_EQ(cab.Command("-x \"" + path + "\" \"" + dir / "l" + "/\"", &report),
                  ERROR_BROKEN_DATA)
            << report;
    }
}

TEST_F(CabLibrary, NamesLeavingTheFolderWriteNothingOutside) {
    ASSERT_TRUE(cab.Loaded());
    std::string evil = dir / "evil.cab";
    std::ofstream(evil, std::ios::binary) << StoredCabinet({{"..\\escaped.txt", "bad"},
                                                            {"sub\\..\\..\\escaped2.txt", "bad"},
                                                            {"\\rooted.txt", "rooted"},
                                                            {"good\\ok.txt", "fine"}});
    EXPECT_EQ(cab.Names(evil).size(), 4u);
    std::string target = dir.MakeFolder("t");
    std::string report;
    EXPECT_EQ(cab.Command("-x \"" + evil + "\" \"" + target + "/\"", &report), ERROR_INVALID_PATH)
        << report;
    EXPECT_FALSE(std::filesystem::exists(dir / "escaped.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "escaped2.txt"));
    EXPECT_EQ(TreeOf(target), (std::vector<std::string>{"good/", "good/ok.txt", "rooted.txt"}));
    EXPECT_EQ(ReadAll(target + "/good/ok.txt"), "fine");
}

TEST_F(CabLibrary, ACabinetClaimingMoreDataThanItHoldsFailsCleanly) {
    ASSERT_TRUE(cab.Loaded());
    std::string bytes = StoredCabinet({{"a.txt", "first"}, {"b.txt", "second"}});
    bytes[40] = '\x81';  // the folder claims 129 data blocks; it has one
    std::string path = dir / "claims.cab";
    std::ofstream(path, std::ios::binary) << bytes;
    std::string report;
    for (const char* names : {"", " b.txt"}) {
        EXPECT_NE(cab.Command("-x \"" + path + "\" \"" + dir / "c" + "/\"" + names, &report), 0)
            << report;
        EXPECT_FALSE(report.empty());
    }
    EXPECT_FALSE(cab.Check(path, CHECKARCHIVE_FULLCRC));
}

TEST_F(CabLibrary, CancelLeavesNoCabinetAndNoTemporaryFile) {
    ASSERT_TRUE(cab.Loaded());
    std::string src = dir / "src";
    std::string arc = dir / "c.cab";
    std::string report;
    {
        OwnerProbe owner(cab, 1);
        ASSERT_TRUE(owner.registered);
        EXPECT_EQ(
            cab.Command("-a -r \"" + arc + "\" \"" + src + "/\" \"" + src + "/sub\"", &report),
            ERROR_USER_CANCEL)
            << report;
    }
    EXPECT_FALSE(std::filesystem::exists(arc));
    for (const std::string& p : TreeOf(dir.Path()))
        EXPECT_EQ(p.find("c.cab"), std::string::npos) << p;
    EXPECT_EQ(cab.Command("-f \"" + arc + "\"", &report), ERROR_NOT_SUPPORT);
}

// A full disk while the cabinet is written (the first, second, ... write
// fails) fails the command, and leaves neither a cabinet nor a temporary
// file: libgcab's writes go through the same fault hook as every writer's.
TEST_F(CabLibrary, AFailingWriteFailsTheCabinetAndLeavesNothing) {
    ASSERT_TRUE(cab.Loaded());
    const std::string src = dir / "src", arc = dir / "f.cab";
    for (int n : {1, 2, 3}) {
        SCOPED_TRACE(n);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The library reads the variables on its first write, here.
            setenv("KT_FAULT_WRITE", std::to_string(n).c_str(), 1);
            std::string report;
            int rc =
                cab.Command("-a -r \"" + arc + "\" \"" + src + "/\" \"" + src + "/sub\"", &report);
            _exit(rc == ERROR_CANNOT_WRITE ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_FALSE(std::filesystem::exists(arc));
        for (const std::string& p : TreeOf(dir.Path()))
            EXPECT_EQ(p.find("f.cab"), std::string::npos) << p;
    }
    std::string report;
    ASSERT_EQ(cab.Command("-a -r \"" + arc + "\" \"" + src + "/\" \"" + src + "/sub\"", &report), 0)
        << report;
    EXPECT_TRUE(cab.Check(arc, CHECKARCHIVE_FULLCRC));
}

}  // namespace
}  // namespace kt::test
