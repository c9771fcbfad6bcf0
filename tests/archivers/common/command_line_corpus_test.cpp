// The seed corpora of the command-line parser fuzz targets, replayed: each
// seed is a command line a driver really writes, so each must parse, and
// each with its first or last bytes cut must still give either a command or
// a reasoned refusal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "archivers/fuzz/command_line_fuzz_bodies.h"

namespace {

namespace fs = std::filesystem;
using kt::fuzz::Parser;

int Replay(const char* folder, Parser parser) {
    int seeds = 0;
    for (const auto& e : fs::directory_iterator(
             fs::path(KT_SOURCE_DIR) / "tests/archivers/common/command_line_corpus" / folder)) {
        std::ifstream in(e.path(), std::ios::binary);
        std::string line((std::istreambuf_iterator<char>(in)), {});
        const auto* bytes = reinterpret_cast<const uint8_t*>(line.data());
        bool explained = false;
        EXPECT_EQ(kt::fuzz::ParseCommandLine(parser, bytes, line.size(), &explained), 0)
            << e.path() << ": " << line;
        for (std::size_t cut = 1; cut < line.size(); ++cut) {
            kt::fuzz::ParseCommandLine(parser, bytes, cut, &explained);
            EXPECT_TRUE(explained)
                << e.path() << " cut to " << cut << " bytes: refused without a reason";
            kt::fuzz::ParseCommandLine(parser, bytes + cut, line.size() - cut, &explained);
            EXPECT_TRUE(explained)
                << e.path() << " from byte " << cut << ": refused without a reason";
        }
        ++seeds;
    }
    return seeds;
}

TEST(CommandLineCorpus, EverySeedParsesAndEveryCutOneIsAnsweredWithAReason) {
    EXPECT_GT(Replay("lha", Parser::Lha), 0);
    EXPECT_GT(Replay("unzip", Parser::Unzip), 0);
    EXPECT_GT(Replay("zip", Parser::Zip), 0);
    EXPECT_GT(Replay("tar", Parser::Tar), 0);
    EXPECT_GT(Replay("cab", Parser::Cab), 0);
    EXPECT_GT(Replay("unrar", Parser::Unrar), 0);
}

TEST(CommandLineCorpus, FuzzFindingsStayAnswered) {
    // lha_command_fuzz: a switch value past the limit was refused with no
    // reason at all, so the caller's report said nothing.
    const std::string tooLarge = "-jm54659669 a.lzh";
    bool explained = false;
    EXPECT_NE(
        kt::fuzz::ParseCommandLine(Parser::Lha, reinterpret_cast<const uint8_t*>(tooLarge.data()),
                                   tooLarge.size(), &explained),
        0);
    EXPECT_TRUE(explained);
}

}  // namespace
