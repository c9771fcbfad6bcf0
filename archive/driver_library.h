// The class-level library block of a one-library driver, written once: the
// process-wide TLibraryState, the loading step that raises the driver's own
// message when the library is missing, the freeing step, the calls by
// prefix and the open-and-close probe. A driver names its library, entry
// prefix, message and class name once, as the arguments of its base:
//
//   class TCab32 : public TLibraryDriver<"CAB32.DLL", "Cab", "CAB 形式書庫を扱うには CAB32.DLL が 必要です。", "TCab32"> {
//   public:
//       static constexpr TDriverCommands Commands = {.Unpack = {.Word = "-x"}};
//       TCab32() : TLibraryDriver(Commands) {}
//       std::string MakeCmdLine(...) const override;
//   };
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "archive/archiver.h"
#include "archive/earchiver.h"
#include "archive/format_driver.h"
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

// The base of a driver over one library: its class descriptor (ClassInfo),
// the open-and-close probe (IsArchive; a driver with a probe of its own hides
// it) and the construction over the library's calls. Lib stays reachable for
// what a driver does beyond that.
template <TLibText Name, TLibText Prefix, TLibText Missing, TLibText ClassName>
class TLibraryDriver : public TFormatDriver {
protected:
    using Lib = TDriverLibrary<Name, Prefix, Missing>;

public:
    static constexpr TArchiverClass ClassInfo = Lib::ClassFor(ClassName.Text);
    static bool IsArchive(const std::string& FileName) { return Lib::ProbeOpen(FileName); }

protected:
    explicit TLibraryDriver(const TDriverCommands& Commands)
        : TFormatDriver(ClassInfo, Lib::Calls(), Commands) {}
    // For a subclass with a descriptor of its own over the same library.
    TLibraryDriver(const TArchiverClass& Class, const TDriverCommands& Commands)
        : TFormatDriver(Class, Lib::Calls(), Commands) {}
};

}  // namespace kt
