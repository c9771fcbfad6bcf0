// The back-end access and the plain values: strings, integers and flags.
#include <cerrno>

#include "integer_syntax.h"
#include "platform/ascii_case.h"
#include "platform/ini_profile.h"
#include "platform/registry_store.h"
#include "reg_filer.h"
#include "reg_manager.h"
#include "settings_errors.h"
#include "store_access.h"

namespace kt {

bool TRegFiler::Placed() const {
    return FItem != nullptr && !FItem->Section.empty() && !FItem->Ident.empty();
}

std::string TRegFiler::ReadValue(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) {
    std::string result = defaultValue;
    if (section.empty() || ident.empty()) return result;
    if (FManager->RegType() == rtReg) {
        TRegistry reg;
        if (!OpenRegDir(*FManager, reg, false)) return result;
        if (reg.OpenKey(section, false) && reg.ValueExists(ident)) result = reg.ReadString(ident);
        return result;
    }
    const std::string file = IniFileFor(*FManager);
    if (file.empty()) return result;
    // The profile API's buffer of 2048 bytes: longer values come back cut.
    char buffer[2048];
    DWORD n = GetPrivateProfileString(section.c_str(), ident.c_str(), defaultValue.c_str(), buffer,
                                      sizeof buffer, file.c_str());
    return std::string(buffer, n);
}

void TRegFiler::WriteValue(const std::string& section, const std::string& ident,
                           const std::string& value) {
    if (section.empty() || ident.empty()) return;
    if (FManager->RegType() == rtReg) {
        TRegistry reg;
        if (!OpenRegDir(*FManager, reg, true)) return;
        OpenSection(reg, section);
        reg.WriteString(ident, value);
        return;
    }
    const std::string file = IniFileFor(*FManager);
    if (file.empty()) return;
    if (!WritePrivateProfileString(section.c_str(), ident.c_str(), value.c_str(), file.c_str()))
        throw EIniFileException(FormatMessage("%s に書き込めません", file));
}

std::string TRegFiler::ReadString() {
    if (!FItem) return {};
    return ReadValue(FItem->Section, FItem->Ident, FItem->DefaultValue);
}

void TRegFiler::WriteString(const std::string& value) {
    if (FItem) WriteValue(FItem->Section, FItem->Ident, value);
}

std::int32_t TRegFiler::ReadInteger() {
    if (!FItem) return 0;
    return ParseInteger(ReadValue(FItem->Section, FItem->Ident, FItem->DefaultValue)).value_or(0);
}

void TRegFiler::WriteInteger(std::int32_t value) {
    if (FItem) WriteValue(FItem->Section, FItem->Ident, std::to_string(value));
}

bool TRegFiler::ReadBool() {
    if (!FItem) return false;
    const std::string& given = FItem->DefaultValue;
    const bool yes = given == "1" || SameTextAscii(given, "TRUE") || SameTextAscii(given, "YES");
    const std::string def = yes ? "1" : "0";
    std::int32_t value = ParseInteger(ReadValue(FItem->Section, FItem->Ident, def)).value_or(0);
    return (value & 0xFF) != 0;
}

void TRegFiler::WriteBool(bool value) {
    if (FItem) WriteValue(FItem->Section, FItem->Ident, value ? "1" : "0");
}

}  // namespace kt
