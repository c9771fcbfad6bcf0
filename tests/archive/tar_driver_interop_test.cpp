// The TAR family over the real tar32.dll of this build: the driver's own
// command lines pack archives GNU tar reads, unpack what GNU tar wrote,
// extract to memory, and the probe maps the library's kinds to the classes.
#include <gtest/gtest.h>

#include "archive/tar_driver.h"
#include "driver_fixture.h"

namespace kt {
namespace {

using test::Quote;
using test::ReadAll;
using test::Shell;

class TarDriverOverRealLibrary : public test::RealLibraryTest {
protected:
    TarDriverOverRealLibrary() : RealLibraryTest({&TTar32::ClassInfo}) {}
};

TEST_F(TarDriverOverRealLibrary, PackUnpackAndProbeThroughTheDriver) {
    std::string text;
    for (int i = 0; i < 4000; ++i) text += "row " + std::to_string(i) + "\n";
    std::string src = dir.Write("in/a b.txt", text);
    TArchiverOptions o = test::StoredOptions();
    o.x = 1;
    TTgz32 tgz;
    std::string arc = dir / "a b.tgz";
    ASSERT_EQ(tgz.Pack(nullptr, arc, o, dir / "in", {src}, false, out), 0) << out.c_str();
    EXPECT_EQ(Shell("tar -xzOf " + Quote(arc) + " 'a b.txt'"), text);
    EXPECT_EQ(TTar32::ArchiveTypeOf(arc), atTgz);
    EXPECT_NE(tgz.CheckArchive(arc, CHECKARCHIVE_FULLCRC, 0), 0);

    std::string dest = dir.MakeFolder("dest");
    ASSERT_EQ(tgz.Unpack(nullptr, arc, o, dest, {}, false, out), 0) << out.c_str();
    EXPECT_EQ(ReadAll(dest + "/a b.txt"), text);

    test::ExpectUnpacksToMemory(tgz, arc, "a b.txt", text, text.size());

    std::string bz = dir / "g.tar.bz2";
    ASSERT_EQ(system(("tar -C " + Quote(dir / "in") + " -cjf " + Quote(bz) + " .").c_str()), 0);
    EXPECT_EQ(TTar32::ArchiveTypeOf(bz), atBZ2);
    TBZ232 bz2;
    HARC arc2 = bz2.OpenArchive(nullptr, bz, 0);
    ASSERT_NE(arc2, nullptr);
    INDIVIDUALINFO info{};
    std::vector<std::string> names;
    for (int r = bz2.FindFirst(arc2, &info, "*"); r == 0; r = bz2.FindNext(arc2, &info))
        names.push_back(info.szFileName);
    bz2.CloseArchive(arc2);
    EXPECT_EQ(names, (std::vector<std::string>{"./", "./a b.txt"}));
    EXPECT_EQ(TTar32::ArchiveTypeOf(src), atNone);
}

}  // namespace
}  // namespace kt
