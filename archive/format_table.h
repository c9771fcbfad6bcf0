// The formats the layer knows, one row each: the archive type, its
// extensions, its driver class, its library, its content probe and its
// place in the detection order. The factory, detection by extension and by
// content, and kaltri's format list all read this table; adding a format is
// adding a row (and its driver).
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "archive/archiver.h"
#include "archive/archiver_types.h"

namespace kt {

// A format's content probe; never raises. IsArchive answers whether the
// file is an archive of the row's type; TypeOf answers a type of the row's
// family (the TAR library tells tar, gzip- and bzip2-packed tar apart) or
// atNone. A row without either is found only by extension.
struct TFormatProbe {
    bool (*IsArchive)(const std::string& FileName) = nullptr;
    TArchiverType (*TypeOf)(const std::string& FileName) = nullptr;
};

struct TFormatRow {
    TArchiverType Type;
    // The format's word, as kaltri's --format takes it.
    const char* Name;
    // Lower-case, with the dot; the first is the one a new archive gets.
    // Unused places are null.
    std::array<const char*, 4> Extensions;
    // A new driver of the format's class: its construction loads the
    // library and raises the driver's message when it is missing.
    std::unique_ptr<TArchiver> (*Create)();
    const TArchiverClass* Class;
    // The library file (or files) the driver loads.
    const char* Library;
    TFormatProbe Probe;
    // When content detection asks this row's probe: lower first. Every
    // probe is asked and a later answer wins, so the last asked has the
    // highest priority. -1 for a row without a probe.
    int DetectionPlace;
    // Whether kaltri offers the format for packing.
    bool KaltriPacks;
};

// Every format, in the order of TArchiverType.
std::span<const TFormatRow> FormatTable();

// The row of Type; null for atYz1, atNone, atAutoDetect.
const TFormatRow* FindFormat(TArchiverType Type);
// The row whose Name is exactly Word; null when none.
const TFormatRow* FindFormatByName(std::string_view Word);
// The row one of whose extensions Extension is (with the dot, ASCII case
// ignored); null when none.
const TFormatRow* FindFormatByExtension(std::string_view Extension);

}  // namespace kt
