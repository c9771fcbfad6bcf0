// Archives that declare more than the disk can hold (the shape of a zip
// bomb) are refused before anything is written; --no-space-check lifts the
// limit, and then the decoders' own stop at the declared size still leaves
// nothing half-written behind.
#include <gtest/gtest.h>

#include "kaltri_process.h"
#include "tests/archivers/common/crafted_archives.h"

namespace {

using namespace kaltri_test;
using namespace kt::test::craft;

std::string Le64(uint64_t v) {
    std::string s;
    Le(s, v, 8);
    return s;
}

TEST(KaltriSpaceCheck, AnArchiveDeclaringMoreThanTheFreeSpaceIsRefusedBeforeWriting) {
    Tree t;
    // LZH: one member of an exbibyte, by its 64-bit size header.
    t.Make("big.lzh",
           LzhArchive(
               {Lzh2({{0x01, "a.txt"}}, "tiny"),
                Lzh2({{0x01, "huge.bin"}, {0x42, Le64(4) + Le64(uint64_t{1} << 60)}}, "tiny")}));
    // ZIP: a thousand members that each claim four gibibytes.
    std::vector<ZipMember> members = {{"a.txt", "tiny"}};
    for (int i = 0; i < 1000; ++i) {
        ZipMember m{"m" + std::to_string(i) + ".bin", "tiny"};
        m.declaredSize = 0xFFFFFFF0u;
        members.push_back(m);
    }
    t.Make("big.zip", Zip(members));
    for (const char* archive : {"big.lzh", "big.zip"}) {
        const std::string out = t.root + "/out-" + archive;
        Result r = Sh(kKaltri + " extract " + Q(t.root + "/" + archive) + " -o " + Q(out));
        EXPECT_EQ(1, r.code) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("not enough free space")) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("--no-space-check")) << r.out;
        EXPECT_FALSE(fs::exists(out)) << archive << ": written before the check";

        // Lifted: the small member comes out; the lying ones fail, whole or
        // not at all.
        r = Sh(kKaltri + " extract --no-space-check " + Q(t.root + "/" + archive) + " -o " +
               Q(out));
        EXPECT_EQ(1, r.code) << r.out;
        EXPECT_EQ("tiny", Read(out + "/a.txt")) << archive << "\n" << r.out;
        for (const auto& e : fs::directory_iterator(out)) {
            EXPECT_EQ("a.txt", e.path().filename().string()) << archive << ": left " << e.path();
        }
    }
}

}  // namespace
