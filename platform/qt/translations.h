// Qt's own texts (standard dialogs, edit-box context menus) in Japanese.
#pragma once

namespace kt {

// Loads Qt's Japanese catalogue (qtbase_ja) from Qt's translations folder
// and installs it on the application, whatever the locale: the program's own
// texts are Japanese everywhere, so the toolkit's must be too. Call once
// after the application object exists. False when the catalogue is missing
// (the toolkit's texts then stay English; nothing else changes).
bool InstallJapaneseQtTranslations();

}  // namespace kt
