// The command language through the exported Unlha entry, called exactly as
// a host calls it: packing with the driver's line, updating, freshening,
// deleting, listing, testing, cancelling, and extraction that stays inside
// its folder.
#include "platform/message_hub.h"
#include "unlha32_support.h"

using namespace kt::test;

namespace {

class UnlhaCommand : public ::testing::Test {
protected:
    void SetUp() override {
        lib = &Unlha32::Get();
        ASSERT_NE(lib->command, nullptr) << dlerror();
    }
    // The driver's exact line for packing one file.
    int DriverPack(const std::string& arc, const std::string& file, std::string* report = nullptr) {
        return lib->Run("u -+ -n1 -p1 -x0  " + ArgQuote(arc) + " " + ArgQuote(file) + " ", report);
    }
    std::vector<std::string> Names(const std::string& arc) {
        std::vector<std::string> names;
        HARC h = lib->open(nullptr, arc.c_str(), 0);
        if (!h) return names;
        INDIVIDUALINFO info;
        for (int r = lib->findFirst(h, "*", &info); r == 0; r = lib->findNext(h, &info)) {
            names.push_back(info.szFileName);
        }
        lib->close(h);
        return names;
    }
    Unlha32* lib = nullptr;
    ScratchDir dir;
};

}  // namespace

TEST_F(UnlhaCommand, DriverLinePacksOneFileThatExtractsByteExact) {
    std::string text = SampleText(200000, 1);
    WriteFile(dir / "a.txt", text);
    std::string report;
    ASSERT_EQ(DriverPack(dir / "a.lzh", dir / "a.txt", &report), 0) << report;
    EXPECT_NE(report.find("a.txt"), std::string::npos);
    EXPECT_EQ(Names(dir / "a.lzh"), std::vector<std::string>{"a.txt"});  // -x0: no folder stored
    EXPECT_LT(fs::file_size(dir / "a.lzh"), text.size() / 2);
    ASSERT_EQ(lib->Run("x " + ArgQuote(dir / "a.lzh") + " " + ArgQuote(dir / "out/")), 0);
    EXPECT_EQ(ReadFile(dir / "out/a.txt"), text);
    EXPECT_TRUE(lib->check((dir / "a.lzh").c_str(), CHECKARCHIVE_ALL));
    EXPECT_EQ(lib->fileCount((dir / "a.lzh").c_str()), 1);
    // No work file is left beside the archive.
    int entries = 0;
    for (auto& e : fs::directory_iterator(dir.path))
        entries += e.path().filename().string()[0] == '.';
    EXPECT_EQ(entries, 0);
}

TEST_F(UnlhaCommand, UpdateAddsNewAndNewerFilesOnly) {
    WriteFile(dir / "a.txt", "first version of a");
    WriteFile(dir / "b.txt", "b");
    SetMtime(dir / "a.txt", 1600000000);
    ASSERT_EQ(DriverPack(dir / "x.lzh", dir / "a.txt"), 0);
    std::string before = ReadFile(dir / "x.lzh");
    // Same file again: nothing newer, the archive stays as it was.
    ASSERT_EQ(DriverPack(dir / "x.lzh", dir / "a.txt"), 0);
    EXPECT_EQ(ReadFile(dir / "x.lzh"), before);
    ASSERT_EQ(DriverPack(dir / "x.lzh", dir / "b.txt"), 0);
    EXPECT_EQ(Names(dir / "x.lzh"), (std::vector<std::string>{"a.txt", "b.txt"}));
    WriteFile(dir / "a.txt", "second version of a, longer");
    SetMtime(dir / "a.txt", 1700000000);
    ASSERT_EQ(DriverPack(dir / "x.lzh", dir / "a.txt"), 0);
    ASSERT_EQ(lib->Run("e " + ArgQuote(dir / "x.lzh") + " " + ArgQuote(dir / "o/")), 0);
    EXPECT_EQ(ReadFile(dir / "o/a.txt"), "second version of a, longer");
    EXPECT_EQ(ReadFile(dir / "o/b.txt"), "b");
    EXPECT_EQ(fs::last_write_time(dir / "o/a.txt"), fs::last_write_time(dir / "a.txt"));
}

TEST_F(UnlhaCommand, FreshenReplacesOnlyMembersThatExist) {
    WriteFile(dir / "a.txt", "old a");
    SetMtime(dir / "a.txt", 1600000000);
    ASSERT_EQ(lib->Run("a " + ArgQuote(dir / "f.lzh") + " " + ArgQuote(dir / "a.txt")), 0);
    WriteFile(dir / "a.txt", "new a");
    WriteFile(dir / "c.txt", "c");
    ASSERT_EQ(lib->Run("f " + ArgQuote(dir / "f.lzh") + " " + ArgQuote(dir / "a.txt") + " " +
                       ArgQuote(dir / "c.txt")),
              0);
    EXPECT_EQ(Names(dir / "f.lzh"), std::vector<std::string>{"a.txt"});
    std::vector<char> buf(64);
    DWORD written = 0;
    ASSERT_EQ(lib->extractMem(nullptr, (" " + ArgQuote(dir / "f.lzh") + " a.txt").c_str(),
                              reinterpret_cast<LPBYTE>(buf.data()), 64, nullptr, nullptr, &written),
              0);
    EXPECT_EQ(std::string(buf.data(), written), "new a");
}

TEST_F(UnlhaCommand, DeleteRemovesMatchingMembersAndKeepsTheRest) {
    std::string bin = SampleBinary(100000, 2);
    WriteFile(dir / "keep.bin", bin);
    WriteFile(dir / "drop1.tmp", "x");
    WriteFile(dir / "drop2.tmp", "y");
    ASSERT_EQ(lib->Run("a " + ArgQuote(dir / "d.lzh") + " " + ArgQuote(dir / "keep.bin") + " " +
                       ArgQuote(dir / "drop1.tmp") + " " + ArgQuote(dir / "drop2.tmp")),
              0);
    std::string report;
    ASSERT_EQ(lib->Run("d " + ArgQuote(dir / "d.lzh") + " *.tmp", &report), 0) << report;
    EXPECT_EQ(Names(dir / "d.lzh"), std::vector<std::string>{"keep.bin"});
    ASSERT_EQ(lib->Run("t " + ArgQuote(dir / "d.lzh")), 0);
    ASSERT_EQ(lib->Run("x " + ArgQuote(dir / "d.lzh") + " " + ArgQuote(dir / "o/")), 0);
    EXPECT_EQ(ReadFile(dir / "o/keep.bin"), bin);
    // Deleting with no names would empty the archive: refused.
    EXPECT_EQ(lib->Run("d " + ArgQuote(dir / "d.lzh")), ERROR_NOT_FILENAME);
}

TEST_F(UnlhaCommand, ListShowsEveryMemberWithMethodAndSize) {
    WriteFile(dir / "a.txt", SampleText(50000, 3));
    WriteFile(dir / "e.txt", "");
    ASSERT_EQ(lib->Run("a " + ArgQuote(dir / "l.lzh") + " " + ArgQuote(dir / "a.txt") + " " +
                       ArgQuote(dir / "e.txt")),
              0);
    std::string report;
    ASSERT_EQ(lib->Run("l " + ArgQuote(dir / "l.lzh"), &report), 0);
    EXPECT_NE(report.find("-lh7- a.txt"), std::string::npos) << report;
    EXPECT_NE(report.find("-lh0- e.txt"), std::string::npos) << report;  // empty files are stored
    EXPECT_NE(report.find("     50000"), std::string::npos) << report;
    EXPECT_NE(report.find("2 file(s)"), std::string::npos) << report;
    ASSERT_EQ(lib->Run("v " + ArgQuote(dir / "l.lzh"), &report), 0);
    EXPECT_NE(report.find(" U  2 a.txt"), std::string::npos) << report;
}

TEST_F(UnlhaCommand, CorruptedDataFailsTheTestAndExtractsNothing) {
    std::string text = SampleText(100000, 4);
    WriteFile(dir / "a.txt", text);
    ASSERT_EQ(lib->Run("a -z " + ArgQuote(dir / "s.lzh") + " " + ArgQuote(dir / "a.txt")), 0);
    ASSERT_EQ(lib->Run("a " + ArgQuote(dir / "c.lzh") + " " + ArgQuote(dir / "a.txt")), 0);
    for (const char* name : {"s.lzh", "c.lzh"}) {
        std::string bytes = ReadFile(dir / name);
        bytes[bytes.size() / 2] ^= 0x55;
        WriteFile(dir / name, bytes);
        std::string report;
        int r = lib->Run("t " + ArgQuote(dir / name), &report);
        // A flipped byte may also make the decoder run past the packed size.
        EXPECT_TRUE(r == ERROR_FILE_CRC || r == ERROR_BROKEN_DATA || r == ERROR_UNEXPECTED_EOF)
            << name << " " << std::hex << r;
        EXPECT_EQ(report.find("OK a.txt"), std::string::npos) << report;
        fs::remove_all(dir / "o");
        r = lib->Run("x " + ArgQuote(dir / name) + " " + ArgQuote(dir / "o/"));
        EXPECT_NE(r, 0);
        EXPECT_FALSE(fs::exists(dir / "o/a.txt")) << name;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "o"), fs::directory_iterator()), 0);
    }
}

// A cut anywhere is damage, at a member boundary too (the end mark is
// gone), and so is a first block whose code count was raised: the output and
// its CRC stay the same, only the count disagrees with where the data ends.
TEST_F(UnlhaCommand, EveryCutPointAndARaisedBlockCountFailTheTest) {
    WriteFile(dir / "a.txt", SampleText(2000, 7));
    WriteFile(dir / "b.txt", "second member\n");
    ASSERT_EQ(lib->Run("a -h2 -o7 " + ArgQuote(dir / "w.lzh") + " " + ArgQuote(dir / "a.txt") +
                       " " + ArgQuote(dir / "b.txt")),
              0);
    const std::string whole = ReadFile(dir / "w.lzh");
    ASSERT_EQ(lib->Run("t " + ArgQuote(dir / "w.lzh")), 0);
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
        WriteFile(dir / "v.lzh", whole.substr(0, cut));
        std::string report;
        EXPECT_NE(lib->Run("t " + ArgQuote(dir / "v.lzh"), &report), 0)
            << "cut at " << cut << " of " << whole.size() << "\n"
            << report;
    }
    // A level-2 header starts with its own length; the packed data, and its
    // 16-bit count of codes, follow it.
    const std::size_t dataAt = static_cast<uint8_t>(whole[0]) | static_cast<uint8_t>(whole[1]) << 8;
    for (int add : {1, 0x100, 0x4000}) {
        std::string raised = whole;
        unsigned count =
            static_cast<uint8_t>(raised[dataAt]) << 8 | static_cast<uint8_t>(raised[dataAt + 1]);
        count = (count + add) & 0xFFFF;
        raised[dataAt] = static_cast<char>(count >> 8);
        raised[dataAt + 1] = static_cast<char>(count & 0xFF);
        WriteFile(dir / "v.lzh", raised);
        std::string report;
        EXPECT_EQ(lib->Run("t " + ArgQuote(dir / "v.lzh"), &report), ERROR_BROKEN_DATA)
            << "count +" << add << "\n"
            << report;
    }
}

namespace {
struct CancelWindow {
    int seen = 0;
    int cancelAt = 1;
    std::vector<WPARAM> states;
    static LRESULT Proc(HWND, UINT msg, WPARAM w, LPARAM l, void* user) {
        auto* self = static_cast<CancelWindow*>(user);
        if (msg != RegisterWindowMessage("wm_arcextract")) return 0;
        self->states.push_back(w);
        auto* info = reinterpret_cast<EXTRACTINGINFOEX*>(l);
        EXPECT_NE(info, nullptr);
        return ++self->seen >= self->cancelAt ? 1 : 0;
    }
};
}  // namespace

TEST_F(UnlhaCommand, ProgressReachesTheOwnerAndANonZeroReplyCancels) {
    WriteFile(dir / "big.txt", SampleText(3 << 20, 5));
    WriteFile(dir / "old.txt", "old");
    ASSERT_EQ(lib->Run("a " + ArgQuote(dir / "p.lzh") + " " + ArgQuote(dir / "old.txt")), 0);
    std::string before = ReadFile(dir / "p.lzh");

    CancelWindow w;
    w.cancelAt = 1000000;
    HWND wnd = CreateMessageWindow(CancelWindow::Proc, &w);
    ASSERT_TRUE(lib->setOwner(wnd, nullptr));
    // A full run: open, begin, progress, end.
    ASSERT_EQ(lib->Run("a " + ArgQuote(dir / "q.lzh") + " " + ArgQuote(dir / "big.txt")), 0);
    EXPECT_EQ(w.states.front(), static_cast<WPARAM>(ARCEXTRACT_OPEN));
    EXPECT_EQ(w.states.back(), static_cast<WPARAM>(ARCEXTRACT_END));
    EXPECT_NE(std::find(w.states.begin(), w.states.end(), ARCEXTRACT_INPROCESS), w.states.end());

    // Cancel in the middle of packing into an existing archive.
    w = CancelWindow();
    w.cancelAt = 3;
    std::string report;
    EXPECT_EQ(lib->Run("a " + ArgQuote(dir / "p.lzh") + " " + ArgQuote(dir / "big.txt"), &report),
              ERROR_USER_CANCEL);
    EXPECT_EQ(ReadFile(dir / "p.lzh"), before);
    // Cancel while extracting: the partial file is not left behind.
    w = CancelWindow();
    w.cancelAt = 3;
    EXPECT_EQ(lib->Run("x " + ArgQuote(dir / "q.lzh") + " " + ArgQuote(dir / "o/")),
              ERROR_USER_CANCEL);
    EXPECT_FALSE(fs::exists(dir / "o/big.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "o"), fs::directory_iterator()), 0);
    for (auto& e : fs::directory_iterator(dir.path))
        EXPECT_NE(e.path().filename().string()[0], '.');
    EXPECT_TRUE(lib->killOwner(wnd));
    EXPECT_FALSE(lib->killOwner(wnd));
    DestroyMessageWindow(wnd);
}

TEST_F(UnlhaCommand, BadCommandsAndSwitchesAreRefusedWithAReport) {
    WriteFile(dir / "a.txt", "a");
    std::string report;
    EXPECT_EQ(lib->Run("q " + ArgQuote(dir / "a.lzh") + " " + ArgQuote(dir / "a.txt"), &report),
              ERROR_COMMAND_NAME);
    EXPECT_NE(report.find("unknown command"), std::string::npos);
    EXPECT_EQ(lib->Run("a -kq " + ArgQuote(dir / "a.lzh") + " " + ArgQuote(dir / "a.txt"), &report),
              ERROR_COMMAND_NAME);
    EXPECT_NE(report.find("-kq"), std::string::npos);
    EXPECT_EQ(lib->Run("a -h7 " + ArgQuote(dir / "a.lzh") + " " + ArgQuote(dir / "a.txt"), &report),
              ERROR_COMMAND_NAME);
    EXPECT_EQ(lib->Run("s " + ArgQuote(dir / "a.lzh"), &report), ERROR_NOT_SUPPORT);
    EXPECT_FALSE(fs::exists(dir / "a.lzh"));
    EXPECT_EQ(
        lib->Run("a " + ArgQuote(dir / "a.lzh") + " " + ArgQuote(dir / "missing.txt"), &report),
        ERROR_NOT_FIND_FILE);
    EXPECT_FALSE(fs::exists(dir / "a.lzh"));
    // Every switch the LHA driver can emit is accepted.
    std::string all = "a -+ -a0 -c0 -e0 -f0 -h2 -i0 -l0 -m1 -n1 -o7 -p1 -r0 -s0 -t0 -u0 \"-w" +
                      dir / "" +
                      "\" -x0 -y0 -z0 -jc0 -jd0 -je0 -jf0 -jh0 -ji0 -jm0 -jn0 \"-jo19800101\" "
                      "\"-job29991231\" -jp0 -jr0 -jss0 "
                      "-jw0 \"-jx*.bak\" \"-jx*.tmp\" -jyc0 -jyd0 -jyk0 -jyn0 -jyo0 \"-jz\" -ga0 "
                      "-gd0 -ge0 -gf0 -gj0 -gm0 -gn0 "
                      "-go0 -gp0 \"-gr\" -gs0 -gu0 -gw0 ";
    EXPECT_EQ(lib->Run(all + ArgQuote(dir / "a.lzh") + " " + ArgQuote(dir / "a.txt"), &report), 0)
        << report;
}

TEST_F(UnlhaCommand, ReportIsCutToTheBufferAndTerminated) {
    WriteFile(dir / "a.txt", "a");
    std::vector<char> out(8, 'X');
    ASSERT_EQ(lib->command(nullptr,
                           ("a " + ArgQuote(dir / "a.lzh") + " " + ArgQuote(dir / "a.txt")).c_str(),
                           out.data(), 5),
              0);
    EXPECT_EQ(std::strlen(out.data()), 4u);
    EXPECT_EQ(out[5], 'X');
    EXPECT_EQ(lib->command(nullptr, "l /nonexistent/none.lzh", nullptr, 0),
              ERROR_NOT_FIND_ARC_FILE);
}

TEST_F(UnlhaCommand, RecursionFoldersExclusionsAndResponseFile) {
    WriteFile(dir / "src/top.txt", "top");
    WriteFile(dir / "src/sub/deep/d.txt", "deep");
    WriteFile(dir / "src/sub/skip.bak", "bak");
    WriteFile(dir / "src/.hidden", "h");
    WriteFile(dir / "list.txt", "\"src\"\n");
    std::string report;
    ASSERT_EQ(lib->Run("a -r1 -x1 \"-jx*.bak\" " + ArgQuote(dir / "r.lzh") + " " +
                           ArgQuote(dir / "") + " @" + ArgQuote(dir / "list.txt"),
                       &report),
              0)
        << report;
    auto names = Names(dir / "r.lzh");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"src/", "src/sub/", "src/sub/deep/",
                                               "src/sub/deep/d.txt", "src/top.txt"}));
    ASSERT_EQ(lib->Run("x " + ArgQuote(dir / "r.lzh") + " " + ArgQuote(dir / "o/")), 0);
    EXPECT_EQ(ReadFile(dir / "o/src/sub/deep/d.txt"), "deep");
    // e drops the folders; a pattern with -p1 matches the whole stored path.
    ASSERT_EQ(
        lib->Run("e -p1 " + ArgQuote(dir / "r.lzh") + " " + ArgQuote(dir / "e/") + " src/sub/*"),
        0);
    EXPECT_EQ(ReadFile(dir / "e/d.txt"), "deep");
    EXPECT_FALSE(fs::exists(dir / "e/top.txt"));
}

TEST_F(UnlhaCommand, HeaderLevelsAndMethodsAreSelectable) {
    std::string text = SampleText(300000, 6);
    WriteFile(dir / "a.txt", text);
    static const char* const kSwitches[] = {"-h0 -o5",  "-h1 -o6",  "-h2 -o7",
                                            "-h2 -jm1", "-h1 -jm2", "-z"};
    for (const char* const& sw : kSwitches) {
        std::string arc = dir / ("m" + std::to_string(&sw - &*std::begin(kSwitches)) + ".lzh");
        ASSERT_EQ(
            lib->Run(std::string("a ") + sw + " " + ArgQuote(arc) + " " + ArgQuote(dir / "a.txt")),
            0)
            << sw;
        std::vector<char> buf(text.size());
        DWORD written = 0;
        time_t t = 0;
        WORD attr = 0;
        ASSERT_EQ(lib->extractMem(nullptr, (" " + ArgQuote(arc) + " a.txt").c_str(),
                                  reinterpret_cast<LPBYTE>(buf.data()),
                                  static_cast<DWORD>(buf.size()), &t, &attr, &written),
                  0)
            << sw;
        EXPECT_EQ(std::string(buf.data(), written), text) << sw;
        struct stat st;
        stat((dir / "a.txt").c_str(), &st);
        EXPECT_LE(std::abs(static_cast<long>(t - st.st_mtime)), 2) << sw;  // level 0 keeps DOS time
    }
}
