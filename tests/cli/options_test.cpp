#include "options.h"

#include <gtest/gtest.h>

using namespace kaltri;

namespace {

ParseResult Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "kaltri");
    return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(Options, PackTakesItsSwitchesAndPaths) {
    ParseResult r = Parse({"pack", "--format", "zip", "--out=/tmp/o", "--overwrite", "all", "--on-error",
                           "stop", "--password-file", "pw", "-j", "3", "a", "--", "-odd"});
    ASSERT_EQ("", r.error);
    EXPECT_EQ(Command::Pack, r.options.command);
    EXPECT_EQ(Format::Zip, r.options.format);
    EXPECT_EQ("/tmp/o", r.options.outDir);
    EXPECT_EQ(OverwritePolicy::All, r.options.overwrite);
    EXPECT_EQ(ErrorPolicy::Stop, r.options.onError);
    EXPECT_EQ("pw", r.options.passwordFile);
    EXPECT_EQ(3, r.options.jobs);
    EXPECT_EQ((std::vector<std::string>{"a", "-odd"}), r.options.paths);
}

TEST(Options, BadUsageIsReported) {
    EXPECT_NE("", Parse({}).error);
    EXPECT_NE("", Parse({"frobnicate"}).error);
    EXPECT_NE("", Parse({"pack"}).error);
    EXPECT_NE("", Parse({"pack", "--format", "rar", "a"}).error);
    EXPECT_NE("", Parse({"pack", "--jobs", "0", "a"}).error);
    EXPECT_NE("", Parse({"pack", "--overwrite"}).error);
    EXPECT_NE("", Parse({"pack", "-p", "a"}).error);  // a password needs ZIP
    EXPECT_NE("", Parse({"pack", "--password=secret", "--format", "zip", "a"}).error);
    EXPECT_NE("", Parse({"list"}).error);
    EXPECT_NE("", Parse({"list", "a.lzh", "b.lzh"}).error);
    EXPECT_EQ("", Parse({"extract", "a.zip", "-o", "dir"}).error);
    EXPECT_TRUE(Parse({"pack", "--help"}).options.help);
}

}  // namespace
