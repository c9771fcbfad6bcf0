#include "archive/format_table.h"

#include "archive/arj_driver.h"
#include "archive/bga_driver.h"
#include "archive/cab_driver.h"
#include "archive/lha_driver.h"
#include "archive/rar_driver.h"
#include "archive/tar_driver.h"
#include "archive/zip_driver.h"
#include "platform/ascii_case.h"

namespace kt {
namespace {

template <class Driver>
std::unique_ptr<TArchiver> Make() {
    return std::make_unique<Driver>();
}

// Content detection asks TAR first (its answer is the starting result),
// then RAR, ARJ, ZIP, BGA, CAB and LHA; a later yes wins, so the priority
// runs LHA, CAB, BGA, ZIP, ARJ, RAR, then the TAR answer.
// clang-format off
constexpr TFormatRow kFormats[] = {
//   type   name   extensions                        driver          class               library                    probe                            place packs
    {atLha, "lzh", {".lzh"},                         Make<TLha32>,  &TLha32::ClassInfo, "UNLHA32.DLL",             {&TLha32::IsArchive},            6,    true},
    {atZip, "zip", {".zip"},                         Make<TZip32>,  &TZip32::ClassInfo, "ZIP32J.DLL, UNZIP32.DLL", {&TZip32::IsArchive},            3,    true},
    {atCab, "cab", {".cab"},                         Make<TCab32>,  &TCab32::ClassInfo, "CAB32.DLL",               {&TCab32::IsArchive},            5,    false},
    {atArj, "arj", {".arj"},                         Make<TArj32>,  &TArj32::ClassInfo, "UNARJ32J.DLL",            {&TArj32::IsArchive},            2,    false},
    {atTar, "tar", {".tar"},                         Make<TTar32>,  &TTar32::ClassInfo, "tar32.dll",               {nullptr, &TTar32::ArchiveTypeOf}, 0,  false},
    {atTgz, "tgz", {".z", ".gz", ".tgz", ".taz"},    Make<TTgz32>,  &TTgz32::ClassInfo, "tar32.dll",               {},                              -1,   false},
    {atBZ2, "bz2", {".bz2"},                         Make<TBZ232>,  &TBZ232::ClassInfo, "tar32.dll",               {},                              -1,   false},
    {atRar, "rar", {".rar"},                         Make<TRar32>,  &TRar32::ClassInfo, "UNRAR32.DLL",             {&TRar32::IsArchive},            1,    false},
    {atBga, "bga", {".gza", ".bza"},                 Make<TBGA32>,  &TBGA32::ClassInfo, "BGA32.DLL",               {&TBGA32::IsArchive},            4,    false},
};
// clang-format on

}  // namespace

std::span<const TFormatRow> FormatTable() { return kFormats; }

const TFormatRow* FindFormat(TArchiverType Type) {
    for (const TFormatRow& row : kFormats)
        if (row.Type == Type) return &row;
    return nullptr;
}

const TFormatRow* FindFormatByName(std::string_view Word) {
    for (const TFormatRow& row : kFormats)
        if (Word == row.Name) return &row;
    return nullptr;
}

const TFormatRow* FindFormatByExtension(std::string_view Extension) {
    for (const TFormatRow& row : kFormats)
        for (const char* ext : row.Extensions)
            if (ext != nullptr && SameTextAscii(ext, Extension)) return &row;
    return nullptr;
}

}  // namespace kt
