#include "localization/localizationfile.h"

#include "branding/branding.h"
#include "platform/bytetext.h"

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr QStringView kGroupStart = u"<LANGUAGE_GROUP";
constexpr QStringView kGroupEnd = u"</LANGUAGE_GROUP>";
constexpr QStringView kNameStart = u"<LANGUAGE_NAME>";
constexpr QStringView kNameEnd = u"</LANGUAGE_NAME>";
constexpr QStringView kItemsStart = u"<TRANSLATION_ITEMS>";
constexpr QStringView kItemsEnd = u"</TRANSLATION_ITEMS>";

// The text between the first `open` and the first `close` of `in`; nothing when either is
// missing or the close comes first.
std::optional<QStringView> between(QStringView in, QStringView open, QStringView close)
{
    const qsizetype s = in.indexOf(open, 0, Qt::CaseInsensitive);
    const qsizetype e = in.indexOf(close, 0, Qt::CaseInsensitive);
    if (s < 0 || e < 0 || e < s + open.size())
        return std::nullopt;
    return in.mid(s + open.size(), e - s - open.size());
}

// Calls `visit(groupText, start, end)` for every delimited group until it returns false.
template<typename Visit> void forEachGroup(QStringView text, Visit visit)
{
    qsizetype pos = 0;
    qsizetype start = -1;
    while (pos < text.size()) {
        // A start found earlier is still ahead of a stray end tag: do not search for it again,
        // or a file of end tags would take quadratic time.
        if (start < pos)
            start = text.indexOf(kGroupStart, pos, Qt::CaseInsensitive);
        if (start < 0)
            return;
        const qsizetype end = text.indexOf(kGroupEnd, pos, Qt::CaseInsensitive);
        if (end < 0)
            return;
        pos = end + kGroupEnd.size();
        if (end < start)
            continue; // an end tag before the group's start delimits nothing
        if (!visit(text.mid(start, end - start), start, end))
            return;
    }
}

} // namespace

QString localizationText(QByteArrayView bytes)
{
    // Line by line: one line typed in an 8-bit editor must not turn every other language of a
    // UTF-8 file into mojibake.
    QString text;
    text.reserve(bytes.size());
    while (!bytes.isEmpty()) {
        const qsizetype lf = bytes.indexOf('\n');
        const qsizetype length = lf < 0 ? bytes.size() : lf + 1;
        text += displayText(bytes.first(length));
        bytes = bytes.sliced(length);
    }
    return text;
}

std::vector<LanguageGroup> languageGroups(QStringView text)
{
    std::vector<LanguageGroup> groups;
    forEachGroup(text, [&](QStringView group, qsizetype start, qsizetype end) {
        if (const auto name = between(group, kNameStart, kNameEnd))
            groups.push_back({start, end, name->toString()});
        return true;
    });
    return groups;
}

QStringList languageNames(QStringView text)
{
    QStringList names;
    for (const LanguageGroup &g : languageGroups(text))
        names.append(g.name);
    return names;
}

std::optional<QStringList> languageItems(QStringView text, QStringView name)
{
    std::optional<QStringList> items;
    forEachGroup(text, [&](QStringView group, qsizetype, qsizetype) {
        const auto groupName = between(group, kNameStart, kNameEnd);
        if (!groupName || groupName->compare(name, Qt::CaseInsensitive) != 0)
            return true;
        // The first group of the name wins, even when its items cannot be found.
        if (const auto itemsText = between(group, kItemsStart, kItemsEnd)) {
            items.emplace();
            if (!itemsText->isEmpty()) {
                for (QStringView line : itemsText->split(u"\r\n"))
                    items->append(line.toString());
            }
        }
        return false;
    });
    return items;
}

QString findItemValue(const QStringList &itemLines, QStringView key)
{
    for (const QString &line : itemLines) {
        if (line.isEmpty())
            continue;
        const qsizetype gt = line.indexOf(u'>');
        const QStringView head = gt < 0 ? QStringView(line) : QStringView(line).left(gt);
        if (head.size() <= 2)
            continue;
        const qsizetype lt = head.indexOf(u'<');
        const QStringView tag = lt < 0 ? head : head.mid(lt + 1);
        if (tag.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        const QString open = u'<' + key.toString() + u'>';
        const QString close = u"</"_s + key.toString() + u'>';
        const auto value = between(line, open, close);
        return value ? value->toString() : QString();
    }
    return {};
}

QString prepareCaption(const QString &value)
{
    QString result = value;
    const Branding &b = branding();
    result.replace(u"[ProgramName]"_s, b.productName, Qt::CaseInsensitive);
    result.replace(u"[CompanyName]"_s, b.companyName, Qt::CaseInsensitive);
    result.replace(u"[Website]"_s, b.siteName, Qt::CaseInsensitive);
    if (!result.isEmpty())
        result[0] = result.at(0).toUpper();
    return result;
}

QByteArray buildLocalizationFile(const QList<TemplateItem> &items, QStringView existing)
{
    QString out;
    const auto line = [&out](QStringView text) {
        out += text;
        out += u"\r\n";
    };
    line(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    line(u"<XML_DIZ_INFO>");
    line(u"\t<LOCALIZATION_FILE_INFO>");
    line(u"\t\t<LOCALIZATION_FILE_VERSION>1.0</LOCALIZATION_FILE_VERSION>");
    line(u"\t</LOCALIZATION_FILE_INFO>");
    line(u"<LANGUAGE_GROUP xml:lang=\"en\">");
    line(u"\t<LANGUAGE_NAME>English</LANGUAGE_NAME>");
    line(u"\t<DESCRIPTION>This file contains various translations of program buttons, messages "
         u"and menus in XML format.  The original document was created using translation "
         u"software, and may sound strange when read by people.  We invite you to make "
         u"modifications to existing languages and translate new languages.  Please send them "
         u"to us so that we can update this file and make your translation available to all "
         u"users.  Our current email address is located on our homepage which can be visited "
         u"through the software or our program folder on your Start Menu.  Before making "
         u"changes to a localization file please use the program to download the most recent "
         u"localization file using the 'Check for Language Updates' button in the Languages "
         u"window.</DESCRIPTION>");
    line(u"\t<TRANSLATION_ITEMS>");
    for (const TemplateItem &item : items) {
        const QString key = item.key.toUpper();
        // A line break inside a text would end its item early.
        QString text = item.text;
        text.replace(u'\r', u' ').replace(u'\n', u' ');
        line(u"\t\t<"_s + key + u'>' + text + u"</"_s + key + u'>');
    }
    line(u"\t</TRANSLATION_ITEMS>");
    line(u"</LANGUAGE_GROUP>");
    for (const LanguageGroup &g : languageGroups(existing)) {
        if (g.name.compare(u"English", Qt::CaseInsensitive) != 0)
            line(existing.mid(g.start, g.end + kGroupEnd.size() - g.start));
    }
    line(u"</XML_DIZ_INFO>");
    return out.toUtf8();
}

} // namespace mavrel
