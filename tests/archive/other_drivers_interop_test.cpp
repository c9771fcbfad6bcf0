// The CAB, RAR and BGA drivers over the real libraries of this build, with
// the command lines they write themselves: what the CAB driver packs
// cabextract reads, and every driver lists, tests and extracts what an
// independent tool (or the tests' own generators) made.
#include <gtest/gtest.h>

#include <fstream>

#include "../archivers/bga/bga_writer.h"
#include "../archivers/rar/rar_writer.h"
#include "archive/bga_driver.h"
#include "archive/cab_driver.h"
#include "archive/rar_driver.h"
#include "driver_fixture.h"

namespace kt {
namespace {

using test::Quote;
using test::ReadAll;
using test::Shell;

class OtherDriversOverRealLibraries : public test::RealLibraryTest {
protected:
    OtherDriversOverRealLibraries()
        : RealLibraryTest({&TCab32::ClassInfo, &TRar32::ClassInfo, &TBGA32::ClassInfo}) {}
    template <class Driver>
    std::vector<std::string> Names(Driver& driver, const std::string& arc) {
        std::vector<std::string> names;
        HARC h = driver.OpenArchive(nullptr, arc, 0);
        if (!h) return names;
        INDIVIDUALINFO info{};
        for (int r = driver.FindFirst(h, &info, "*"); r == 0; r = driver.FindNext(h, &info))
            names.push_back(info.szFileName);
        driver.CloseArchive(h);
        return names;
    }
    std::string text = std::string(30000, 'c') + "end\n";
};

TEST_F(OtherDriversOverRealLibraries, CabPackUnpackAndMemory) {
    std::string src = dir.Write("in/a.txt", text);
    TCab32 cab;
    TArchiverOptions o = test::StoredOptions();
    std::string arc = dir / "a.cab";
    ASSERT_EQ(cab.Pack(nullptr, arc, o, dir / "in", {src}, false, out), 0) << out.c_str();
    EXPECT_EQ(Shell("cabextract -q -p " + Quote(arc)), text);
    EXPECT_TRUE(TCab32::IsArchive(arc));
    EXPECT_FALSE(TCab32::IsArchive(src));
    EXPECT_EQ(Names(cab, arc), std::vector<std::string>{"a.txt"});
    std::string dest = dir.MakeFolder("dest");
    ASSERT_EQ(cab.Unpack(nullptr, arc, o, dest, {}, false, out), 0) << out.c_str();
    EXPECT_EQ(ReadAll(dest + "/a.txt"), text);
    test::ExpectUnpacksToMemory(cab, arc, "a.txt", text, text.size());
    EXPECT_NE(cab.CheckArchive(arc, CHECKARCHIVE_FULLCRC, 0), 0);
}

TEST_F(OtherDriversOverRealLibraries, RarUnpackAndMemory) {
    std::string arc = dir / "r.rar";
    std::ofstream(arc, std::ios::binary)
        << test::MakeRar5({{"sub", "", true}, {"sub/r.txt", text}});
    EXPECT_TRUE(TRar32::IsArchive(arc));
    TRar32 rar;
    EXPECT_EQ(Names(rar, arc), (std::vector<std::string>{"sub/", "sub/r.txt"}));
    TArchiverOptions o = test::StoredOptions();  // x = 0: "-e", no folders
    std::string dest = dir.MakeFolder("dest");
    ASSERT_EQ(rar.Unpack(nullptr, arc, o, dest, {}, false, out), 0) << out.c_str();
    EXPECT_EQ(ReadAll(dest + "/r.txt"), text);
    test::ExpectUnpacksToMemory(rar, arc, "r.txt", text, text.size());
    EXPECT_EQ(test::MessageOf([&] { rar.Pack(nullptr, arc, o, "", {"x"}, false, out); }),
              "この形式では書庫ファイルの作成をサポートしておりません。");
}

TEST_F(OtherDriversOverRealLibraries, BgaUnpackAndRefusedPack) {
    std::string arc = dir / "g.gza";
    std::ofstream(arc, std::ios::binary)
        << test::MakeBga(false, {{"sub\\", "g.txt", text, test::Framing::RawDeflate}});
    EXPECT_TRUE(TBGA32::IsArchive(arc));
    EXPECT_FALSE(TBGA32::IsArchive(dir / "missing.gza"));
    TBGA32 bga;
    EXPECT_EQ(Names(bga, arc), std::vector<std::string>{"sub/g.txt"});
    TArchiverOptions o = test::StoredOptions();
    std::string dest = dir.MakeFolder("dest");
    ASSERT_EQ(bga.Unpack(nullptr, arc, o, dest, {}, false, out), 0) << out.c_str();
    EXPECT_EQ(ReadAll(dest + "/g.txt"), text);  // -j: no folders
    std::string src = dir.Write("p.txt", "p");
    EXPECT_EQ(bga.Pack(nullptr, dir / "new.gza", o, dir.Path(), {src}, false, out),
              ERROR_NOT_SUPPORT);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.gza"));
}

}  // namespace
}  // namespace kt
