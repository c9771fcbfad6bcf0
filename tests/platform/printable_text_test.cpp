// Names from archives on a terminal: nothing in them may act as a control.
#include "platform/printable_text.h"

#include <gtest/gtest.h>

namespace {

TEST(PrintableText, ControlsBecomeVisibleEscapes) {
    EXPECT_EQ(kt::PrintableText("a\x1b[2Jb"), "a\\x1B[2Jb");
    EXPECT_EQ(kt::PrintableText("line\r\nforged OK"), "line\\x0D\\x0Aforged OK");
    EXPECT_EQ(kt::PrintableText(std::string("nul\0tab\tdel\x7f", 12)), "nul\\x00tab\\x09del\\x7F");
    // C1 controls in their UTF-8 form (U+009B is a control sequence start).
    EXPECT_EQ(kt::PrintableText("x\xC2\x9B"
                                "1m"),
              "x\\xC2\\x9B1m");
}

TEST(PrintableText, BytesOutsideUtf8AreEscapedAndValidTextIsKept) {
    EXPECT_EQ(kt::PrintableText("日本語 é ü ﾃｽﾄ 😀"), "日本語 é ü ﾃｽﾄ 😀");
    EXPECT_EQ(kt::PrintableText("\x9B"
                                "31m"),
              "\\x9B31m");
    EXPECT_EQ(kt::PrintableText("cp932 \x83\x65\x83\x58"), "cp932 \\x83e\\x83X");
    EXPECT_EQ(kt::PrintableText("cut \xE6\x97"), "cut \\xE6\\x97");
    EXPECT_EQ(kt::PrintableText("surrogate \xED\xA0\x80"), "surrogate \\xED\\xA0\\x80");
    EXPECT_EQ(kt::PrintableText("overlong \xC0\xAF"), "overlong \\xC0\\xAF");
    EXPECT_EQ(kt::PrintableText(""), "");
}

}  // namespace
