// The mapping from archive type to driver class, and the class-level
// content probes that format detection asks, in their fixed order.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archiver.h"
#include "archive/archiver_types.h"

namespace kt {

// A new driver of the class the format table gives Type. Its
// construction loads the library and raises the driver's message when the
// library is missing. Null for a type without a driver class.
std::unique_ptr<TArchiver> CreateArchiver(TArchiverType Type);

// The probes of format detection by content, in asking order (the rows of
// the format table by their place). Tar answers atTar, atTgz, atBZ2 or
// atNone and its answer is the starting result; each of the others answers
// whether the file is an archive of its type, a later yes winning. None of
// them raises. A null probe answers no.
struct TContentProbes {
    TArchiverType (*Tar)(const std::string& FileName) = nullptr;
    struct YesNo {
        TArchiverType Type;
        bool (*IsArchive)(const std::string& FileName);
    };
    // The table's yes/no formats in asking order, with no probes set.
    static std::vector<YesNo> AskingOrder();
    // RAR, ARJ, ZIP, BGA, CAB, LHA with the table as it is.
    std::vector<YesNo> Others = AskingOrder();
};

// The drivers' own probes.
const TContentProbes& ArchiverContentProbes();

// Every driver class, for code that must reach all library states (tests
// that start from unloaded libraries).
std::vector<const TArchiverClass*> ArchiverClasses();

// Tests only: replaces the type mapping and the probes (an empty function
// or null restores the drivers' own).
using TArchiverFactory = std::function<std::unique_ptr<TArchiver>(TArchiverType)>;
void SetArchiverFactoryForTesting(TArchiverFactory Factory);
void SetContentProbesForTesting(const TContentProbes* Probes);

}  // namespace kt
