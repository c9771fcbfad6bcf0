// The class-level library block of a one-library driver, written once: the
// process-wide TLibraryState, the loading step that raises the driver's own
// message when the library is missing, the freeing step, the calls by
// prefix and the open-and-close probe. A driver names its library, entry
// prefix and message once, in its class:
//
//   class TCab32 : public TFormatDriver {
//       using Lib = TDriverLibrary<"CAB32.DLL", "Cab", "CAB 形式書庫を扱うには CAB32.DLL が 必要です。">;
//   public:
//       static constexpr TArchiverClass ClassInfo = Lib::ClassFor("TCab32");
//       static constexpr TDriverCommands Commands = {.Unpack = {.Word = "-x"}};
//       TCab32() : TFormatDriver(ClassInfo, Lib::Calls(), Commands) {}
//   };
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "archive/archiver.h"
#include "archive/earchiver.h"
#include "archive/library_calls.h"

namespace kt {

// A text usable as a template argument.
template <std::size_t N>
struct TLibText {
    constexpr TLibText(const char (&text)[N]) { std::copy_n(text, N, Text); }
    char Text[N];
};

template <TLibText Name, TLibText Prefix, TLibText Missing>
struct TDriverLibrary {
    static TLibraryState& State() {
        static TLibraryState state;
        return state;
    }
    static void Load() {
        if (!State().Load(Name.Text)) throw EArchiver(Missing.Text);
    }
    static void Free() { State().Free(); }
    static TLibraryCalls Calls() { return TLibraryCalls(State(), Load, Prefix.Text); }
    // The descriptor of a driver class over this library (several classes
    // may share one library and so one state, as the TAR family does).
    static constexpr TArchiverClass ClassFor(const char* ClassName) {
        return {ClassName, Load, Free};
    }
    // The format probe: open and close again; never raises.
    static bool ProbeOpen(const std::string& FileName) { return Calls().ProbeOpen(FileName); }
};

}  // namespace kt
