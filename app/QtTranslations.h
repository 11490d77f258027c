#pragma once

// Qt's own texts (the standard buttons OK, Cancel, Yes, No; the file
// dialog) follow the loaded language file: its language name picks Qt's
// translation, else the system's locale does. Without a language file Qt
// stays in its built-in English.

#include <QLocale>
#include <QString>

// The locale whose language is called `languageName`, in its own words
// ("Deutsch") or in English ("German"); false when no language is.
bool LocaleOfLanguageName(const QString &languageName, QLocale &locale);

// Installs Qt's translation for the language of the file at `languageFile`
// in place of the one installed before; an empty path removes it. False
// when no translation of Qt's was found for it (Qt then stays English).
bool InstallQtTranslations(const QString &languageFile);
