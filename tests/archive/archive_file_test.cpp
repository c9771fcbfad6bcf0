// The archive component: type from the name, content detection order, the
// Pack paths (collection, cancel, nothing found, explicit option sets,
// pfArchiver) and the progress bridge through the hidden window, all over
// the recording fake library installed as UNLHA32.DLL.
#include "archive/archive_file.h"

#include <gtest/gtest.h>

#include "driver_fixture.h"
#include "fake_library.h"
#include "platform/message_hub.h"
#include "test_driver.h"

namespace kt {
namespace {

using test::MessageOf;
using test::TTestDriver;

const char* kLib = "UNLHA32.DLL";

class ArchiveFile : public ::testing::Test {
protected:
    test::FakeProgramFolder fakes;
    std::vector<TArchiverType> created;
    TContentProbes noProbes;
    std::string cwd = std::filesystem::current_path().string();

    void SetUp() override {
        TTestDriver::ClassInfo.FreeDLL();
        fakes.Install(kLib, "Unlha");
        SetArchiverFactoryForTesting([this](TArchiverType t) -> std::unique_ptr<TArchiver> {
            created.push_back(t);
            return std::make_unique<TTestDriver>();
        });
        SetContentProbesForTesting(&noProbes);
    }
    void TearDown() override {
        SetArchiverFactoryForTesting({});
        SetContentProbesForTesting(nullptr);
        TTestDriver::ClassInfo.FreeDLL();
        std::filesystem::current_path(cwd);
    }
    TTestDriver* Driver(TArchiveFile& f) { return static_cast<TTestDriver*>(f.Archiver()); }
    std::vector<test::FakeCall> Commands() { return fakes.CallsOf(kLib, "Unlha"); }
};

TEST_F(ArchiveFile, FreshComponent) {
    TArchiveFile f;
    EXPECT_EQ(f.ArchiverType(), atAutoDetect);
    EXPECT_EQ(f.Archiver(), nullptr);
    EXPECT_TRUE(IsUnset(f.FileName()));
    EXPECT_EQ(f.CommandLine(), "");
    EXPECT_EQ(f.OutputSize(), 0);
    EXPECT_EQ(f.WindowHandle(), nullptr);
    EXPECT_EQ(f.Options(), TArchiverOptions());
    EXPECT_TRUE(created.empty());  // no driver is made for atAutoDetect
}

TEST_F(ArchiveFile, TypeFromExtension) {
    EXPECT_EQ(DetectArchiverType("/a/DATA.TAR.GZ", true), atTgz);
    EXPECT_EQ(DetectArchiverType("X.LZH", true), atLha);
    EXPECT_EQ(DetectArchiverType("x.Zip", true), atZip);
    EXPECT_EQ(DetectArchiverType("a.cab", true), atCab);
    EXPECT_EQ(DetectArchiverType("a.arj", true), atArj);
    EXPECT_EQ(DetectArchiverType("a.rar", true), atRar);
    EXPECT_EQ(DetectArchiverType("a.tar", true), atTar);
    for (const char* n : {"a.z", "a.gz", "a.TGZ", "a.taz"})
        EXPECT_EQ(DetectArchiverType(n, true), atTgz);
    EXPECT_EQ(DetectArchiverType("a.bz2", true), atBZ2);
    EXPECT_EQ(DetectArchiverType("a.gza", true), atBga);
    EXPECT_EQ(DetectArchiverType("a.BZA", true), atBga);
    EXPECT_EQ(DetectArchiverType("a.txt", true), atNone);
    EXPECT_EQ(DetectArchiverType("a.lzh/b", true), atNone);  // a dot of a folder is no extension
    EXPECT_EQ(DetectArchiverType("noext", true), atNone);
    EXPECT_EQ(DetectArchiverType("a.lzh.", true), atNone);
}

TEST_F(ArchiveFile, ExeAsksTheContentProbes) {
    TContentProbes probes;
    probes.Others[2].IsArchive = [](const std::string& n) { return n == "/s.exe"; };  // ZIP
    SetContentProbesForTesting(&probes);
    EXPECT_EQ(DetectArchiverType("/s.exe", true), atZip);
    EXPECT_EQ(DetectArchiverType("/other.EXE", true), atNone);
}

// Probes that answer from a table and count their calls.
struct ProbeScript {
    static inline TArchiverType tarAnswer = atNone;
    static inline bool yes[6] = {};
    static inline int calls[7] = {};
    template <int I>
    static bool Yes(const std::string&) {
        ++calls[I];
        return yes[I];
    }
    static TArchiverType Tar(const std::string&) {
        ++calls[6];
        return tarAnswer;
    }
    static TContentProbes Probes() {
        TContentProbes p;
        p.Tar = Tar;
        p.Others = {{{atRar, Yes<0>},
                     {atArj, Yes<1>},
                     {atZip, Yes<2>},
                     {atBga, Yes<3>},
                     {atCab, Yes<4>},
                     {atLha, Yes<5>}}};
        return p;
    }
};

TEST_F(ArchiveFile, ContentDetectionAsksEveryProbeAndTheLaterYesWins) {
    TContentProbes p = ProbeScript::Probes();
    ProbeScript::tarAnswer = atTgz;
    EXPECT_EQ(DetectArchiverTypeByContent("/f", p), atTgz);
    ProbeScript::yes[0] = true;  // RAR beats the TAR answer
    EXPECT_EQ(DetectArchiverTypeByContent("/f", p), atRar);
    ProbeScript::yes[2] = true;  // ZIP beats RAR
    EXPECT_EQ(DetectArchiverTypeByContent("/f", p), atZip);
    ProbeScript::yes[4] = true;  // CAB beats ZIP
    EXPECT_EQ(DetectArchiverTypeByContent("/f", p), atCab);
    ProbeScript::yes[5] = true;  // LHA beats everything
    EXPECT_EQ(DetectArchiverTypeByContent("/f", p), atLha);
    ProbeScript::yes[5] = false;
    ProbeScript::yes[3] = true;  // BGA between CAB and ZIP: CAB still wins
    EXPECT_EQ(DetectArchiverTypeByContent("/f", p), atCab);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(ProbeScript::calls[i], 6) << i;
    EXPECT_EQ(DetectArchiverTypeByContent("/f", TContentProbes{}), atNone);
}

TEST_F(ArchiveFile, SetFileNameSwitchesTypeOnlyForKnownExtensions) {
    TArchiveFile f;
    f.SetFileName("/a/DATA.TAR.GZ");
    EXPECT_EQ(f.ArchiverType(), atTgz);
    f.SetFileName("/a/X.LZH");
    EXPECT_EQ(f.ArchiverType(), atLha);
    TArchiver* driver = f.Archiver();
    f.SetFileName("/a/B.DAT");
    EXPECT_EQ(f.ArchiverType(), atLha);
    EXPECT_EQ(f.Archiver(), driver);
    EXPECT_EQ(f.FileName(), "/a/B.DAT");
    EXPECT_EQ(created, (std::vector<TArchiverType>{atTgz, atLha}));
    f.SetOutputSize(16);
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {fakes.Folder().Write("in.txt")}), 0);
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_NE(Commands()[0].arg(0).find("\"/a/B.DAT\""), std::string::npos);
}

TEST_F(ArchiveFile, MissingLibraryLeavesNameTypeAndDriverAlone) {
    TArchiveFile f;
    f.SetFileName("/a/X.LZH");
    TArchiver* driver = f.Archiver();
    std::filesystem::remove(fakes.Folder() / kLib);
    TTestDriver::ClassInfo.FreeDLL();
    EXPECT_EQ(MessageOf([&] { f.SetFileName("/a/Y.ZIP"); }), TTestDriver::Message);
    EXPECT_EQ(f.FileName(), "/a/X.LZH");
    EXPECT_EQ(f.ArchiverType(), atLha);
    EXPECT_EQ(f.Archiver(), driver);
}

TEST_F(ArchiveFile, SetArchiverTypeRules) {
    TArchiveFile f;
    f.SetArchiverType(atCab);
    TArchiver* first = f.Archiver();
    ASSERT_NE(first, nullptr);
    f.SetArchiverType(atCab);  // the same type still gets a new driver
    EXPECT_EQ(created.size(), 2u);
    TArchiver* second = f.Archiver();
    f.SetArchiverType(atNone);
    EXPECT_EQ(f.ArchiverType(), atCab);
    EXPECT_EQ(f.Archiver(), second);
    EXPECT_EQ(MessageOf([&] { f.SetArchiverType(atYz1); }), "書庫の形式を特定できませんでした。");
    EXPECT_EQ(MessageOf([&] { f.SetArchiverType(static_cast<TArchiverType>(40)); }),
              "書庫の形式を特定できませんでした。");
    EXPECT_EQ(f.ArchiverType(), atCab);
    f.SetArchiverType(atAutoDetect);
    EXPECT_EQ(f.ArchiverType(), atAutoDetect);
    EXPECT_EQ(f.Archiver(), second);
    f.BeginLoading();
    f.SetArchiverType(atYz1);
    f.Loaded();
    EXPECT_EQ(f.ArchiverType(), atYz1);
}

TEST_F(ArchiveFile, PackWithoutADriverRaises) {
    TArchiveFile f;
    EXPECT_EQ(MessageOf([&] { f.Pack(nullptr, nullptr, "", {std::string("/x")}); }),
              "書庫の形式を判別できません。");
    EXPECT_TRUE(created.empty());
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ArchiveFile, PackDetectsByContentWhenAutoDetect) {
    TContentProbes probes;
    probes.Others[5].IsArchive = [](const std::string&) { return true; };
    SetContentProbesForTesting(&probes);
    TArchiveFile f;
    f.SetFileName("/a/unknown.bin");  // stays atAutoDetect
    f.Pack(nullptr, nullptr, "", {fakes.Folder().Write("in")});
    EXPECT_EQ(f.ArchiverType(), atLha);
    EXPECT_EQ(Commands().size(), 1u);
}

TEST_F(ArchiveFile, OutputSize) {
    TArchiveFile f;
    f.SetOutputSize(8192);
    EXPECT_EQ(f.OutputSize(), 8192);
    EXPECT_EQ(f.Output()[0], '\0');
    EXPECT_EQ(f.OutputText(), "");
    f.SetOutputSize(0);
    EXPECT_EQ(f.OutputSize(), 0);
    f.SetOutputSize(-5);
    EXPECT_EQ(f.OutputSize(), 0);
}

TEST_F(ArchiveFile, PackCollectsSortedNamesAndHandsTheReportBack) {
    fakes.Configure(kLib, "output", "2 files");
    fakes.Configure(kLib, "result", "0");
    std::string b = fakes.Folder().Write("src/b.txt"), a = fakes.Folder().Write("src/a.txt");
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    f.SetOutputSize(64);
    f.Options().n = 1;
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {TStringList{fakes.Folder() / "src/*.txt"}}), 0);
    std::string expected =
        "u -n1 -p1  \"" + (fakes.Folder() / "out.lzh") + "\" \"" + a + "\" \"" + b + "\" ";
    EXPECT_EQ(f.CommandLine(), expected);
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0].arg(0), expected);
    EXPECT_EQ(Commands()[0].arg(1), "64");
    EXPECT_EQ(f.OutputText(), "2 files");
    EXPECT_EQ(f.Options().p, -1);  // the component's own set is not changed either
}

TEST_F(ArchiveFile, HiddenOnlyListReturnsZeroWithoutALibraryCall) {
    std::string hidden = fakes.Folder().Write(".hidden");
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    f.SetOutputSize(32);
    std::string before = f.CommandLine();
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {TStringList{hidden}}), 0);
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(f.Output()[0], '\0');
    EXPECT_EQ(f.CommandLine(), before);
}

TEST_F(ArchiveFile, EmptyFileListCollectsTheBaseFolder) {
    fakes.Folder().Write("base/one");
    fakes.Folder().Write("base/two");
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    EXPECT_EQ(f.Pack(nullptr, nullptr, fakes.Folder() / "base", {}), 0);
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_NE(Commands()[0].arg(0).find("\"" + (fakes.Folder() / "base") + "/\" \"one\" \"two\" "),
              std::string::npos)
        << Commands()[0].arg(0);
}

TEST_F(ArchiveFile, CancelOnFirstCollectedFileReturns32800WithoutALibraryCall) {
    std::string a = fakes.Folder().Write("a"), b = fakes.Folder().Write("b");
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    std::vector<std::string> seen;
    f.OnProgress = [&](TArchiveFile* sender, int state, EXTRACTINGINFOEX* eis, bool& abort) {
        EXPECT_EQ(sender, &f);
        EXPECT_EQ(state, StateFileCollected);
        seen.push_back(eis->exinfo.szSourceFileName);
        abort = true;
    };
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {TStringList{a, b}}), 32800);
    EXPECT_EQ(seen, (std::vector<std::string>{a}));
    EXPECT_TRUE(fakes.Calls(kLib).empty());  // not even the owner window was registered
    EXPECT_EQ(f.CommandLine(), "");
}

TEST_F(ArchiveFile, ExplicitOptionSetUnchangedUnderPfComponent) {
    std::string a = fakes.Folder().Write("d/a.txt");
    fakes.Folder().Write("d/s/b.txt");
    fakes.Folder().Write("d/x.bak");
    TArchiverOptions mine;
    mine.r = 1;
    mine.jo = "000101";
    mine.jx = {fakes.Folder() / "d/*.bak"};
    TArchiverOptions copy = mine;
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    EXPECT_EQ(f.Pack(nullptr, &mine, "", {TStringList{fakes.Folder() / "d/*"}}), 0);
    EXPECT_EQ(mine, copy);
    const TArchiverOptions* seen = Driver(f)->LastOptions;
    EXPECT_NE(seen, &mine);
    // What the library got: the filters done (-p1, no -r, no -jo, no -jx).
    std::string cmd = Commands().at(0).arg(0);
    EXPECT_EQ(cmd, "u -p1  \"" + (fakes.Folder() / "out.lzh") + "\" \"" + a + "\" \"" +
                       (fakes.Folder() / "d/s/b.txt") + "\" ");
}

TEST_F(ArchiveFile, PfArchiverHandsTheVerySetAndTheCallersList) {
    TArchiverOptions mine;
    mine.PackFilter = pfArchiver;
    mine.r = 1;
    mine.jx = {"*.bak"};
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    EXPECT_EQ(f.Pack(nullptr, &mine, "", {std::string("*.txt"), std::string("missing")}), 0);
    EXPECT_EQ(Driver(f)->LastOptions, &mine);
    EXPECT_EQ(Commands().at(0).arg(0), "u -r1 \"-jx*.bak\"  \"" + (fakes.Folder() / "out.lzh") +
                                           "\" \"*.txt\" \"missing\" ");
}

TEST_F(ArchiveFile, ResponseFileWhenPackUsesIt) {
    std::string a = fakes.Folder().Write("a");
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    f.Options().ResFileName = fakes.Folder() / "resp.lst";
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {a}), 0);
    auto responses = fakes.CallsOf(kLib, "response");
    ASSERT_EQ(responses.size(), 1u);
    EXPECT_EQ(responses[0].arg(1), "\"" + a + "\"\r\n");
    f.Options().ResFileUsage = {ruOnUnpack};
    fakes.ClearLog(kLib);
    f.Pack(nullptr, nullptr, "", {a});
    EXPECT_TRUE(fakes.CallsOf(kLib, "response").empty());
    EXPECT_NE(Commands().at(0).arg(0).find("\"" + a + "\""), std::string::npos);
}

TEST_F(ArchiveFile, LibraryErrorCodeComesBackUnchanged) {
    fakes.Configure(kLib, "result", "32793");
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {fakes.Folder().Write("a")}), 0x8019);
    EXPECT_FALSE(f.CommandLine().empty());
}

TEST_F(ArchiveFile, HiddenWindowGetsLibraryProgressAndANonZeroReplyStopsIt) {
    fakes.Configure(kLib, "progress", "5");
    std::string a = fakes.Folder().Write("a");
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    std::vector<std::pair<int, std::string>> seen;
    f.OnProgress = [&](TArchiveFile*, int state, EXTRACTINGINFOEX* eis, bool& abort) {
        seen.emplace_back(state, eis->exinfo.szSourceFileName);
        if (seen.size() == 3) abort = true;  // collected file, item0, then item1
    };
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {a}), ERROR_USER_CANCEL);
    ASSERT_NE(f.WindowHandle(), nullptr);
    EXPECT_TRUE(IsWindow(f.WindowHandle()));
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{{StateFileCollected, a},
                                                              {ARCEXTRACT_INPROCESS, "item0"},
                                                              {ARCEXTRACT_INPROCESS, "item1"}}));
    std::string wnd = std::to_string(HandleToNumber(f.WindowHandle()));
    auto calls = fakes.Calls(kLib);
    std::vector<std::string> order;
    for (auto& c : calls) order.push_back(c.entry + (c.entry == "progress" ? ":" + c.arg(1) : ""));
    EXPECT_EQ(order, (std::vector<std::string>{"UnlhaSetOwnerWindowEx", "Unlha", "progress:0",
                                               "progress:1", "UnlhaKillOwnerWindowEx"}));
    EXPECT_EQ(calls.front().arg(0), wnd);
    EXPECT_EQ(calls.back().arg(0), wnd);
    EXPECT_EQ(Driver(f)->OwnerWindow, nullptr);
    // The same window serves the next Pack.
    HWND first = f.WindowHandle();
    seen.clear();
    fakes.Configure(kLib, "progress", "1");
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {a}), 0);
    EXPECT_EQ(f.WindowHandle(), first);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(ArchiveFile, NoHandlerNoWindowAndNoOwnerRegistration) {
    fakes.Configure(kLib, "progress", "2");
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {fakes.Folder().Write("a")}), 0);
    EXPECT_EQ(f.WindowHandle(), nullptr);
    EXPECT_TRUE(fakes.CallsOf(kLib, "UnlhaSetOwnerWindowEx").empty());
    EXPECT_TRUE(fakes.CallsOf(kLib, "progress").empty());
}

TEST_F(ArchiveFile, HandlerExceptionStopsTheLibraryAndIsRaisedAfterItReturns) {
    fakes.Configure(kLib, "progress", "3");
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    f.OnProgress = [](TArchiveFile*, int state, EXTRACTINGINFOEX*, bool&) {
        if (state != StateFileCollected) throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(f.Pack(nullptr, nullptr, "", {fakes.Folder().Write("a")}), std::runtime_error);
    auto progress = fakes.CallsOf(kLib, "progress");
    ASSERT_EQ(progress.size(), 1u);
    EXPECT_EQ(progress[0].arg(1), "1");
    EXPECT_EQ(fakes.CallsOf(kLib, "UnlhaKillOwnerWindowEx").size(), 1u);
    EXPECT_FALSE(f.CommandLine().empty());
}

TEST_F(ArchiveFile, FailingOwnerRegistrationIsSwallowed) {
    struct TNoOwnerDriver : TTestDriver {
        bool SetOwnerWindow(HWND, ARCHIVERPROC) override { throw EArchiver("no owner"); }
        bool KillOwnerWindow(HWND) override { throw EArchiver("no owner"); }
    };
    SetArchiverFactoryForTesting([](TArchiverType) -> std::unique_ptr<TArchiver> {
        return std::make_unique<TNoOwnerDriver>();
    });
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    f.OnProgress = [](TArchiveFile*, int, EXTRACTINGINFOEX*, bool&) {};
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {fakes.Folder().Write("a")}), 0);
    EXPECT_EQ(Commands().size(), 1u);
}

TEST_F(ArchiveFile, CollectionErrorsLeavePackAndRestoreTheFolder) {
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    f.Options().job = "20011301";
    EXPECT_THROW(f.Pack(nullptr, nullptr, fakes.Folder().Path(), {}), EConvertError);
    EXPECT_THROW(f.Pack(nullptr, nullptr, fakes.Folder() / "nowhere", {}), EInOutError);
    EXPECT_EQ(std::filesystem::current_path().string(), cwd);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ArchiveFile, UncreatableResponseFileLeavesPackWithoutALibraryCall) {
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "out.lzh");
    f.Options().ResFileName = fakes.Folder() / "no/such/folder/resp";
    EXPECT_THROW(f.Pack(nullptr, nullptr, "", {fakes.Folder().Write("a")}), EFCreateError);
    EXPECT_TRUE(Commands().empty());
}

}  // namespace
}  // namespace kt
