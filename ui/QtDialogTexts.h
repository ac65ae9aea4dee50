#pragma once
// Qt's own dialogs (the file and folder pickers) in the program's language: Qt's translations of
// them, from Debian's qt6-translations-l10n, follow the language menu.

#include <QString>

namespace ui {

// Loads Qt's translation for the language with `languageId` (a language file's Id, e.g. "German")
// in place of the one loaded before; English, an unknown language or a missing translation leave
// Qt's built-in English.
void UseQtDialogTexts(const QString& languageId);

}  // namespace ui
