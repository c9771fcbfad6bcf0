// The LHA driver through the recording fake installed as UNLHA32.DLL: the
// exact command lines it hands the library, the owner-window rule for -n,
// the response-file decision, CheckArchive's mode sum and the IsArchive
// probe.
#include <gtest/gtest.h>

#include "archive/lha_driver.h"
#include "driver_fixture.h"
#include "platform/message_hub.h"

namespace kt {
namespace {

using test::MessageOf;
using test::StoredOptions;

class LhaDriver : public test::DriverTest {
protected:
    LhaDriver() : DriverTest({&TLha32::ClassInfo}) {}
    void Install() { fakes.Install("UNLHA32.DLL", "Unlha"); }
    std::string Arc() const { return fakes.Path() + "/out/a.lzh"; }
    std::string Src() const { return fakes.Path() + "/in/a.txt"; }
    std::string Line() const { return LastLine("UNLHA32.DLL", "Unlha"); }
};

TEST_F(LhaDriver, PackHandsTheLibraryTheStoredOptionsLine) {
    Install();
    TLha32 lha;
    TArchiverOptions o = StoredOptions();
    ASSERT_EQ(lha.Pack(nullptr, Arc(), o, "", {Src()}, true, out), 0);
    std::string expected = "u -+ -n1 -x0  \"" + Arc() + "\" \"" + Src() + "\" ";
    EXPECT_EQ(Line(), expected);
    EXPECT_EQ(lha.CommandLine, expected);

    // After file collection p is 1; the library gets no buffer for an
    // empty Output.
    o.p = 1;
    lha.Pack(nullptr, Arc(), o, "", {Src()}, true, out);
    EXPECT_EQ(Line(), "u -+ -n1 -p1 -x0  \"" + Arc() + "\" \"" + Src() + "\" ");
    auto call = fakes.CallsOf("UNLHA32.DLL", "Unlha").back();
    EXPECT_EQ(call.arg(1), "0");  // size
    EXPECT_EQ(call.arg(2), "0");  // null buffer
}

TEST_F(LhaDriver, EverySwitchInItsPlace) {
    Install();
    TLha32 lha;
    TArchiverOptions o;
    o.a = 0, o.c = 1, o.e = 2, o.f = 3, o.h = 4, o.i = 5, o.l = 6, o.m = 7, o.n = 8, o.o = 9;
    o.p = 10, o.r = 11, o.s = 12, o.t = 13, o.u = 14, o.w = "/w", o.x = 15, o.y = 16, o.z = 17;
    o.jc = 18, o.jd = 19, o.je = 20, o.jf = 21, o.jh = 22, o.ji = 23, o.jm = 24, o.jn = 25;
    o.jo = "010101", o.job = "020202", o.jp = 26, o.jr = 27, o.jss = 28, o.jw = 29;
    o.jx = {"*.bak"}, o.jyc = 30, o.jyd = 31, o.jyk = 32, o.jyn = 33, o.jyo = 34, o.jz = "c.txt";
    o.ga = 35, o.gd = 36, o.ge = 37, o.gf = 38, o.gj = 39, o.gm = 40, o.gn = 41, o.go = 42;
    o.gp = 43, o.gr = "g", o.gs = 44, o.gu = 45, o.gw = 46;
    o.UserOptions = "-U";
    o.UserFileList = "X";
    lha.Update(nullptr, "arc", o, "base", {"file"}, false, out);
    EXPECT_EQ(Line(),
              "f -+ -a0 -c1 -e2 -f3 -h4 -i5 -l6 -m7 -n8 -o9 -p10 -r11 -s12 -t13 -u14 \"-w/w/\" "
              "-x15 -y16 -z17 -jc18 -jd19 -je20 -jf21 -jh22 -ji23 -jm24 -jn25 \"-jo010101\" "
              "\"-job020202\" -jp26 -jr27 -jss28 -jw29 \"-jx*.bak\" -jyc30 -jyd31 -jyk32 -jyn33 "
              "-jyo34 \"-jzc.txt\" -ga35 -gd36 -ge37 -gf38 -gj39 -gm40 -gn41 -go42 -gp43 \"-grg\" "
              "-gs44 -gu45 -gw46 -U \"arc\" \"base/\" \"file\" X");
}

TEST_F(LhaDriver, OwnerWindowForcesN1) {
    Install();
    TLha32 lha;
    HWND wnd = NumberToHandle(7);
    EXPECT_TRUE(lha.SetOwnerWindow(wnd, nullptr));
    EXPECT_EQ(lha.OwnerWindow, wnd);
    EXPECT_EQ(fakes.CallsOf("UNLHA32.DLL", "UnlhaSetOwnerWindowEx").at(0).arg(0), "7");
    TArchiverOptions o;
    for (int n : {-1, 0, 2}) {
        o.n = static_cast<TArchiverOptions::TSwitch>(n);
        lha.Pack(nullptr, "a.lzh", o, "", {"a.txt"}, false, out);
        EXPECT_EQ(Line(), "u -+ -n1  \"a.lzh\" \"a.txt\" ") << "n = " << n;
    }
    fakes.Configure("UNLHA32.DLL", "kill", "0");
    EXPECT_FALSE(lha.KillOwnerWindow(wnd));
    EXPECT_EQ(lha.OwnerWindow, nullptr);
    o.n = -1;
    lha.Pack(nullptr, "a.lzh", o, "", {"a.txt"}, false, out);
    EXPECT_EQ(Line(), "u -+  \"a.lzh\" \"a.txt\" ");
}

TEST_F(LhaDriver, ExclusionPatternsFollowJwOneItemEach) {
    Install();
    TLha32 lha;
    TArchiverOptions o;
    o.jw = 1;
    o.jyc = 1;
    o.jx = {"*.bak", "*.tmp"};
    lha.Pack(nullptr, "a.lzh", o, "", {"a.txt"}, false, out);
    EXPECT_EQ(Line(), "u -+ -jw1 \"-jx*.bak\" \"-jx*.tmp\" -jyc1  \"a.lzh\" \"a.txt\" ");
    o.jx.clear();
    lha.Pack(nullptr, "a.lzh", o, "", {"a.txt"}, false, out);
    EXPECT_EQ(Line(), "u -+ -jw1 -jyc1  \"a.lzh\" \"a.txt\" ");
}

TEST_F(LhaDriver, CommandWordsAndWhichOperationsNameTheFolder) {
    Install();
    TLha32 lha;
    TArchiverOptions o;
    lha.Unpack(nullptr, "a.lzh", o, "/dest", {"x.txt"}, false, out);
    EXPECT_EQ(Line(), "x -+  \"a.lzh\" \"/dest/\" \"x.txt\" ");
    lha.Update(nullptr, "a.lzh", o, "/dest", {"x.txt"}, false, out);
    EXPECT_EQ(Line(), "f -+  \"a.lzh\" \"/dest/\" \"x.txt\" ");
    lha.RemoveItem(nullptr, "a.lzh", o, "/dest", {"x.txt"}, false, out);
    EXPECT_EQ(Line(), "d -+  \"a.lzh\" \"x.txt\" ");
    lha.MakeSfx(nullptr, "a.lzh", o, "/sfx", out);
    EXPECT_EQ(Line(), "s -+  \"a.lzh\" \"/sfx/\" ");
}

TEST_F(LhaDriver, UnpackToMemoryLineBeginsWithABlankAndFillsTheBuffer) {
    Install();
    fakes.Configure("UNLHA32.DLL", "output", "hello");
    TLha32 lha;
    char buffer[16] = {};
    DWORD written = 0;
    ASSERT_EQ(lha.UnpackToMemory(nullptr, "a.lzh", StoredOptions(), "dir/a.txt", buffer,
                                 sizeof buffer, written),
              0);
    EXPECT_EQ(lha.CommandLine, " -+ -n1 -x0  \"a.lzh\" \"dir/a.txt\" ");
    EXPECT_EQ(LastLine("UNLHA32.DLL", "UnlhaExtractMem"), lha.CommandLine);
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(std::string(buffer, written), "hello");
}

TEST_F(LhaDriver, ResponseFileOnlyWhenTheOperationsMemberAndANameAreSet) {
    Install();
    TLha32 lha;
    TArchiverOptions o;
    std::string list = fakes.Path() + "/list.txt";
    o.ResFileName = list;
    o.ResFileUsage = {ruOnUnpack};
    // Pack is not a member: names on the line, whatever the caller says.
    lha.Pack(nullptr, "a.lzh", o, "", {"a.txt"}, true, out);
    EXPECT_EQ(Line(), "u -+  \"a.lzh\" \"a.txt\" ");
    // Unpack is: the response file, even though the caller says no.
    lha.Unpack(nullptr, "a.lzh", o, "", {"a.txt", "b.txt"}, false, out);
    EXPECT_EQ(Line(), "x -+  \"a.lzh\" \"@" + list + "\" ");
    auto response = fakes.CallsOf("UNLHA32.DLL", "response");
    ASSERT_EQ(response.size(), 1u);
    EXPECT_EQ(response[0].arg(1), "\"a.txt\"\r\n\"b.txt\"\r\n");
    // A member without a name: names on the line.
    o.ResFileName = UnsetString;
    lha.Unpack(nullptr, "a.lzh", o, "", {"a.txt"}, true, out);
    EXPECT_EQ(Line(), "x -+  \"a.lzh\" \"a.txt\" ");
}

TEST_F(LhaDriver, CheckArchiveAddsTheModes) {
    Install();
    TLha32 lha;
    fakes.Configure("UNLHA32.DLL", "check", "1");
    EXPECT_EQ(lha.CheckArchive("rel/a.lzh", 1, 64), 1);
    auto call = fakes.CallsOf("UNLHA32.DLL", "UnlhaCheckArchive").at(0);
    EXPECT_EQ(call.arg(0), "rel/a.lzh");  // unchanged, not made absolute
    EXPECT_EQ(call.arg(1), "65");
}

TEST_F(LhaDriver, OpenArchiveMakesThePathAbsolute) {
    Install();
    TLha32 lha;
    HARC arc = lha.OpenArchive(nullptr, "sub/../a.lzh", 5);
    ASSERT_NE(arc, nullptr);
    EXPECT_EQ(lha.FindFirst(arc, nullptr, "*.txt"), -1);
    lha.CloseArchive(arc);
    auto open = fakes.CallsOf("UNLHA32.DLL", "UnlhaOpenArchive").at(0);
    EXPECT_EQ(open.arg(0), std::filesystem::current_path().string() + "/a.lzh");
    EXPECT_EQ(open.arg(1), "5");
    EXPECT_EQ(fakes.CallsOf("UNLHA32.DLL", "UnlhaFindFirst").at(0).arg(0), "*.txt");
}

TEST_F(LhaDriver, IsArchiveChecksBeforeOpeningAndNeverRaises) {
    Install();
    std::string file = fakes.Folder().Write("a.lzh");
    fakes.Configure("UNLHA32.DLL", "check", "0");
    EXPECT_FALSE(TLha32::IsArchive(file));
    EXPECT_TRUE(fakes.CallsOf("UNLHA32.DLL", "UnlhaOpenArchive").empty());
    EXPECT_EQ(fakes.CallsOf("UNLHA32.DLL", "UnlhaCheckArchive").at(0).arg(1), "16");

    fakes.Configure("UNLHA32.DLL", "check", "1");
    EXPECT_TRUE(TLha32::IsArchive(file));
    auto open = fakes.CallsOf("UNLHA32.DLL", "UnlhaOpenArchive");
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].arg(0), file);
    EXPECT_EQ(open[0].arg(1), std::to_string(0x800002));
    EXPECT_EQ(fakes.CallsOf("UNLHA32.DLL", "UnlhaCloseArchive").size(), 1u);

    fakes.Configure("UNLHA32.DLL", "open", "0");
    EXPECT_FALSE(TLha32::IsArchive(file));
    EXPECT_EQ(fakes.CallsOf("UNLHA32.DLL", "UnlhaCloseArchive").size(), 1u);
}

TEST_F(LhaDriver, MissingLibrary) {
    EXPECT_EQ(MessageOf([] { TLha32 lha; }), "Lha 形式書庫を扱うには UNLHA32.DLL が 必要です。");
    EXPECT_FALSE(TLha32::IsArchive(fakes.Folder().Write("a.lzh")));
}

TEST_F(LhaDriver, LibraryResultComesBackUnchanged) {
    Install();
    fakes.Configure("UNLHA32.DLL", "result", std::to_string(ERROR_CANNOT_WRITE));
    fakes.Configure("UNLHA32.DLL", "output", "disk full");
    TLha32 lha;
    std::string output(64, 'z');
    EXPECT_EQ(lha.Pack(nullptr, "a.lzh", TArchiverOptions(), "", {"a.txt"}, false, output),
              ERROR_CANNOT_WRITE);
    EXPECT_STREQ(output.c_str(), "disk full");
    EXPECT_EQ(fakes.CallsOf("UNLHA32.DLL", "Unlha").back().arg(1), "64");
}

}  // namespace
}  // namespace kt
