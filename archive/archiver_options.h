// The option set of an archive operation: one property per command-line
// switch of the archiver libraries (named after the LHA library's switches)
// and five settings the archive layer itself interprets.
//
// A number switch is one signed byte, unset at -1; a text switch is unset
// when it holds UnsetString (one character of code 0). An unset switch never
// reaches a command line; the empty text is a set value.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archiver_types.h"

namespace kt {

// The text that marks a text switch as unset.
inline const std::string UnsetString(1, '\0');

inline bool IsUnset(const std::string& text) { return text.size() == 1 && text[0] == '\0'; }

class TArchiverOptions {
public:
    using TSwitch = std::int8_t;

    TArchiverOptions() { Reset(); }

    // Every switch unset, jx emptied, the settings at their initial values.
    void Reset();

    // Copies all 58 properties (jx's lines, ResFileUsage included).
    void Assign(const TArchiverOptions& source) { *this = source; }

    // Properties in declaration order.
    TSwitch a, c, e, f, h, i, l, m, n, o, p, r, s, t, u;
    std::string w;
    TSwitch x, y, z, jc, jd, je, jf, jh, ji, jm, jn;
    std::string jo, job;
    TSwitch jp, jr, jss, jw;
    TStringList jx;
    TSwitch jyc, jyd, jyk, jyn, jyo;
    std::string jz;
    TSwitch ga, gd, ge, gf, gj, gm, gn, go, gp;
    std::string gr;
    TSwitch gs, gu, gw;
    std::string UserOptions;   // appended unquoted after the switches
    std::string UserFileList;  // appended unquoted after the file names
    TPackFilter PackFilter;
    std::string ResFileName;  // empty or UnsetString: no response file
    TResFileUsage ResFileUsage;

    // The 47 number switches by name, in declaration order.
    struct NumberSwitch {
        std::string_view name;
        TSwitch TArchiverOptions::*field;
    };
    static const std::array<NumberSwitch, 47> NumberSwitches;

    // The 5 text switches by name: w, jo, job, jz, gr.
    struct TextSwitch {
        std::string_view name;
        std::string TArchiverOptions::*field;
    };
    static const std::array<TextSwitch, 5> TextSwitches;

    bool operator==(const TArchiverOptions&) const = default;
};

}  // namespace kt
