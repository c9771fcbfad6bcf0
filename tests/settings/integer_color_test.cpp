#include <gtest/gtest.h>

#include "platform/color_names.h"
#include "settings/integer_syntax.h"

namespace {

using kt::ParseInteger;

TEST(IntegerSyntax, AcceptsDecimalAndDollarHexWithSignAndLeadingBlanks) {
    EXPECT_EQ(120, ParseInteger("120"));
    EXPECT_EQ(-7, ParseInteger("  -7"));
    EXPECT_EQ(5, ParseInteger("+5"));
    EXPECT_EQ(255, ParseInteger("$ff"));
    EXPECT_EQ(-16, ParseInteger("-$10"));
    EXPECT_EQ(2147483647, ParseInteger("2147483647"));
    EXPECT_EQ(-2147483647 - 1, ParseInteger("-2147483648"));
    // Hexadecimal may use all 32 bits: system colours and -1.
    EXPECT_EQ(-1, ParseInteger("$FFFFFFFF"));
    EXPECT_EQ(static_cast<std::int32_t>(0x80000005u), ParseInteger("$80000005"));
}

TEST(IntegerSyntax, AnythingElseIsNotANumber) {
    for (const char* text : {"", " ", "-", "$", "12 ", "1.5", "0x10", "$1G", "2147483648",
                             "-2147483649", "$100000000", "TRUE", "１２"})
        EXPECT_FALSE(ParseInteger(text).has_value()) << text;
}

TEST(ColorNames, NamedColoursGoByNameOthersAsEightHexDigits) {
    EXPECT_EQ("clRed", kt::ColorToString(kt::clRed));
    EXPECT_EQ("$00ABCDEF", kt::ColorToString(0x00ABCDEF));
    EXPECT_EQ("clInfoBk", kt::ColorToString(static_cast<kt::TColor>(0x80000018u)));
    EXPECT_EQ("$80000019", kt::ColorToString(static_cast<kt::TColor>(0x80000019u)));
    EXPECT_EQ("clNone", kt::ColorToString(0x1FFFFFFF));
    EXPECT_EQ("clBtnFace", kt::ColorToString(kt::clBtnFace));
    EXPECT_EQ(kt::clBlue, kt::IdentToColor("CLBLUE"));
    EXPECT_EQ(kt::cl3DDkShadow, kt::IdentToColor("cl3DDkShadow"));
    EXPECT_FALSE(kt::IdentToColor("clMoneyGreen").has_value());
}

}  // namespace
