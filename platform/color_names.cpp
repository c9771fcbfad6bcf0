#include "color_names.h"

#include <cstdio>

#include "platform/ascii_case.h"

namespace kt {
namespace {

struct NamedColor {
    TColor color;
    std::string_view name;
};

constexpr NamedColor kNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clNone, "clNone"},
};

}  // namespace

std::optional<std::string_view> ColorToIdent(TColor color) {
    for (const NamedColor& named : kNames)
        if (named.color == color) return named.name;
    return std::nullopt;
}

std::optional<TColor> IdentToColor(std::string_view name) {
    for (const NamedColor& named : kNames)
        if (SameTextAscii(named.name, name)) return named.color;
    return std::nullopt;
}

std::string ColorToString(TColor color) {
    if (auto name = ColorToIdent(color)) return std::string(*name);
    char text[16];
    std::snprintf(text, sizeof text, "$%08X",
                  static_cast<unsigned>(static_cast<std::uint32_t>(color)));
    return text;
}

}  // namespace kt
