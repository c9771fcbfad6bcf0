// The level scale of the ZIP libraries: what `-N` (1-9) means in libdeflate's
// levels (1-12). Each N maps to the fastest libdeflate level whose bytes over
// the three benchmark corpora (many small texts, medium mixed files, three
// large files) are in total at most `zip -N`'s and within +0.5% of them on
// each corpus, measured with bench/zip_level_scale.sh (the table and its
// figures are in archivers/zip32/README.md). Without a level switch the
// libraries use 6, as zip does.
#pragma once

#include <algorithm>
#include <array>

namespace kt::zip {

inline constexpr std::array<int, 10> kDeflateLevelOf = {0, 1, 1, 2, 3, 5, 6, 6, 7, 7};

// The libdeflate level for a ZIP level (clamped to 1-9).
constexpr int DeflateLevelFor(int zipLevel) {
    return kDeflateLevelOf[static_cast<std::size_t>(std::clamp(zipLevel, 1, 9))];
}

}  // namespace kt::zip
