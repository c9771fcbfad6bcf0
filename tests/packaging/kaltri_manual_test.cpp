// The manual page and the bash completion describe the kaltri that is built:
// the same commands, and for each command the same options as its --help,
// so neither can drift when an option is added or renamed.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/cli/kaltri_process.h"

namespace {

using kaltri_test::kKaltri;
using kaltri_test::Q;
using kaltri_test::Read;
using kaltri_test::Sh;

using Words = std::set<std::string>;

const std::string kPackaging = std::string(KT_SOURCE_DIR) + "/packaging/";
const Words kCommands = {"pack", "list", "test", "extract"};

// The options of a help text's option table: the leading "-x, --long" words
// of lines that begin with an option.
Words HelpOptions(const std::string& help) {
    Words options;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word;
        while (words >> word && word[0] == '-') {
            if (word.back() == ',') word.pop_back();
            options.insert(word);
        }
    }
    return options;
}

// The manual page as plain text: font changes dropped, "\-" made "-".
std::string PlainRoff(std::string text) {
    text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
    return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

// The options of each ".SS" section of the manual (key: the command), and of
// the general OPTIONS section (key: ""): the option words of every .TP tag.
std::map<std::string, Words> ManualOptions(const std::string& roff) {
    std::map<std::string, Words> sections;
    std::string current = "\x01";  // outside any option table
    std::istringstream lines(PlainRoff(roff));
    bool tag = false;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, std::regex(R"re(\.SS "kaltri (\w+)")re"))) {
            current = m[1];
            sections[current];
        } else if (line == ".SH OPTIONS") {
            current = "";
        } else if (line.rfind(".SH", 0) == 0) {
            current = "\x01";
        } else if (line == ".TP") {
            tag = true;
            continue;
        } else if (tag && current != "\x01") {
            std::istringstream words(line);
            std::string word;
            while (words >> word && word[0] == '-') {
                if (word.back() == ',') word.pop_back();
                sections[current].insert(word);
            }
        }
        tag = false;
    }
    return sections;
}

TEST(KaltriManual, EachCommandHasTheOptionsOfItsHelp) {
    const auto manual = ManualOptions(Read(kPackaging + "kaltri.1"));
    for (const std::string& command : kCommands) {
        const auto help = Sh(Q(kKaltri) + " " + command + " --help");
        ASSERT_EQ(help.code, 0) << help.out;
        ASSERT_TRUE(manual.count(command)) << "no section for " << command;
        EXPECT_EQ(manual.at(command), HelpOptions(help.out)) << command;
    }
    Words sections;
    for (const auto& [name, options] : manual)
        if (!name.empty()) sections.insert(name);
    EXPECT_EQ(sections, kCommands);
}

TEST(KaltriManual, GeneralOptionsAreTheHelpsAndAllWork) {
    const auto help = Sh(Q(kKaltri) + " --help");
    ASSERT_EQ(help.code, 0) << help.out;
    // The general help names each command in a line "kaltri COMMAND ...".
    Words named;
    const std::regex commandLine(R"(^\s+kaltri (-*\w[\w-]*))");
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, commandLine)) named.insert(m[1]);
    }
    Words commands, options;
    for (const std::string& word : named) (word[0] == '-' ? options : commands).insert(word);
    EXPECT_EQ(commands, kCommands);
    const auto general = ManualOptions(Read(kPackaging + "kaltri.1")).at("");
    for (const std::string& option : options)
        EXPECT_TRUE(general.count(option)) << option << " missing in the manual";
    // Each general option of the manual is one kaltri takes on its own.
    for (const std::string& option : general) {
        const auto run = Sh(Q(kKaltri) + " " + option);
        EXPECT_EQ(run.code, 0) << option << ": " << run.out;
        EXPECT_FALSE(run.out.empty()) << option;
    }
}

// What the completion offers for the words typed so far (the last one is
// the word being completed).
Words Completions(const std::string& typed) {
    kaltri_test::Tree scratch;
    const std::string script =
        scratch.Make("complete.sh", "source " + Q(kPackaging + "kaltri.bash-completion") + "\n" +
                                        "COMP_WORDS=(" + typed + ")\n" +
                                        "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                                        "_kaltri\n"
                                        "printf '%s\\n' \"${COMPREPLY[@]}\"\n");
    const auto run = Sh("bash " + Q(script));
    Words words;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) words.insert(line);
    return words;
}

TEST(KaltriCompletion, OffersTheCommandsAndEachCommandsOptions) {
    EXPECT_EQ(Completions("kaltri ''"),
              (Words{"pack", "list", "test", "extract", "--help", "--version"}));
    for (const std::string& command : kCommands) {
        Words expected = HelpOptions(Sh(Q(kKaltri) + " " + command + " --help").out);
        expected.insert("--help");
        EXPECT_EQ(Completions("kaltri " + command + " -"), expected) << command;
    }
    EXPECT_EQ(Completions("kaltri pack --format ''"), (Words{"lzh", "zip"}));
    EXPECT_EQ(Completions("kaltri pack -f z"), (Words{"zip"}));
    // "--format=" reaches the function as "--format" "=" and then the value.
    EXPECT_EQ(Completions("kaltri pack --format ="), (Words{"lzh", "zip"}));
    EXPECT_EQ(Completions("kaltri pack --format = l"), (Words{"lzh"}));
    EXPECT_EQ(Completions("kaltri pack --overwrite = a"), (Words{"ask", "all"}));
    EXPECT_EQ(Completions("kaltri extract --overwrite ''"), (Words{"ask", "all", "none"}));
    EXPECT_EQ(Completions("kaltri pack --on-error ''"), (Words{"ask", "continue", "stop"}));
    EXPECT_EQ(Completions("kaltri pack --on-clash ''"), (Words{"fail", "rename"}));
}

TEST(KaltriCompletion, OffersFoldersForOutAndFilesForPaths) {
    kaltri_test::Tree tree;
    tree.Make("box/inner.txt", "x");
    tree.Make("bag.lzh", "x");
    EXPECT_EQ(Completions("kaltri pack --out " + Q(tree.root + "/b")), (Words{tree.root + "/box"}));
    EXPECT_EQ(Completions("kaltri list " + Q(tree.root + "/b")),
              (Words{tree.root + "/box", tree.root + "/bag.lzh"}));
}

}  // namespace
