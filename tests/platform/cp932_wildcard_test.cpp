#include "platform/cp932.h"
#include "platform/wildcard.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp932, JapaneseTakesTwoBytesPerCharacterAndRoundTrips) {
    const std::string text = "日本語abc";
    std::string sjis = kt::Utf8ToCp932(text);
    EXPECT_EQ(9u, sjis.size());
    EXPECT_EQ(
        "\x93\xfa\x96\x7b\x8c\xea"
        "abc",
        sjis);
    EXPECT_EQ(text, kt::Cp932ToUtf8(sjis));
    EXPECT_EQ(6u, kt::Cp932Length("ＡＢＣ"));
    EXPECT_EQ(0u, kt::Cp932Length(""));
}

TEST(Cp932, CharactersOutsideCp932TravelAsUtf8OrAreReplaced) {
    bool lossless = true;
    std::string out = kt::Utf8ToCp932(
        "a\xF0\x9F\x98\x80"
        "b",
        &lossless);  // emoji
    EXPECT_FALSE(lossless);
    EXPECT_EQ(
        "a\xF0\x9F\x98\x80"
        "b",
        out);
    EXPECT_EQ("a_b", kt::Utf8ToCp932Replacing("a\xF0\x9F\x98\x80"
                                              "b",
                                              '_'));
    lossless = false;
    kt::Utf8ToCp932("plain", &lossless);
    EXPECT_TRUE(lossless);
}

TEST(Wildcard, StarAndQuestionIgnoreAsciiCase) {
    EXPECT_TRUE(kt::WildcardMatch("*.TXT", "readme.txt"));
    EXPECT_TRUE(kt::WildcardMatch("a?c", "ABC"));
    EXPECT_FALSE(kt::WildcardMatch("a?c", "ac"));
    EXPECT_TRUE(kt::WildcardMatch("*.*", "Makefile"));
    EXPECT_TRUE(kt::WildcardMatch("*", ""));
    EXPECT_FALSE(kt::WildcardMatch("*.c", "x.cpp"));
    EXPECT_TRUE(kt::WildcardMatch("?.txt", "日.txt"));
    EXPECT_TRUE(kt::WildcardMatch("*a*b*c", "xxaxxbxxbxc"));
    EXPECT_TRUE(kt::HasWildcard("a*"));
    EXPECT_FALSE(kt::HasWildcard("abc"));
}

}  // namespace
