// The window's design font "ＭＳ Ｐゴシック" and its fallback to an installed
// Japanese Gothic face.
#pragma once

#include <QFont>

namespace kt {

// Name of the design font.
inline constexpr const char* kDesignFontName = "ＭＳ Ｐゴシック";

// Registers the installed Japanese Gothic faces (IPA P Gothic, Noto Sans CJK
// JP, ...) as substitutes for the design font. Call once after the
// application object exists; later calls do nothing.
void InstallJapaneseFontFallback();

// The design font at a character height of `pixelHeight` pixels (the design's
// negative heights: -12 is 12 pixels).
QFont DesignFont(int pixelHeight);

}  // namespace kt
