// kaltri for scripts: -q says nothing but errors, -v a line for every file
// and member, each on the stream scripts look at; and list, test and extract
// take their archives from a list as pack takes its paths.
#include <gtest/gtest.h>

#include <algorithm>

#include "kaltri_process.h"

namespace {

using namespace kaltri_test;

struct Streams {
    int code;
    std::string out, err;
};

// Runs `kaltri ARGS` in folder with stdout and stderr kept apart.
Streams Split(const std::string& folder, const std::string& args) {
    const Result r =
        Sh("cd " + Q(folder) + " && (LANG=C " + kKaltri + " " + args + " >.out.txt 2>.err.txt)");
    Streams s{r.code, Read(folder + "/.out.txt"), Read(folder + "/.err.txt")};
    fs::remove(folder + "/.out.txt");
    fs::remove(folder + "/.err.txt");
    return s;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(KaltriVerbosity, PackSaysErrorsOnlyWithQAndSizesWithV) {
    struct Row {
        const char* flag;
        bool packedLine;  // "a.txt -> ..." on stdout
        bool sizes;       // "(N -> M bytes)"
        bool chatter;     // the skip and the summary on stderr
    };
    for (const Row& row : {Row{"-q", false, false, false}, Row{"", true, false, true},
                           Row{"-v", true, true, true}, Row{"--verbose", true, true, true}}) {
        SCOPED_TRACE(row.flag);
        Tree t;
        t.Make("a.txt", "alpha alpha alpha");
        t.Make("b.txt", "b");
        fs::create_directories(t.root + "/b.zip");  // b fails
        t.Make("c.txt", "c");
        t.Make("c.zip", "kept");  // c is skipped
        const Streams s =
            Split(t.root, std::string("pack -f zip ") + row.flag + " a.txt b.txt c.txt");
        EXPECT_EQ(1, s.code);
        EXPECT_EQ(row.packedLine, Has(s.out, "a.txt -> ")) << s.out;
        EXPECT_EQ(row.sizes, Has(s.out, "(17 -> ")) << s.out;
        EXPECT_EQ(row.chatter, Has(s.err, "Skipping")) << s.err;
        EXPECT_EQ(row.chatter, Has(s.err, "packed 1, skipped 1, failed 1")) << s.err;
        // The failure is said whatever the flag, on stderr, as kaltri's.
        EXPECT_TRUE(Has(s.err, "kaltri: failed: " + t.root + "/b.txt")) << s.err;
        EXPECT_FALSE(Has(s.out, "b.txt")) << s.out;
        EXPECT_TRUE(fs::exists(t.root + "/a.zip"));
    }
}

TEST(KaltriVerbosity, ListTestAndExtractFollowQAndV) {
    Tree t;
    t.Make("src/one.txt", "first member");
    t.Make("src/deep/two.txt", "second member");
    ASSERT_EQ(0, Sh("cd " + Q(t.root) + " && zip -qr0 set.zip src && cp set.zip bad.zip").code);
    {  // bad.zip: a byte of the first member's data changed
        std::string bytes = Read(t.root + "/bad.zip");
        const std::size_t at = bytes.find("first member");
        ASSERT_NE(std::string::npos, at);
        bytes[at] ^= 0x20;
        std::ofstream(t.root + "/bad.zip", std::ios::binary) << bytes;
    }
    ASSERT_EQ(0, Sh(kKaltri + " pack -q -f lzh " + Q(t.root + "/src/one.txt")).code);
    const std::string lzh = "src/one.lzh";
    struct Row {
        std::string args;
        int code;
        std::vector<std::string> outHas, outLacks, errHas;
    };
    const std::vector<Row> rows = {
        {"list -q set.zip", 0, {"src/deep/two.txt", "src/one.txt"}, {"size", "members"}, {}},
        {"list set.zip", 0, {"size", " members\n"}, {"crc"}, {}},
        {"list -v set.zip", 0, {"crc", "attr"}, {}, {}},
        {"test -q set.zip " + lzh, 0, {}, {"OK", "one.txt"}, {}},
        {"test -q bad.zip set.zip", 1, {}, {"OK"}, {"kaltri: bad.zip: damaged"}},
        {"test " + lzh, 0, {"one.txt\n", "src/one.lzh: OK"}, {}, {}},  // the library's report
        {"extract -q -o x1 set.zip", 0, {}, {"Extracted", "two.txt"}, {}},
        {"extract -o x2 set.zip", 0, {"Extracted"}, {"two.txt"}, {}},
        {"extract -v -o x3 set.zip", 0, {"  src/deep/two.txt\n", "  src/one.txt\n"}, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        const Streams s = Split(t.root, row.args);
        EXPECT_EQ(row.code, s.code) << s.out << s.err;
        for (const std::string& part : row.outHas) EXPECT_TRUE(Has(s.out, part)) << s.out;
        for (const std::string& part : row.outLacks) EXPECT_FALSE(Has(s.out, part)) << s.out;
        for (const std::string& part : row.errHas) EXPECT_TRUE(Has(s.err, part)) << s.err;
        if (row.code == 0 && row.args.find("-q") != std::string::npos) {
            EXPECT_EQ("", s.err);
        }
    }
    EXPECT_EQ("second member", Read(t.root + "/x1/src/deep/two.txt"));
    EXPECT_NE(0, Sh(kKaltri + " list -q -v set.zip").code);  // one or the other
}

TEST(KaltriVerbosity, ArchivesFromANulListWhateverTheirNames) {
    // Names with a blank, a line break and a byte that is not UTF-8, handed
    // over as find -print0 does.
    const std::vector<std::string> stems = {"two words", "line\nbreak", "caf\xE9"};
    Tree t;
    std::string list;
    for (const std::string& stem : stems) {
        const std::string file = t.Make("src/" + stem + ".txt", "body of " + stem);
        ASSERT_EQ(0, Sh(kKaltri + " pack -q -f zip -o " + Q(t.root + "/arc") + " " + Q(file)).code);
        list += t.root + "/arc/" + stem + ".zip" + '\0';
    }
    list += '\0';  // an empty entry is passed over
    t.Make("list", list);
    struct Row {
        const char* args;
        std::function<void(const Streams&)> check;
    };
    const std::vector<Row> rows = {
        {"list -q --null -T -",
         [&](const Streams& s) {
             EXPECT_EQ(3, std::count(s.out.begin(), s.out.end(), '\n')) << s.out;
             EXPECT_TRUE(Has(s.out, "two words.txt")) << s.out;
         }},
        {"test --null -T -",
         [&](const Streams& s) {
             EXPECT_TRUE(Has(s.err, "tested 3 archives: 3 sound, 0 not")) << s.err;
         }},
        {"extract --each -o out --null -T -",
         [&](const Streams&) {
             for (const std::string& stem : stems)
                 EXPECT_EQ("body of " + stem, Read(t.root + "/out/" + stem + "/" + stem + ".txt"));
         }},
        {"test -T LINES",  // a line list carries every name without a line break
         [&](const Streams& s) {
             EXPECT_TRUE(Has(s.err, "tested 2 archives: 2 sound, 0 not")) << s.err;
         }},
    };
    std::string lines;
    for (const std::string& stem : stems)
        if (stem.find('\n') == std::string::npos) lines += t.root + "/arc/" + stem + ".zip\n";
    t.Make("lines", lines);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        std::string args = row.args;
        const bool fromStdin = args.find("-T -") != std::string::npos;
        if (!fromStdin) args.replace(args.find("LINES"), 5, Q(t.root + "/lines"));
        // Standard input through a pipe, as `find -print0 | kaltri ...` gives it.
        const std::string script =
            t.Make("run.sh", "cd " + Q(t.root) + " && " + (fromStdin ? "cat list | " : "") +
                                 "LANG=C " + kKaltri + " " + args + " >.out.txt 2>.err.txt\n");
        const Result r = Sh("sh " + Q(script));
        const Streams s{r.code, Read(t.root + "/.out.txt"), Read(t.root + "/.err.txt")};
        EXPECT_EQ(0, s.code) << s.out << s.err;
        row.check(s);
    }
}

}  // namespace
