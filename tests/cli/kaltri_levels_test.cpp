// kaltri's --level (ZIP) and --method/--effort (LZH): every combination is
// read back byte-exact by independent readers, and each choice shows in the
// archive (method, deflate sub-type, size order).
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "kaltri_process.h"

namespace {

using namespace kaltri_test;

// Text that compresses, with some noise so that effort and window matter.
std::string Source(Tree& t) { return t.Random("src/data.txt", 400000); }

TEST(KaltriLevels, EveryZipLevelIsReadBackByUnzipAnd7zAndShowsInTheArchive) {
    Tree t;
    std::string src = Source(t);
    std::map<int, std::uintmax_t> sizes;
    for (int level = 0; level <= 9; ++level) {
        std::string out = t.root + "/l" + std::to_string(level);
        Result r = Sh(kKaltri + " pack -f zip -j1 --level " + std::to_string(level) + " -o " +
                      Q(out) + " -y " + Q(src));
        ASSERT_EQ(0, r.code) << level << r.out;
        std::string zip = out + "/data.zip";
        sizes[level] = fs::file_size(zip);
        Result u = Sh("unzip -p " + Q(zip) + " data.txt > " + Q(out + "/u.txt"));
        ASSERT_EQ(0, u.code) << level << u.out;
        EXPECT_EQ(Read(src), Read(out + "/u.txt")) << level;
        Result z = Sh("7z e -y -o" + Q(out + "/7z") + " " + Q(zip));
        ASSERT_EQ(0, z.code) << level << z.out;
        EXPECT_EQ(Read(src), Read(out + "/7z/data.txt")) << level;
        Result info = Sh("zipinfo -v " + Q(zip));
        if (level == 0) {
            EXPECT_NE(std::string::npos,
                      info.out.find("compression method:                             none"))
                << info.out;
        } else {
            EXPECT_NE(std::string::npos, info.out.find("deflated")) << info.out;
            const char* subtype = level >= 8   ? "maximum"
                                  : level == 2 ? "fast"
                                  : level == 1 ? "superfast"
                                               : "normal";
            EXPECT_TRUE(std::regex_search(
                info.out, std::regex(std::string("\\(deflation\\): +") + subtype + "\n")))
                << level << info.out;
        }
    }
    EXPECT_GT(sizes[0], sizes[1]);
    EXPECT_GE(sizes[1], sizes[6]);
    EXPECT_GE(sizes[6], sizes[9]);
    EXPECT_GT(sizes[1], sizes[9]);
}

TEST(KaltriLevels, EveryLzhMethodAndEffortIsReadBackByLhasa) {
    Tree t;
    std::string src = Source(t);
    for (const char* method : {"lh5", "lh6", "lh7"}) {
        std::map<std::string, std::uintmax_t> sizes;
        for (const char* effort : {"fast", "normal", "best"}) {
            std::string out = t.root + "/" + method + effort;
            Result r = Sh(kKaltri + " pack -j1 --method " + method + " --effort " + effort +
                          " -o " + Q(out) + " -y " + Q(src));
            ASSERT_EQ(0, r.code) << method << effort << r.out;
            std::string lzh = out + "/data.lzh";
            sizes[effort] = fs::file_size(lzh);
            Result list = Sh("lhasa v " + Q(lzh));
            EXPECT_NE(std::string::npos, list.out.find(std::string("-") + method + "-"))
                << list.out;
            Result x = Sh("cd " + Q(out) + " && lhasa xq " + Q(lzh));
            ASSERT_EQ(0, x.code) << x.out;
            EXPECT_EQ(Read(src), Read(out + "/data.txt")) << method << effort;
        }
        EXPECT_GE(sizes["fast"], sizes["normal"]) << method;
        // The optimal parse prices matches with estimated code lengths, so on
        // some data it lands a few bytes above the normal parse.
        EXPECT_LE(sizes["best"], sizes["normal"] + sizes["normal"] / 500) << method;
        EXPECT_GT(sizes["fast"], sizes["best"]) << method;
    }
}

TEST(KaltriLevels, ChoicesOfTheOtherFormatAreRefused) {
    Tree t;
    std::string src = t.Make("a.txt", "x");
    for (const std::string& bad :
         {std::string("--level 5"), std::string("-f zip --method lh5"),
          std::string("-f zip --effort best"), std::string("-f zip --level 10"),
          std::string("--method lh8"), std::string("--effort max")}) {
        Result r = Sh(kKaltri + " pack " + bad + " " + Q(src));
        EXPECT_EQ(2, r.code) << bad << r.out;
        EXPECT_FALSE(fs::exists(t.root + "/a.zip") || fs::exists(t.root + "/a.lzh")) << bad;
    }
}

}  // namespace
