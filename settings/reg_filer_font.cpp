// Fonts: name, size and colour under three derived keys.
#include "integer_syntax.h"
#include "reg_filer.h"
#include "reg_item.h"
#include "settings_errors.h"

namespace kt {
namespace {

// A colour name or an integer in the store's syntax.
TColor StringToColor(const std::string& text) {
    if (auto named = IdentToColor(text)) return *named;
    if (auto number = ParseInteger(text)) return *number;
    throw EConvertError(FormatMessage("'%s' は整数ではありません", text));
}

}  // namespace

void TRegFiler::ReadFont(TFont* font) {
    if (!font || !Placed()) return;
    const std::string& section = Item()->Section;
    const std::string& ident = Item()->Ident;
    font->Name = ReadValue(section, ident + "_FontName", font->Name);
    if (auto size =
            ParseInteger(ReadValue(section, ident + "_FontSize", std::to_string(font->Size))))
        font->Size = *size;
    font->Color =
        StringToColor(ReadValue(section, ident + "_FontColor", ColorToString(font->Color)));
}

void TRegFiler::WriteFont(const TFont* font) {
    if (!font || !Placed()) return;
    const std::string& section = Item()->Section;
    const std::string& ident = Item()->Ident;
    WriteValue(section, ident + "_FontName", font->Name);
    WriteValue(section, ident + "_FontSize", std::to_string(font->Size));
    WriteValue(section, ident + "_FontColor", ColorToString(font->Color));
}

}  // namespace kt
