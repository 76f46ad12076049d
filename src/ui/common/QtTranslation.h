#pragma once

// Qt's own texts (the buttons of its dialogs, the context menu of every text field, the file
// dialog) in Chinese like the rest of the window: loads qtbase_zh_CN from Qt's translations
// folder (Debian: qt6-translations-l10n) into the application. Every program calls it once its
// QApplication exists; calling again changes nothing. False when the translation is not
// installed; Qt's texts then stay English.
bool InstallQtTranslation();
