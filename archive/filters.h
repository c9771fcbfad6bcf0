// File collection before packing: turns the caller's file list (names,
// wildcard patterns, folders) into the sorted list of existing files,
// applying the option set's filters: hidden files (a), subfolders (r, p),
// last-write time range (jo, job) and patterns to leave out (jx).
//
// Names are case-sensitive: only exact duplicates are dropped and only
// exact texts excluded; the order is without regard to ASCII case. "*" and
// "?" match without regard to ASCII case and "*.*" matches every name; a
// name without wildcards is looked for exactly. Hidden means a name
// beginning with "."; only regular files are collected (links to files are
// followed, links to folders never descended into). ji has no effect:
// there are no short names, long names are kept.
#pragma once

#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "archive/archiver_options.h"
#include "archive/archiver_types.h"

namespace kt {

// A collection result: sorted without regard to ASCII case (names that
// differ only in case keep a fixed order), each exact text once.
class TFileNameList {
public:
    // Adds the name; true when the list grew.
    bool Add(const std::string& name) { return names_.insert(name).second; }
    bool Contains(const std::string& name) const { return names_.count(name) != 0; }
    std::size_t Count() const { return names_.size(); }
    bool Empty() const { return names_.empty(); }
    TStringList Names() const { return TStringList(names_.begin(), names_.end()); }

private:
    struct Less {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    std::set<std::string, Less> names_;
};

// Expands Files with the filters of Options, inside BaseDir (made the
// current folder for the run when not empty, then restored). Afterwards
// Options.r is -1, jo and job unset and p is 1, so a library does not
// filter again. Progress gets StateFileCollected once per collected file;
// setting Abort stops the collection, which still returns what it found.
// Raises EInOutError when BaseDir cannot be entered or the folder not
// restored, EConvertError for a malformed jo or job.
TFileNameList CollectFiles(TArchiverOptions& Options, const std::string& BaseDir,
                           const TFileList& Files, bool& Aborted, const TFileProgress& Progress);

// The files the patterns name. With no patterns and Main true, every file
// of the current folder. Exclude (may be null) holds names left out.
TFileNameList BuildFileList(const TArchiverOptions& Options, const TStringList* Patterns,
                            const TFileNameList* Exclude, bool Main, bool& Aborted,
                            const TFileProgress& Progress);

// A date switch (YYMMDD, YYMMDDhhmmss, YYYYMMDD or YYYYMMDDhhmmss, with an
// optional leading "l") as a local-time timestamp; DefaultTime (hhmmss)
// supplies the time of day when the text has none. 0 for any other length
// (no limit). Raises EConvertError for non-digits or a date or time that
// does not exist.
std::time_t ParseSwitchDate(const std::string& Text, const std::string& DefaultTime);
std::time_t ParseSwitchDate(const std::string& Text, const std::string& DefaultTime,
                            int CurrentYear);

// A two-digit year in the hundred years around CurrentYear: with C =
// CurrentYear, YY + ((C - 50) div 100) * 100, plus 100 when that is below
// C - 50.
int ExpandTwoDigitYear(int YY, int CurrentYear);

// Name when Dir is empty, Dir + Name when Dir ends in "/", else
// Dir + "/" + Name.
std::string JoinPath(const std::string& Dir, const std::string& Name);

// The part of Pattern after its last "/" (all of it when there is none).
std::string ExtractMask(const std::string& Pattern);

// The folder part of Pattern: up to its last "/", which is left off unless
// it is the root ("/A.TXT" gives "/", "/DIR/A.TXT" "/DIR", "A.TXT" "").
std::string ExtractFolder(const std::string& Pattern);

}  // namespace kt
