#include "store_access.h"

#include "error_box.h"
#include "platform/registry_store.h"
#include "reg_manager.h"
#include "settings_errors.h"

namespace kt {

std::string IniFileFor(const TRegManager& manager) {
    if (manager.IniFileName().empty()) ShowErrorBox("can not create Inifile object.");
    return manager.IniFileName();
}

bool OpenRegDir(const TRegManager& manager, TRegistry& reg, bool forWrite) {
    if (manager.RegDir().empty()) {
        ShowErrorBox("can not create Registry object.");
        return false;
    }
    if (reg.OpenKey(manager.RegDir(), true)) return true;
    // A write that cannot reach its key must not pass for a success.
    if (forWrite)
        throw ERegistryException(FormatMessage("キー %s の作成に失敗しました", manager.RegDir()));
    return false;
}

void OpenSection(TRegistry& reg, const std::string& section) {
    if (!reg.KeyExists(section)) reg.CreateKey(section);
    if (!reg.OpenKey(section, false))
        throw ERegistryException(FormatMessage("キー %s の作成に失敗しました", section));
}

}  // namespace kt
