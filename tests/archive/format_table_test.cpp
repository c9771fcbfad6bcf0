// The format table as the factory, detection and kaltri read it: a row
// that broke one of these rules would make a format unreachable or let one
// format shadow another.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>
#include <string>

#include "archive/archive_file.h"
#include "archive/archiver_factory.h"
#include "archive/format_table.h"
#include "archive/tar_driver.h"
#include "platform/ascii_case.h"

namespace kt {
namespace {

TEST(FormatTable, EveryExtensionLeadsBackToItsOwnRowInAnyCase) {
    std::set<std::string> seen;
    for (const TFormatRow& row : FormatTable()) {
        ASSERT_NE(row.Extensions[0], nullptr) << row.Name;  // a new archive needs one
        for (const char* ext : row.Extensions) {
            if (ext == nullptr) continue;
            EXPECT_TRUE(seen.insert(ext).second) << ext << " is claimed twice";
            EXPECT_EQ(ext, LowerAscii(ext)) << ext;
            std::string upper = ext;
            for (char& c : upper) c = UpperAscii(c);
            EXPECT_EQ(DetectArchiverType(std::string("/d/a") + ext, true), row.Type) << ext;
            EXPECT_EQ(DetectArchiverType("/d/a" + upper, true), row.Type) << upper;
        }
    }
    EXPECT_EQ(FindFormatByExtension(".exe"), nullptr);  // asks the probes instead
}

TEST(FormatTable, TypesNamesAndClassesAreEachUsedOnce) {
    std::set<int> types;
    std::set<std::string> names;
    std::set<const TArchiverClass*> classes;
    for (const TFormatRow& row : FormatTable()) {
        EXPECT_TRUE(types.insert(row.Type).second) << row.Name;
        EXPECT_TRUE(names.insert(row.Name).second) << row.Name;
        EXPECT_TRUE(classes.insert(row.Class).second) << row.Name;
        EXPECT_EQ(FindFormat(row.Type), &row);
        EXPECT_EQ(FindFormatByName(row.Name), &row);
        EXPECT_NE(row.Create, nullptr) << row.Name;
    }
    for (TArchiverType none : {atYz1, atNone, atAutoDetect}) EXPECT_EQ(FindFormat(none), nullptr);
    EXPECT_EQ(FindFormatByName("LZH"), nullptr);  // kaltri's words are exact
}

TEST(FormatTable, ProbesHaveDistinctPlacesAndGiveTheDesignedAskingOrder) {
    std::set<int> places;
    for (const TFormatRow& row : FormatTable()) {
        bool probed = row.Probe.IsArchive != nullptr || row.Probe.TypeOf != nullptr;
        EXPECT_EQ(probed, row.DetectionPlace >= 0) << row.Name;
        if (probed) {
            EXPECT_TRUE(places.insert(row.DetectionPlace).second) << row.Name;
        }
    }
    // TAR answers first; then RAR, ARJ, ZIP, BGA, CAB, LHA, a later yes
    // winning (a format added to the table may stand anywhere between).
    const TContentProbes& probes = ArchiverContentProbes();
    EXPECT_EQ(probes.Tar, &TTar32::ArchiveTypeOf);
    const std::vector<TArchiverType> designed = {atRar, atArj, atZip, atBga, atCab, atLha};
    std::vector<TArchiverType> asked, askedByDefault;
    for (const TContentProbes::YesNo& p : probes.Others) {
        EXPECT_EQ(p.IsArchive, FindFormat(p.Type)->Probe.IsArchive) << p.Type;
        if (std::find(designed.begin(), designed.end(), p.Type) != designed.end())
            asked.push_back(p.Type);
    }
    for (const TContentProbes::YesNo& p : TContentProbes().Others) {
        EXPECT_EQ(p.IsArchive, nullptr) << p.Type;
        if (std::find(designed.begin(), designed.end(), p.Type) != designed.end())
            askedByDefault.push_back(p.Type);
    }
    EXPECT_EQ(asked, designed);
    EXPECT_EQ(askedByDefault, designed);
}

}  // namespace
}  // namespace kt
