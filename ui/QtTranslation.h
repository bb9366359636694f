#pragma once
// Qt's own texts in Czech: the file dialogs ("Hledat v", "Název souboru"), the standard buttons
// and the text fields' context menus. The interface is Czech whatever the system's language, so
// the Czech catalogue is loaded, not the one of the system's locale.

#include <QString>
#include <QStringList>

namespace velor {

// Where Qt's catalogues are looked for, in order: Qt's own translations folder (a Linux
// installation), then a "translations" folder beside the executable (the Windows build ships
// them there).
QStringList qtTranslationFolders();

// Installs Qt's Czech catalogue found in the first of the folders that holds it, once per
// application; returns whether the texts are Czech now. Without the catalogue Qt's texts stay
// English, which is no reason to stop the program.
bool installQtTranslation(const QStringList& folders = qtTranslationFolders());

}  // namespace velor
