// The localisation file readers on arbitrary files: the language listing, the loader, the item
// lookup, and the template writer that keeps the file's other languages.
#include "fuzzcheck.h"
#include "localization/localizationfile.h"

using namespace mavrel;
using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text =
        localizationText(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QStringList names = languageNames(text);
    for (const QString &name : names) {
        // Every listed language can be asked for; the first group of the name answers.
        const std::optional<QStringList> items = languageItems(text, name);
        if (!items)
            continue;
        for (const QString &line : *items) {
            const qsizetype open = line.indexOf(u'<');
            const qsizetype close = line.indexOf(u'>');
            if (open >= 0 && close > open)
                prepareCaption(findItemValue(*items, line.mid(open + 1, close - open - 1)));
        }
        prepareCaption(findItemValue(*items, u"FORM1_CMDTV"_s));
    }
    languageItems(text, u"English"_s);

    // The template replaces only the English groups: every other group survives, in order.
    const QList<TemplateItem> items = {{u"form1_cmdtv"_s, u"TV/Video"_s},
                                       {u"MSG_STATUS2"_s, u" | Showing: "_s}};
    const QString written = QString::fromUtf8(buildLocalizationFile(items, text));
    QStringList expected{u"English"_s};
    for (const QString &name : names) {
        if (name.compare(u"English", Qt::CaseInsensitive) != 0)
            expected << name;
    }
    check(languageNames(written) == expected);
    const std::optional<QStringList> english = languageItems(written, u"English"_s);
    check(english.has_value());
    check(findItemValue(*english, u"FORM1_CMDTV"_s) == u"TV/Video"_s);
    check(findItemValue(*english, u"msg_status2"_s) == u" | Showing: "_s);
    return 0;
}
