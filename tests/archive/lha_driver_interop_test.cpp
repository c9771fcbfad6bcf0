// The LHA driver over the real UNLHA32.DLL of this build: what it packs
// with the stored option set, lhasa extracts byte for byte; what lhasa
// cannot tell apart from an archive, the probe must not call one.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "archive/lha_driver.h"
#include "driver_fixture.h"

namespace kt {
namespace {

using test::Quote;
using test::ReadAll;
using test::Shell;

class LhaDriverOverRealLibrary : public test::RealLibraryTest {
protected:
    LhaDriverOverRealLibrary() : RealLibraryTest({&TLha32::ClassInfo}) {}
};

TEST_F(LhaDriverOverRealLibrary, PackedArchiveReadsBackEverywhere) {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i) + " [x]\n";
    std::string src = dir.Write("in [1]/a.txt", text);
    std::string arc = dir / "out/a.lzh";
    std::filesystem::create_directories(dir / "out");
    TLha32 lha;
    TArchiverOptions o = test::StoredOptions();
    o.p = 1;
    ASSERT_EQ(lha.Pack(nullptr, arc, o, "", {src}, true, out), 0) << out.c_str();
    EXPECT_EQ(Shell("lhasa pq " + Quote(arc) + " a.txt"), text);

    EXPECT_TRUE(TLha32::IsArchive(arc));
    EXPECT_FALSE(TLha32::IsArchive(src));
    EXPECT_NE(lha.CheckArchive(arc, CHECKARCHIVE_BASIC, 0), 0);

    std::string dest = dir.MakeFolder("dest");
    ASSERT_EQ(lha.Unpack(nullptr, arc, o, dest, {"a.txt"}, true, out), 0) << out.c_str();
    EXPECT_EQ(ReadAll(dest + "/a.txt"), text);

    test::ExpectUnpacksToMemory(lha, arc, "a.txt", text, text.size() + 16);
}

}  // namespace
}  // namespace kt
