#include "localization/qttexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

using namespace Qt::StringLiterals;

namespace mavrel {

QString languageCodeOfName(const QString &name)
{
    const QString wanted = name.trimmed();
    if (wanted.isEmpty())
        return {};
    // Every locale, since a language's default one may carry its country ("español de España").
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    for (const QLocale &locale : locales) {
        if (wanted.compare(locale.nativeLanguageName(), Qt::CaseInsensitive) == 0 ||
            wanted.compare(QLocale::languageToString(locale.language()), Qt::CaseInsensitive) == 0)
            return QLocale::languageToCode(locale.language(), QLocale::ISO639Part1);
    }
    return {};
}

bool useQtTexts(const QString &languageName)
{
    static std::unique_ptr<QTranslator> installed;
    static QString installedCode;
    // Every window applies the language as it opens: the same name needs no new look-up.
    static QString askedName;
    if (QCoreApplication::instance() == nullptr || languageName == askedName)
        return installed != nullptr;
    askedName = languageName;
    QString code = languageCodeOfName(languageName);
    if (code == u"en"_s)
        code.clear();
    if (code == installedCode)
        return installed != nullptr;
    if (installed)
        QCoreApplication::removeTranslator(installed.get());
    installed.reset();
    installedCode = code;
    if (code.isEmpty())
        return false;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(u"qtbase_"_s + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

} // namespace mavrel
