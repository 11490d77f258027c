#include "QtTranslations.h"

#include "UiText.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {

std::unique_ptr<QTranslator> &InstalledTranslator()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

} // namespace

bool LocaleOfLanguageName(const QString &languageName, QLocale &locale)
{
    const QString name = languageName.trimmed();
    if (name.isEmpty())
        return false;
    const QList<QLocale> all = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    for (const QLocale &candidate : all) {
        if (candidate.language() == QLocale::C)
            continue;
        if (candidate.nativeLanguageName().compare(name, Qt::CaseInsensitive) == 0
            || QLocale::languageToString(candidate.language()).compare(name, Qt::CaseInsensitive) == 0) {
            // The language's main country, not the first one listed.
            locale = QLocale(candidate.language());
            return true;
        }
    }
    return false;
}

bool InstallQtTranslations(const QString &languageFile)
{
    std::unique_ptr<QTranslator> &installed = InstalledTranslator();
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (languageFile.isEmpty())
        return true;
    QLocale locale = QLocale::system();
    LocaleOfLanguageName(CUiText::ReadLanguageName(languageFile), locale);
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}
