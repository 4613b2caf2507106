#pragma once

#include <QString>

namespace mavrel {

// The two-letter code of the language a localisation group is named for, by its own name or
// its English one in any letter case ("Deutsch", "german" → "de"); empty when none matches.
QString languageCodeOfName(const QString &name);

// Qt's own texts (standard buttons, the file chooser) in the named language: its translation
// replaces the one installed before. English, an unknown name or a missing translation file
// leave them in English. Returns whether a translation is in use.
bool useQtTexts(const QString &languageName);

} // namespace mavrel
