// The class-level library block of a one-library driver, written once: the
// process-wide TLibraryState, the loading step that raises the driver's own
// message when the library is missing, the freeing step, and the calls by
// prefix. A driver names its library in
// a traits type:
//
//   struct CabLibrary {
//       static constexpr char Name[] = "CAB32.DLL";
//       static constexpr char Prefix[] = "Cab";
//       static constexpr char Missing[] = "CAB 形式書庫を扱うには CAB32.DLL が 必要です。";
//   };
//   using Cab = TDriverLibrary<CabLibrary>;
//   const TArchiverClass TCab32::ClassInfo = Cab::ClassFor("TCab32");
#pragma once

#include "archive/archiver.h"
#include "archive/earchiver.h"
#include "archive/library_calls.h"

namespace kt {

template <class Library>
struct TDriverLibrary {
    static TLibraryState& State() {
        static TLibraryState state;
        return state;
    }
    static void Load() {
        if (!State().Load(Library::Name)) throw EArchiver(Library::Missing);
    }
    static void Free() { State().Free(); }
    static TLibraryCalls Calls() { return TLibraryCalls(State(), Load, Library::Prefix); }
    // The descriptor of a driver class over this library (several classes
    // may share one library and so one state, as the TAR family does).
    static constexpr TArchiverClass ClassFor(const char* ClassName) {
        return {ClassName, Load, Free};
    }
};

}  // namespace kt
