#include "options.h"

#include <gtest/gtest.h>

using namespace kaltri;

namespace {

ParseResult Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "kaltri");
    return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(Options, PackTakesItsSwitchesAndPaths) {
    ParseResult r =
        Parse({"pack", "--format", "zip", "--out=/tmp/o", "--overwrite", "all", "--on-error",
               "stop", "--password-file", "pw", "-j", "3", "a", "--", "-odd"});
    ASSERT_EQ("", r.error);
    EXPECT_EQ(Command::Pack, r.options.command);
    EXPECT_EQ(kt::atZip, r.options.format);
    EXPECT_EQ("/tmp/o", r.options.outDir);
    EXPECT_EQ(OverwritePolicy::All, r.options.overwrite);
    EXPECT_EQ(ErrorPolicy::Stop, r.options.onError);
    EXPECT_EQ("pw", r.options.passwordFile);
    EXPECT_EQ(3, r.options.jobs);
    EXPECT_EQ((std::vector<std::string>{"a", "-odd"}), r.options.paths);
}

TEST(Options, LevelsMethodsEncryptionRemovalAndJson) {
    ParseResult r = Parse({"pack", "-f", "zip", "--level", "0", "--encrypt", "aes192", "-p",
                           "--json", "--move-to-trash", "a"});
    ASSERT_EQ("", r.error);
    EXPECT_EQ(0, r.options.level);
    EXPECT_EQ(192, r.options.aesBits);
    EXPECT_EQ(SourceRemoval::Trash, r.options.removal);
    EXPECT_TRUE(r.options.test);  // removal implies the test
    EXPECT_TRUE(r.options.json);
    r = Parse({"pack", "--method=lh5", "--effort", "fast", "--delete-source", "a"});
    ASSERT_EQ("", r.error);
    EXPECT_EQ(5, r.options.method);
    EXPECT_EQ(LzhEffort::Fast, r.options.effort);
    EXPECT_EQ(SourceRemoval::Delete, r.options.removal);
    EXPECT_TRUE(r.options.test);
    EXPECT_FALSE(Parse({"pack", "a"}).options.test);
    EXPECT_EQ("--effort must be fast, normal or best",
              Parse({"pack", "--effort", "max", "a"}).error);
    EXPECT_NE("", Parse({"pack", "--move-to-trash", "--delete-source", "a"}).error);
    EXPECT_NE("", Parse({"pack", "-f", "zip", "--encrypt", "aes256", "a"}).error);  // no password
    EXPECT_NE("", Parse({"extract", "--json", "a.zip"}).error);
    EXPECT_TRUE(Parse({"list", "--json", "a.zip"}).options.json);
    EXPECT_TRUE(Parse({"test", "--json", "a.zip"}).options.json);
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
    EXPECT_EQ((std::vector<std::string>{"a.lzh", "b.zip"}),
              Parse({"list", "a.lzh", "b.zip"}).options.archives);
    EXPECT_EQ((std::vector<std::string>{"a.lzh", "b.lzh"}),
              Parse({"test", "a.lzh", "b.lzh"}).options.archives);
    EXPECT_EQ("", Parse({"extract", "a.zip", "-o", "dir"}).error);
    // Extraction takes --jobs too (the cores large members may share); list does not.
    EXPECT_EQ(1, Parse({"extract", "-j", "1", "a.zip"}).options.jobs);
    EXPECT_EQ(0, Parse({"extract", "a.zip"}).options.jobs);
    EXPECT_NE("", Parse({"extract", "--jobs", "0", "a.zip"}).error);
    EXPECT_NE("", Parse({"list", "--jobs", "2", "a.zip"}).error);
    EXPECT_TRUE(Parse({"pack", "--help"}).options.help);
}

TEST(Options, AnUnknownOptionIsCalledAnOptionAndTheVersionAnswersAfterACommand) {
    EXPECT_EQ(0u, Parse({"--bogus"}).error.rfind("unknown option '--bogus'", 0))
        << Parse({"--bogus"}).error;
    EXPECT_EQ(0u, Parse({"frobnicate"}).error.rfind("unknown command 'frobnicate'", 0));
    for (const char* version : {"--version", "-V"}) {
        const ParseResult r = Parse({"pack", version});
        EXPECT_EQ("", r.error) << version;
        EXPECT_EQ(Command::Version, r.options.command) << version;
    }
}

// The options for scripts: -q and -v for every command but not together;
// a list of archives in place of named ones; --per-item for pack and
// --each for extract only.
TEST(Options, QuietVerboseListsPerItemAndEach) {
    struct Row {
        std::vector<const char*> args;
        bool ok;
        Verbosity verbosity;
    };
    const Row rows[] = {
        {{"pack", "-q", "a"}, true, Verbosity::Quiet},
        {{"list", "--verbose", "a.zip"}, true, Verbosity::Verbose},
        {{"test", "--quiet", "-T", "-"}, true, Verbosity::Quiet},
        {{"extract", "-v", "--null", "--files-from=list"}, true, Verbosity::Verbose},
        {{"list", "-@"}, true, Verbosity::Normal},
        {{"pack", "-q", "-v", "a"}, false, Verbosity::Normal},
        {{"list", "--null", "a.zip"}, false, Verbosity::Normal},  // --null without a list
        {{"test"}, false, Verbosity::Normal},
        {{"list", "--per-item", "a.zip"}, false, Verbosity::Normal},
        {{"pack", "--each", "a"}, false, Verbosity::Normal},
    };
    for (const Row& row : rows) {
        const ParseResult r = Parse(row.args);
        std::string line;
        for (const char* arg : row.args) line += std::string(arg) + " ";
        EXPECT_EQ(row.ok, r.error.empty()) << line << ": " << r.error;
        if (row.ok) {
            EXPECT_EQ(row.verbosity, r.options.verbosity) << line;
        }
    }
    EXPECT_TRUE(Parse({"pack", "--per-item", "a"}).options.perItem);
    EXPECT_TRUE(Parse({"extract", "--each", "a.zip"}).options.each);
    EXPECT_EQ("list", Parse({"test", "-T", "list"}).options.filesFrom);
}

}  // namespace

// kaltri packs the formats the format table marks for it, by their exact
// words; a format the table knows but kaltri does not pack is refused.
TEST(Options, PackFormatsAreTheTablesKaltriFormats) {
    EXPECT_EQ(kt::atLha, Parse({"pack", "-f", "lzh", "a"}).options.format);
    EXPECT_EQ(kt::atZip, Parse({"pack", "--format=zip", "a"}).options.format);
    for (const char* word : {"cab", "tar", "ZIP"})
        EXPECT_EQ("--format must be lzh or zip", Parse({"pack", "--format", word, "a"}).error)
            << word;
    EXPECT_NE(std::string::npos, UsageLine(Command::Pack).find("[--format lzh|zip] [--out DIR]"));
    EXPECT_NE(
        std::string::npos,
        HelpText(Command::Pack).find("  -f, --format lzh|zip     archive format (default lzh)\n"));
}
