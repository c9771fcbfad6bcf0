// Types shared by the whole archive layer: archive formats, the option
// settings' enumerations, the file-list element forms and the progress
// callbacks.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

#include "platform/archiver_api.h"

namespace kt {

// Archive formats, in their fixed order.
enum TArchiverType : std::uint8_t {
    atLha,
    atZip,
    atCab,
    atArj,
    atTar,
    atTgz,
    atBZ2,
    atRar,
    atBga,
    atYz1,
    atNone,
    atAutoDetect,
};

// pfComponent: Pack expands the file list itself before the library is
// called; pfArchiver: the caller's list goes to the library unexpanded.
enum TPackFilter : std::uint8_t { pfArchiver, pfComponent };

// The operations whose file names may go through the response file.
enum TResFileUse : std::uint8_t { ruOnPack, ruOnUnpack, ruOnRemoveItem, ruOnUpdate };

// A set of TResFileUse.
class TResFileUsage {
public:
    constexpr TResFileUsage() = default;
    constexpr TResFileUsage(std::initializer_list<TResFileUse> uses) {
        for (TResFileUse u : uses) Include(u);
    }
    constexpr bool Contains(TResFileUse u) const { return (bits_ & Bit(u)) != 0; }
    constexpr void Include(TResFileUse u) { bits_ = static_cast<std::uint8_t>(bits_ | Bit(u)); }
    constexpr void Exclude(TResFileUse u) { bits_ = static_cast<std::uint8_t>(bits_ & ~Bit(u)); }
    constexpr bool operator==(const TResFileUsage&) const = default;

private:
    static constexpr std::uint8_t Bit(TResFileUse u) { return static_cast<std::uint8_t>(1u << u); }
    std::uint8_t bits_ = 0;
};

// The layer's own progress state: one file was collected before packing.
// Beside the libraries' ARCEXTRACT_ states.
constexpr int StateFileCollected = 2053;

// Result of a Pack that the user cancelled during file collection.
constexpr int ResultUserCancel = ERROR_USER_CANCEL;  // 0x8020

// ----- element forms of a file list --------------------------------------
// A file list is an open list of differently typed elements; each element
// stands for zero or more names (see ExpandFileList in file_list.h).

using TStringList = std::vector<std::string>;

// A null-terminated array of addresses of zero-terminated texts; a null
// address adds nothing.
struct TCharPtrArray {
    const char* const* items = nullptr;
};

// A reference to an object: a string list adds its lines; null or any other
// object adds nothing.
struct TObjectRef {
    const TStringList* strings = nullptr;
};

// A scalar variant value, converted to text when used as a name.
using TVarValue = std::variant<std::string, std::int64_t, double, bool>;

// A variant: either one value or an array of values (first dimension,
// low to high bound).
struct TVariant {
    std::variant<TVarValue, std::vector<TVarValue>> value;
};

// Any other kind of element (number, character, class reference, ...):
// accepted and ignored.
struct TIgnoredElement {};

using TFileListElement =
    std::variant<std::string,     // 8-bit text
                 std::wstring,    // wide text
                 std::u16string,  // wide text (UTF-16)
                 const char*,     // address of a text
                 TCharPtrArray, TStringList, TObjectRef, TVariant, TIgnoredElement>;

using TFileList = std::vector<TFileListElement>;

// ----- progress ------------------------------------------------------------

class TArchiveFile;

// Progress callback of file collection: State, the progress record, and
// Abort, which the callback sets to ask for cancellation.
using TFileProgress = std::function<void(int State, EXTRACTINGINFOEX* lpEis, bool& Abort)>;

// The archive component's progress event.
using TArchiverProgressEvent =
    std::function<void(TArchiveFile* Sender, int State, EXTRACTINGINFOEX* lpEis, bool& Abort)>;

}  // namespace kt
