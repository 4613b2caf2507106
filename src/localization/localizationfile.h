#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

// The localisation file: language groups, each with a name and translation items, one item a
// line. Readers find fixed tag texts by searching (letter case ignored); it is not parsed as XML.
namespace mavrel {

// The text of a localisation file, decoded line by line: a line of valid UTF-8 as UTF-8, any
// other line as Windows-1252 (typed in an 8-bit editor), so every language shows as written.
QString localizationText(QByteArrayView bytes);

// A group that could be delimited and named: [start, end) runs from "<LANGUAGE_GROUP" up to its
// "</LANGUAGE_GROUP>".
struct LanguageGroup
{
    qsizetype start = 0;
    qsizetype end = 0;
    QString name; // exactly as written between the name tags
};

// Every group in file order. A group without an end tag ends the scan (no later group could be
// delimited either); a group without name tags is passed over.
std::vector<LanguageGroup> languageGroups(QStringView text);
QStringList languageNames(QStringView text);

// The item lines of the first group whose name equals `name` (letter case ignored): the text
// between its items tags split at every CR LF. Nothing when there is no such group or its items
// tags are missing.
std::optional<QStringList> languageItems(QStringView text, QStringView name);

// The raw text of the item `key` in the item lines; the null text when no line holds it, or the
// line that holds it lacks its end tag.
QString findItemValue(const QStringList &itemLines, QStringView key);

// The display form of an item: "[ProgramName]", "[CompanyName]" and "[Website]" (any letter case)
// replaced by the branding values, first character upper-cased.
QString prepareCaption(const QString &value);

struct TemplateItem
{
    QString key; // written upper-cased
    QString text;
};

// A whole file whose "English" group holds `items`, followed by every other group of `existing`
// (the current file's text) unchanged. UTF-8, CR LF line ends.
QByteArray buildLocalizationFile(const QList<TemplateItem> &items, QStringView existing);

// The tag texts, for the download's check.
inline constexpr auto kTranslationItemsTag = "<TRANSLATION_ITEMS>";

} // namespace mavrel
