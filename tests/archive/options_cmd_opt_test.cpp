// The option set and the command builder: what reaches a library's command
// line (quoting, unset values left out) and the response file's bytes.
#include <gtest/gtest.h>

#include "archive/archiver_options.h"
#include "archive/cmd_opt.h"
#include "archive/nul_items.h"
#include "archive/earchiver.h"
#include "test_folder.h"

namespace kt {
namespace {

TEST(ArchiverOptions, FreshSetHasEverySwitchUnset) {
    TArchiverOptions o;
    EXPECT_EQ(TArchiverOptions::NumberSwitches.size(), 47u);
    for (const auto& sw : TArchiverOptions::NumberSwitches) EXPECT_EQ(o.*sw.field, -1) << sw.name;
    for (const auto& sw : TArchiverOptions::TextSwitches)
        EXPECT_TRUE(IsUnset(o.*sw.field)) << sw.name;
    EXPECT_TRUE(o.jx.empty());
    EXPECT_EQ(o.UserOptions, "");
    EXPECT_EQ(o.UserFileList, "");
    EXPECT_EQ(o.ResFileName, "");
    EXPECT_EQ(o.PackFilter, pfComponent);
    EXPECT_EQ(o.ResFileUsage, (TResFileUsage{ruOnPack, ruOnUnpack, ruOnRemoveItem}));
    EXPECT_FALSE(o.ResFileUsage.Contains(ruOnUpdate));
}

TEST(ArchiverOptions, UnsetStringIsOneZeroCharacterAndDiffersFromEmpty) {
    EXPECT_EQ(UnsetString.size(), 1u);
    EXPECT_EQ(UnsetString[0], '\0');
    EXPECT_FALSE(IsUnset(""));
    EXPECT_FALSE(IsUnset(std::string(2, '\0')));
}

TEST(ArchiverOptions, ResetReturnsEveryPropertyToItsInitialValue) {
    TArchiverOptions o;
    for (const auto& sw : TArchiverOptions::NumberSwitches) o.*sw.field = 3;
    for (const auto& sw : TArchiverOptions::TextSwitches) o.*sw.field = "v";
    o.jx = {"*.bak"};
    o.UserOptions = "-p";
    o.UserFileList = "x";
    o.ResFileName = "/tmp/r";
    o.PackFilter = pfArchiver;
    o.ResFileUsage = {ruOnUpdate};
    o.Reset();
    EXPECT_EQ(o, TArchiverOptions());
}

TEST(ArchiverOptions, CopyTakesEveryPropertyIncludingResFileUsageAndJx) {
    TArchiverOptions source;
    source.ResFileUsage = {ruOnUpdate};
    source.jx = {"a", "b"};
    source.n = 1;
    source.jo = "010401";
    source.PackFilter = pfArchiver;
    TArchiverOptions target;
    target.jx = {"old"};
    target.Assign(source);
    EXPECT_EQ(target.ResFileUsage, TResFileUsage{ruOnUpdate});
    EXPECT_EQ(target.jx, (TStringList{"a", "b"}));
    EXPECT_EQ(target, source);
    source.jx.push_back("c");  // the copy owns its own list
    EXPECT_EQ(target.jx.size(), 2u);
}

TEST(CmdOpt, TextAlwaysAddsOneBlankEvenWhenEmpty) {
    TCmdOpt c;
    c.AddText("");
    EXPECT_EQ(c.CmdLine, " ");
    c.AddText("-+");
    EXPECT_EQ(c.CmdLine, "  -+");
}

TEST(CmdOpt, StrOptForms) {
    TCmdOpt c;
    c.AddStrOpt("jo", UnsetString);
    EXPECT_EQ(c.CmdLine, "");
    c.AddStrOpt("jo", "");
    EXPECT_EQ(c.CmdLine, " \"-jo\"");
    c.CmdLine.clear();
    c.AddStrOpt("jo", "010401");
    EXPECT_EQ(c.CmdLine, " \"-jo010401\"");
    c.CmdLine.clear();
    c.AddStrOpt("", "/a b/A.LZH");
    EXPECT_EQ(c.CmdLine, " \"/a b/A.LZH\"");
    c.CmdLine.clear();
    c.AddStrOpt(" raw", "v");  // a name beginning with a blank loses it instead of getting "-"
    EXPECT_EQ(c.CmdLine, " \"rawv\"");
    c.CmdLine.clear();
    c.AddStrOpt("-long=", "v");  // a name beginning with a hyphen gets a second one
    EXPECT_EQ(c.CmdLine, " \"--long=v\"");
}

TEST(CmdOpt, SeparateValueWritesSwitchBlankQuotedValue) {
    TCmdOpt c;
    c.SeparateValue = true;
    c.AddStrOpt("f", "/out/a.tar");
    EXPECT_EQ(c.CmdLine, " -f \"/out/a.tar\"");
    c.CmdLine.clear();
    c.AddStrOpt("", "/x");  // no name: the quoted value alone, whatever the form
    EXPECT_EQ(c.CmdLine, " \"/x\"");
    c.CmdLine.clear();
    c.AddStrOpt("f", UnsetString);
    EXPECT_EQ(c.CmdLine, "");
}

TEST(CmdOpt, IntAndBoolOpts) {
    TCmdOpt c;
    c.AddIntOpt("x", -1);
    EXPECT_EQ(c.CmdLine, "");
    c.AddIntOpt("x", 0);
    EXPECT_EQ(c.CmdLine, " -x0");
    c.AddIntOpt("", 9);
    EXPECT_EQ(c.CmdLine, " -x0 -9");
    c.CmdLine.clear();
    c.AddIntOpt("-check-all-path=", 1);
    EXPECT_EQ(c.CmdLine, " --check-all-path=1");
    c.CmdLine.clear();
    c.AddIntOpt("jm", -2);  // only -1 is "unset"
    EXPECT_EQ(c.CmdLine, " -jm-2");
    c.CmdLine.clear();
    c.AddBoolOpt("i", false);
    EXPECT_EQ(c.CmdLine, "");
    c.AddBoolOpt("i", true);
    EXPECT_EQ(c.CmdLine, " -i");
}

TEST(CmdOpt, DirNameEnsuresOneTrailingSlash) {
    TCmdOpt c;
    c.AddDirName("", "/tmp");
    EXPECT_EQ(c.CmdLine, " \"/tmp/\"");
    c.CmdLine.clear();
    c.AddDirName("", "/tmp/");
    EXPECT_EQ(c.CmdLine, " \"/tmp/\"");
    c.CmdLine.clear();
    c.AddDirName("", "");
    c.AddDirName("", UnsetString);
    EXPECT_EQ(c.CmdLine, "");
    c.AddDirName("", "/データ");  // last character multi-byte: no byte of it is "/"
    EXPECT_EQ(c.CmdLine, " \"/データ/\"");
    c.CmdLine.clear();
    c.SeparateValue = true;
    c.AddDirName("o", "/x");
    EXPECT_EQ(c.CmdLine, " -o \"/x/\"");
}

TEST(CmdOpt, FileNamesTakeEveryElementFormAndTheConverter) {
    const char* array[] = {"/p1", "/p2", nullptr};
    TStringList strings = {"/s1", "/s2"};
    TFileList files = {std::string("/a"),
                       std::wstring(L"/wide/データ"),
                       std::u16string(u"/u16/\U0001F600"),
                       "/ptr",
                       TCharPtrArray{array},
                       TCharPtrArray{nullptr},
                       strings,
                       TObjectRef{&strings},
                       TObjectRef{nullptr},
                       TVariant{TVarValue{std::int64_t{7}}},
                       TVariant{std::vector<TVarValue>{std::string("/v"), 1.5, true}},
                       TIgnoredElement{}};
    TCmdOpt c;
    c.OnConvertName = [](const std::string& s) { return s + "!"; };
    c.AddFileNames("", files);
    EXPECT_EQ(c.CmdLine,
              " \"/a!\" \"/wide/データ!\" \"/u16/\xF0\x9F\x98\x80!\" \"/ptr!\" \"/p1!\" \"/p2!\" "
              "\"/s1!\" \"/s2!\" \"/s1!\" \"/s2!\" \"7!\" \"/v!\" \"1.5!\" \"True!\"");
}

TEST(CmdOpt, WideAndEightBitElementsGiveTheSameName) {
    TCmdOpt wide, narrow;
    wide.AddFileNames("", {std::wstring(L"/tmp/日本語.txt")});
    narrow.AddFileNames("", {std::string("/tmp/日本語.txt")});
    EXPECT_EQ(wide.CmdLine, narrow.CmdLine);
}

TEST(CmdOpt, ListFileHasExactBytesAndTheQuotedReference) {
    test::TempFolder dir;
    std::string list = dir / "resp.txt";
    dir.Write("resp.txt", "old content that must go away entirely");
    TCmdOpt c;
    c.OnConvertName = [](const std::string& s) { return "<" + s + ">"; };
    c.AddListFile({TStringList{"/in/a.txt", "/in/日本.txt"}}, list);
    EXPECT_EQ(test::ReadAll(list), "\"</in/a.txt>\"\r\n\"</in/日本.txt>\"\r\n");
    EXPECT_EQ(c.CmdLine, " \"@" + list + "\"");
}

TEST(CmdOpt, EmptyListFileIsCreatedEmpty) {
    test::TempFolder dir;
    TCmdOpt c;
    c.AddListFile({}, dir / "r");
    EXPECT_EQ(test::ReadAll(dir / "r"), "");
    EXPECT_EQ(c.CmdLine, " \"@" + (dir / "r") + "\"");
}

TEST(CmdOpt, UncreatableListFileRaisesAndAddsNothing) {
    test::TempFolder dir;
    TCmdOpt c;
    EXPECT_THROW(c.AddListFile({std::string("/a")}, dir / "missing/r"), EFCreateError);
    EXPECT_EQ(c.CmdLine, "");
}

}  // namespace
}  // namespace kt

namespace kt {
namespace {

// Linux names may hold characters the command language cannot carry; such a
// name must never turn into other names on the library's side.
TEST(CmdOpt, NamesNoQuotesCanCarryTravelAsNulItemsAndNeverSplit) {
    // A name that quotes would split into other names (`a" "/etc/passwd`) or
    // a line that would end early goes whole in a file of NUL-ended items,
    // named by the libraries' --items0= switch; the file goes with the call.
    TCmdOpt c;
    c.AddName("", "/ok");
    c.AddName("", "/a\" \"/etc/passwd");
    c.AddFileNames("", {std::string("/b"), std::string("q\"\n")});
    const std::string prefix = " \"/ok\" \"--items0=";
    ASSERT_EQ(c.CmdLine.rfind(prefix, 0), 0u) << c.CmdLine;
    std::vector<std::string> files;
    for (std::size_t at = 0; (at = c.CmdLine.find("--items0=", at)) != std::string::npos;) {
        const std::size_t end = c.CmdLine.find('"', at);
        files.push_back(c.CmdLine.substr(at + 9, end - at - 9));
        at = end;
    }
    ASSERT_EQ(files.size(), 2u) << c.CmdLine;
    EXPECT_NE(c.CmdLine.find(" \"/b\" \"--items0="), std::string::npos) << c.CmdLine;
    EXPECT_EQ(test::ReadAll(files[0]), std::string("/a\" \"/etc/passwd\0", 17));
    EXPECT_EQ(test::ReadAll(files[1]), std::string("q\"\n\0", 4));
    RemoveNulItemsFiles();
    for (const std::string& f : files) EXPECT_FALSE(std::filesystem::exists(f)) << f;

    test::TempFolder dir;
    TCmdOpt list;
    list.AddListFile({std::string("/a"), std::string("/x\n/etc/passwd")}, dir / "r");
    EXPECT_EQ(test::ReadAll(dir / "r"), std::string("/a\0/x\n/etc/passwd\0", 18));
    EXPECT_EQ(list.CmdLine, " \"--items0=" + (dir / "r") + "\"");
    // Inside a response file a quote is harmless: the line keeps it whole.
    TCmdOpt quoted;
    quoted.AddListFile({std::string("/a\"b")}, dir / "r");
    EXPECT_EQ(test::ReadAll(dir / "r"), "\"/a\"b\"\r\n");
    EXPECT_EQ(quoted.CmdLine, " \"@" + (dir / "r") + "\"");
}

}  // namespace
}  // namespace kt
