// The two decisions each command operation makes besides its switches,
// for every driver at once: whether its file names go through the response
// file by the option set or by the caller's UseResFile, and whether the
// archive is named as given or by its absolute path.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <memory>

#include "archive/format_table.h"
#include "driver_fixture.h"

namespace kt {
namespace {

enum class Op { Unpack, Pack, RemoveItem, Update };
enum class ResFrom { Options, Caller };

struct Row {
    const char* what;
    TArchiverType type;
    Op op;
    const char* library;  // the fake that receives the line
    const char* entry;
    TResFileUse use;  // the operation's member of ResFileUsage
    ResFrom resFile;
    bool absoluteArchive;
};

const Row kRows[] = {
    {"LHA Unpack", atLha, Op::Unpack, "UNLHA32.DLL", "Unlha", ruOnUnpack, ResFrom::Options, false},
    {"LHA Pack", atLha, Op::Pack, "UNLHA32.DLL", "Unlha", ruOnPack, ResFrom::Options, false},
    {"LHA RemoveItem", atLha, Op::RemoveItem, "UNLHA32.DLL", "Unlha", ruOnRemoveItem,
     ResFrom::Options, false},
    {"LHA Update", atLha, Op::Update, "UNLHA32.DLL", "Unlha", ruOnUpdate, ResFrom::Options, false},
    {"CAB Unpack", atCab, Op::Unpack, "CAB32.DLL", "Cab", ruOnUnpack, ResFrom::Options, true},
    {"CAB Pack", atCab, Op::Pack, "CAB32.DLL", "Cab", ruOnPack, ResFrom::Options, false},
    {"TAR Unpack", atTar, Op::Unpack, "tar32.dll", "Tar", ruOnUnpack, ResFrom::Options, false},
    {"TGZ Pack", atTgz, Op::Pack, "tar32.dll", "Tar", ruOnPack, ResFrom::Options, false},
    {"RAR Unpack", atRar, Op::Unpack, "UNRAR32.DLL", "Unrar", ruOnUnpack, ResFrom::Options, false},
    {"BGA Unpack", atBga, Op::Unpack, "BGA32.DLL", "Bga", ruOnUnpack, ResFrom::Caller, false},
    {"BGA Pack", atBga, Op::Pack, "BGA32.DLL", "Bga", ruOnPack, ResFrom::Caller, false},
    {"BGA RemoveItem", atBga, Op::RemoveItem, "BGA32.DLL", "Bga", ruOnRemoveItem, ResFrom::Options,
     false},
    {"ARJ Unpack", atArj, Op::Unpack, "UNARJ32J.DLL", "Unarj", ruOnUnpack, ResFrom::Caller, false},
    {"ARJ Pack (through LHA)", atArj, Op::Pack, "UNLHA32.DLL", "Unlha", ruOnPack, ResFrom::Options,
     false},
    {"ZIP Unpack", atZip, Op::Unpack, "UNZIP32.DLL", "UnZip", ruOnUnpack, ResFrom::Caller, false},
    {"ZIP Pack", atZip, Op::Pack, "ZIP32J.DLL", "Zip", ruOnPack, ResFrom::Caller, false},
};

std::vector<const TArchiverClass*> AllClasses() {
    std::vector<const TArchiverClass*> classes;
    for (const TFormatRow& row : FormatTable()) classes.push_back(row.Class);
    return classes;
}

class DriverCommands : public test::DriverTest, public ::testing::WithParamInterface<Row> {
protected:
    DriverCommands() : DriverTest(AllClasses()) {
        for (const char* lib : {"UNLHA32.DLL", "CAB32.DLL", "tar32.dll", "UNRAR32.DLL", "BGA32.DLL",
                                "UNARJ32J.DLL", "UNZIP32.DLL"})
            fakes.Install(lib, FakeVariant(lib));
        fakes.Install("ZIP32J.DLL", "Zip");
    }
    static const char* FakeVariant(const std::string& lib) {
        if (lib == "UNLHA32.DLL") return "Unlha";
        if (lib == "CAB32.DLL") return "Cab";
        if (lib == "tar32.dll") return "Tar";
        if (lib == "UNRAR32.DLL") return "Unrar";
        if (lib == "BGA32.DLL") return "Bga";
        if (lib == "UNARJ32J.DLL") return "Unarj";
        return "UnZip";
    }

    // The line the row's operation hands its library.
    std::string Run(const Row& row, const TArchiverOptions& o, bool useResFile) {
        std::unique_ptr<TArchiver> d = FindFormat(row.type)->Create();
        switch (row.op) {
            case Op::Unpack:
                d->Unpack(nullptr, "rel/a.arc", o, "", {"f"}, useResFile, out);
                break;
            case Op::Pack:
                d->Pack(nullptr, "rel/a.arc", o, "", {"f"}, useResFile, out);
                break;
            case Op::RemoveItem:
                d->RemoveItem(nullptr, "rel/a.arc", o, "", {"f"}, useResFile, out);
                break;
            case Op::Update:
                d->Update(nullptr, "rel/a.arc", o, "", {"f"}, useResFile, out);
                break;
        }
        return LastLine(row.library, row.entry);
    }
};

TEST_P(DriverCommands, ResponseFileSourceAndArchiveForm) {
    const Row& row = GetParam();
    std::string list = fakes.Path() + "/list";
    TArchiverOptions o;
    o.ResFileName = list;
    const std::string ref = "@" + list;

    // Only the operation's own member set, caller says no.
    o.ResFileUsage = {row.use};
    std::string line = Run(row, o, false);
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.find(ref) != std::string::npos, row.resFile == ResFrom::Options) << line;

    // Every other member set, caller says yes.
    o.ResFileUsage = {ruOnPack, ruOnUnpack, ruOnRemoveItem, ruOnUpdate};
    o.ResFileUsage.Exclude(row.use);
    line = Run(row, o, true);
    EXPECT_EQ(line.find(ref) != std::string::npos, row.resFile == ResFrom::Caller) << line;

    std::string absolute = std::filesystem::current_path().string() + "/rel/a.arc";
    EXPECT_EQ(line.find(absolute) != std::string::npos, row.absoluteArchive) << line;
    EXPECT_EQ(line.find("\"rel/a.arc\"") != std::string::npos, !row.absoluteArchive) << line;
}

INSTANTIATE_TEST_SUITE_P(EveryDriver, DriverCommands, ::testing::ValuesIn(kRows),
                         [](const auto& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

}  // namespace
}  // namespace kt
