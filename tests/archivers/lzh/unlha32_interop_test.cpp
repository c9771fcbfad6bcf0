// Archives we write open byte-exact in the other LZH readers of this
// machine (lhasa, 7z, bsdtar, unar), at every header level; archives jlha
// writes (-lh5- to -lh7-, levels 0 to 2) extract byte-exact with ours.
#include <map>

#include "unlha32_support.h"

using namespace kt::test;

namespace {

// Every regular file below root, by content.
std::multimap<std::string, std::string> ByContent(const fs::path& root) {
    std::multimap<std::string, std::string> m;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file())
            m.emplace(ReadFile(e.path().string()), fs::relative(e.path(), root).string());
    }
    return m;
}

struct Sample {
    std::string name;
    std::string data;
};

std::vector<Sample> Samples() {
    return {{"src/text.txt", SampleText(400000, 11)},
            {"src/bin.dat", SampleBinary(300000, 12)},
            {"src/empty.txt", ""},
            {"src/random.bin", SampleBinary(70000, 13).replace(0, 70000, std::string(70000, 'r'))},
            {"src/nested/deeper/日本語の名前.txt", "日本語のテキスト\n"},
            {"src/nested/Ελληνικά_😀.txt", "not in CP932\n"}};
}

class Interop : public ::testing::TestWithParam<int> {};

struct Tool {
    const char* exe;
    const char* cmd;
};

}  // namespace

TEST_P(Interop, OurArchivesOpenByteExactInOtherReaders) {
    const int level = GetParam();
    Unlha32& lib = Unlha32::Get();
    ASSERT_NE(lib.command, nullptr);
    ScratchDir dir;
    auto samples = Samples();
    for (auto& s : samples) WriteFile(dir / s.name, s.data);
    std::string arc = dir / "ours.lzh";
    std::string report;
    ASSERT_EQ(lib.Run("a -r1 -x1 -h" + std::to_string(level) + " " + ArgQuote(arc) + " " +
                          ArgQuote(dir / "") + " src",
                      &report),
              0)
        << report;
    struct Tool {
        const char* exe;
        const char* cmd;
        bool exactNames;  // the tool recovers every name (UTF-16 header)
        bool japaneseNames;
    };
    const Tool tools[] = {{"lhasa", "lhasa xq", false, false},
                          {"7z", "7z x -y", false, false},
                          {"bsdtar", "bsdtar --options hdrcharset=CP932 -xf", level > 0, true},
                          {"unar", "unar -q -e shift_jis", false, true}};
    int ran = 0;
    for (const Tool& t : tools) {
        if (!HaveTool(t.exe)) continue;
        ++ran;
        std::string out = dir / (std::string("x_") + t.exe);
        fs::create_directories(out);
        ASSERT_TRUE(Shell(out, std::string(t.cmd) + " " + ArgQuote(arc)))
            << t.exe << " level " << level;
        auto got = ByContent(out);
        for (const Sample& s : samples) {
            auto it = got.find(s.data);
            ASSERT_NE(it, got.end()) << t.exe << " lost " << s.name << " at level " << level;
            if (t.exactNames || (t.japaneseNames && s.name.find("日本語") != std::string::npos)) {
                EXPECT_EQ(it->second, s.name) << t.exe << " level " << level;
            }
            got.erase(it);
        }
    }
    if (ran == 0) GTEST_SKIP() << "no other LZH reader installed";
}

INSTANTIATE_TEST_SUITE_P(HeaderLevels, Interop, ::testing::Values(0, 1, 2));

TEST(InteropNames, NamesWithQuotesAndLineBreaksPassInANulItemsFileAndKeepThemInEveryPeer) {
    // Names no quoted item and no response-file line can carry reach the
    // library through --items0=FILE, and lhasa and 7z get them back exactly.
    Unlha32& lib = Unlha32::Get();
    ASSERT_NE(lib.command, nullptr);
    for (const std::string name : {"a\"b.txt", "line\nbreak.txt", "\"quoted\".txt"}) {
        SCOPED_TRACE(name);
        ScratchDir dir;
        const std::string text = std::string(5000, 'x') + name;
        WriteFile(dir / name, text);
        const std::string arc = dir / "out.lzh";
        WriteFile(dir / "items0", arc + std::string(1, '\0') + (dir / name) + std::string(1, '\0'));
        std::string report;
        ASSERT_EQ(lib.Run("a -x0 " + ArgQuote("--items0=" + (dir / "items0")), &report), 0)
            << report;
        for (const char* tool : {"lhasa xq", "7z x -y"}) {
            const std::string out = dir / (std::string("x_") + tool[0]);
            fs::create_directories(out);
            ASSERT_TRUE(Shell(out, std::string(tool) + " " + ArgQuote(arc))) << tool;
            EXPECT_EQ(ReadFile(out + "/" + name), text) << tool;
        }
    }
}

// The best effort (-jm1) splits its tokens into many small blocks, each with
// trees of its own: every reader must take them byte-exact. The inputs
// cover long runs, noise longer than one gathering of tokens (blocks cut at
// the 65535-token limit) and data whose statistics change every few
// kilobytes (the finest splits).
TEST(InteropBest, BestEffortArchivesOpenByteExactInOtherReaders) {
    Unlha32& lib = Unlha32::Get();
    ASSERT_NE(lib.command, nullptr);
    ScratchDir dir;
    std::string mixed;
    for (unsigned i = 0; mixed.size() < 600000; ++i) {
        mixed += i % 2 ? SampleText(1500 + i % 7 * 300, 40 + i)
                       : SampleBinary(900 + i % 5 * 200, 60 + i);
    }
    const std::vector<Sample> samples = {
        {"text.txt", SampleText(700000, 41)},
        {"noise.bin", SampleBinary(500000, 42)},
        {"run.bin", std::string(400000, 'a') + "b" + std::string(1000, 'a')},
        {"mixed.bin", mixed},
        {"one.bin", "x"}};
    for (const Sample& s : samples) WriteFile(dir / ("src/" + s.name), s.data);
    const Tool tools[] = {
        {"lhasa", "lhasa xq"}, {"7z", "7z x -y"}, {"bsdtar", "bsdtar -xf"}, {"unar", "unar -q"}};
    for (const char* method : {"-o5", "-o7"}) {
        const std::string arc = dir / (std::string("best") + method + ".lzh");
        std::string report;
        ASSERT_EQ(lib.Run(std::string("a -jm1 -r1 -x0 ") + method + " " + ArgQuote(arc) + " " +
                              ArgQuote(dir / "") + " src",
                          &report),
                  0)
            << report;
        ASSERT_EQ(lib.Run("t " + ArgQuote(arc), &report), 0) << report;
        int ran = 0;
        for (const Tool& t : tools) {
            if (!HaveTool(t.exe)) continue;
            ++ran;
            const std::string out = dir / (std::string("x_") + t.exe + method);
            fs::create_directories(out);
            ASSERT_TRUE(Shell(out, std::string(t.cmd) + " " + ArgQuote(arc)))
                << t.exe << " " << method;
            auto got = ByContent(out);
            for (const Sample& s : samples) {
                EXPECT_EQ(got.count(s.data), 1u) << t.exe << " " << method << " lost " << s.name;
            }
            EXPECT_EQ(got.size(), samples.size()) << t.exe << " " << method;
        }
        if (ran == 0) GTEST_SKIP() << "no other LZH reader installed";
    }
}

TEST(InteropJlha, JlhaArchivesExtractByteExact) {
    if (!HaveTool("jlha")) GTEST_SKIP() << "jlha not installed";
    Unlha32& lib = Unlha32::Get();
    ScratchDir dir;
    std::string text = SampleText(150000, 21), bin = SampleBinary(120000, 22);
    WriteFile(dir / "in/text.txt", text);
    WriteFile(dir / "in/bin.dat", bin);
    for (int level : {0, 1, 2}) {
        for (int m : {5, 6, 7}) {
            std::string arc = dir / ("j" + std::to_string(level) + std::to_string(m) + ".lzh");
            ASSERT_TRUE(Shell(dir / "in", "jlha c" + std::to_string(level) + "o" +
                                              std::to_string(m) + "q " + ArgQuote(arc) +
                                              " text.txt bin.dat"));
            std::string out = dir / ("o" + std::to_string(level) + std::to_string(m) + "/");
            std::string report;
            ASSERT_EQ(lib.Run("x " + ArgQuote(arc) + " " + ArgQuote(out), &report), 0) << report;
            EXPECT_EQ(ReadFile(out + "text.txt"), text) << level << m;
            EXPECT_EQ(ReadFile(out + "bin.dat"), bin) << level << m;
            ASSERT_EQ(lib.Run("t " + ArgQuote(arc)), 0);
        }
    }
}

// jLHA's library writes the early methods that no Debian command line
// offers. Its class is compiled once per run from producers/JlhaWrite.java.
class JlhaLibrary {
public:
    static const JlhaLibrary& Get() {
        static JlhaLibrary lib;
        return lib;
    }
    bool Ready() const { return ready_; }
    bool Write(const std::string& method, int level, const std::string& arc, const std::string& dir,
               const std::string& files) const {
        return Shell(dir, "java -cp /usr/share/java/jlha.jar:" + ArgQuote(classes_.path.string()) +
                              " JlhaWrite " + method + " " + std::to_string(level) + " " +
                              ArgQuote(arc) + " " + files);
    }

private:
    JlhaLibrary() {
        ready_ = HaveTool("javac") && fs::exists("/usr/share/java/jlha.jar") &&
                 Shell(classes_.path.string(),
                       "javac -cp /usr/share/java/jlha.jar -d . " +
                           ArgQuote(KT_SOURCE_DIR "/tests/archivers/lzh/producers/JlhaWrite.java"));
    }
    ScratchDir classes_;
    bool ready_ = false;
};

TEST(InteropJlha, EarlyMethodsExtractByteExact) {
    const JlhaLibrary& jlha = JlhaLibrary::Get();
    if (!jlha.Ready()) GTEST_SKIP() << "javac or jLHA's library not installed";
    Unlha32& lib = Unlha32::Get();
    ScratchDir dir;
    // Long enough for both adaptive trees to halve their counts (32768
    // symbols) and for -lh2-'s position tree to reach all 128 leaves.
    const std::string text = SampleText(600000, 31), bin = SampleBinary(90000, 32);
    const std::string runs =
        std::string(5000, 'a') + SampleText(3000, 33) + std::string(70000, '\0');
    WriteFile(dir / "in/text.txt", text);
    WriteFile(dir / "in/bin.dat", bin);
    WriteFile(dir / "in/runs.dat", runs);
    WriteFile(dir / "in/tiny.txt", "ab");
    for (const char* method : {"-lh1-", "-lh2-", "-lh3-"}) {
        for (int level : {0, 1, 2}) {
            SCOPED_TRACE(std::string(method) + " level " + std::to_string(level));
            std::string arc =
                dir / (std::string(method).substr(1, 3) + std::to_string(level) + ".lzh");
            ASSERT_TRUE(
                jlha.Write(method, level, arc, dir / "in", "text.txt bin.dat runs.dat tiny.txt"));
            std::string listing;
            ASSERT_EQ(lib.Run("v " + ArgQuote(arc), &listing), 0) << listing;
            EXPECT_NE(listing.find(method), std::string::npos) << listing;
            std::string out = dir / ("o" + arc.substr(arc.size() - 8, 4) + "/");
            std::string report;
            ASSERT_EQ(lib.Run("x " + ArgQuote(arc) + " " + ArgQuote(out), &report), 0) << report;
            EXPECT_EQ(ReadFile(out + "text.txt"), text);
            EXPECT_EQ(ReadFile(out + "bin.dat"), bin);
            EXPECT_EQ(ReadFile(out + "runs.dat"), runs);
            EXPECT_EQ(ReadFile(out + "tiny.txt"), "ab");
            EXPECT_EQ(lib.Run("t " + ArgQuote(arc)), 0);
        }
    }
}

TEST(InteropJlha, DamagedEarlyMethodDataIsAnErrorAndNothingIsWritten) {
    const JlhaLibrary& jlha = JlhaLibrary::Get();
    if (!jlha.Ready()) GTEST_SKIP() << "javac or jLHA's library not installed";
    Unlha32& lib = Unlha32::Get();
    ScratchDir dir;
    WriteFile(dir / "in/text.txt", SampleText(200000, 41));
    for (const char* method : {"-lh1-", "-lh2-", "-lh3-"}) {
        SCOPED_TRACE(method);
        std::string arc = dir / (std::string(method).substr(1, 3) + ".lzh");
        ASSERT_TRUE(jlha.Write(method, 2, arc, dir / "in", "text.txt"));
        std::string bytes = ReadFile(arc);
        // Level 2: the data starts after the header's announced size.
        std::size_t data =
            static_cast<unsigned char>(bytes[0]) | static_cast<unsigned char>(bytes[1]) << 8;
        bytes[data + (bytes.size() - data) / 2] ^= 0x10;
        WriteFile(arc, bytes);
        std::string out = dir / (std::string(method).substr(1, 3) + "/");
        std::string report;
        EXPECT_NE(lib.Run("x " + ArgQuote(arc) + " " + ArgQuote(out), &report), 0) << report;
        EXPECT_FALSE(fs::exists(out + "text.txt"));
        EXPECT_NE(lib.Run("t " + ArgQuote(arc)), 0);
        EXPECT_FALSE(lib.check(arc.c_str(), CHECKARCHIVE_FULLCRC));
    }
}

TEST(InteropHuge, FileOverFourGibibytes) {
    // Sparse, but packing still reads 4 GiB: opt-in.
    if (!std::getenv("KT_TEST_HUGE")) GTEST_SKIP() << "set KT_TEST_HUGE=1 to run";
    Unlha32& lib = Unlha32::Get();
    ScratchDir dir;
    std::string big = dir / "huge.bin";
    {
        std::ofstream f(big, std::ios::binary);
        f << "head";
        f.seekp((4ll << 30) + 12345);
        f << "tail";
    }
    ASSERT_EQ(lib.Run("a " + ArgQuote(dir / "h.lzh") + " " + ArgQuote(big)), 0);
    ASSERT_EQ(lib.Run("t " + ArgQuote(dir / "h.lzh")), 0);
    // libarchive reads the 64-bit size header; lhasa and 7z do not know it.
    if (HaveTool("bsdtar")) {
        EXPECT_TRUE(Shell(dir.path.string(),
                          "test \"$(bsdtar -xOf h.lzh | tail -c 4)\" = tail && "
                          "test $(bsdtar -xOf h.lzh | wc -c) = " +
                              std::to_string((4ll << 30) + 12345 + 4)));
    }
}

// A file of several segments, packed on more than one thread: the joined
// stream extracts byte-exact in every reader. Its segment borders (every
// 2 MiB) fall inside a repeated run, so matches cross them.
TEST(InteropSegments, LargeFileOpensByteExactInOtherReaders) {
    Unlha32& lib = Unlha32::Get();
    ScratchDir dir;
    const std::string unit = SampleBinary(5000, 31);
    std::string data = SampleText(1900000, 32);
    while (data.size() < 4300000) data += unit;
    data += SampleText(700000, 33);
    WriteFile(dir / "big.bin", data);
    const Tool tools[] = {
        {"lhasa", "lhasa xq"}, {"7z", "7z x -y"}, {"bsdtar", "bsdtar -xf"}, {"unar", "unar -q"}};
    for (const char* method : {"-o5", "-o7"}) {
        std::string arc = dir / (std::string("big") + method + ".lzh");
        std::string report;
        ASSERT_EQ(lib.Run(std::string("a ") + method + " " + ArgQuote(arc) + " " +
                              ArgQuote(dir / "big.bin"),
                          &report),
                  0)
            << report;
        EXPECT_LT(fs::file_size(arc), data.size() / 3);
        ASSERT_EQ(lib.Run("t " + ArgQuote(arc), &report), 0) << report;
        for (const Tool& t : tools) {
            if (!HaveTool(t.exe)) continue;
            std::string out = dir / (std::string("x_") + t.exe + method);
            fs::create_directories(out);
            ASSERT_TRUE(Shell(out, std::string(t.cmd) + " " + ArgQuote(arc)))
                << t.exe << " " << method;
            EXPECT_TRUE(ReadFile(out + "/big.bin") == data) << t.exe << " " << method;
        }
    }
}
