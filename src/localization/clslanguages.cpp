#include "localization/clslanguages.h"

#include "branding/branding.h"
#include "localization/localizablewindow.h"
#include "localization/localizationfile.h"
#include "localization/qttexts.h"
#include "platform/files.h"
#include "platform/paths.h"

#include <QFile>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace mavrel {

void clsLanguages::setMessage(const QString &strName, const QString &strMessage)
{
    if (m_used >= MessageCapacity)
        return;
    MessageEntry &entry = m_messages[std::size_t(m_used)];
    entry.key = strName;
    entry.text = strMessage;
    entry.inUse = true;
    ++m_used;
}

QString clsLanguages::getMessages(const QString &strName) const
{
    const QString wanted = strName.toUpper();
    for (const MessageEntry &entry : m_messages) {
        // The key is compared before the in-use test: an empty key finds the first free entry,
        // whose text is empty.
        if (entry.key.toUpper() == wanted)
            return prepareMessage(entry.text);
        if (!entry.inUse)
            break;
    }
    return {};
}

std::span<const MessageEntry> clsLanguages::messages() const
{
    return std::span<const MessageEntry>(m_messages.data(), std::size_t(m_used));
}

void clsLanguages::setMessageText(int index, const QString &text)
{
    if (index < 0 || index >= m_used)
        return;
    m_messages[std::size_t(index)].text = text;
}

namespace {

// Larger files are not read: no translation file comes near this, and a stray huge file must not
// exhaust memory.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

bool isCaptionKind(const QString &kind, bool loose)
{
    for (const char *k : {controlkind::Label, controlkind::CommandButton, controlkind::SkinLabel,
                          controlkind::Frame, controlkind::CheckBox}) {
        if (loose ? kind.trimmed().compare(QLatin1StringView(k), Qt::CaseInsensitive) == 0
                  : kind == QLatin1StringView(k))
            return true;
    }
    return false;
}

bool kindIs(const QString &kind, const char *wanted, bool loose)
{
    return loose ? kind.trimmed().compare(QLatin1StringView(wanted), Qt::CaseInsensitive) == 0
                 : kind == QLatin1StringView(wanted);
}

int itemCountOf(const LocalizableControl &c)
{
    return c.itemCount ? c.itemCount() : 0;
}

QString textOf(const LocalizableControl &c, int item)
{
    return c.text ? c.text(item) : QString();
}

} // namespace

Result<QString> readLocalizationFile(const QString &path)
{
    if (!clsLanguages::LangFileExists(path))
        return Result<QString>::failure(u"%1 does not exist"_s.arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<QString>::failure(u"%1: %2"_s.arg(path, file.errorString()));
    if (file.size() > kMaxFileBytes)
        return Result<QString>::failure(u"%1 is too large"_s.arg(path));
    return localizationText(file.readAll());
}

QString clsLanguages::localizationFilePath()
{
    return applicationFolder() + u"/Localization.txt"_s;
}

bool clsLanguages::LangFileExists(const QString &asPath)
{
    return !LangTrimPath(asPath).isEmpty() && fileExists(asPath);
}

QString clsLanguages::LangTrimPath(const QString &asPath)
{
    const qsizetype cut = std::max(asPath.lastIndexOf(u'/'), asPath.lastIndexOf(u'\\'));
    return asPath.mid(cut + 1);
}

void clsLanguages::loadLanguage(const QString &name)
{
    m_currentLanguage = name;
    const Result<QString> text = readLocalizationFile(localizationFilePath());
    if (!text)
        return;
    if (std::optional<QStringList> items = languageItems(text.value(), name)) {
        m_itemLines = std::move(items);
        m_itemsLanguage = name;
    }
}

QString clsLanguages::getCaption(const QString &strName) const
{
    if (!m_itemLines)
        return {};
    return prepareCaption(findItemValue(*m_itemLines, strName));
}

QStringList clsLanguages::languageList() const
{
    const Result<QString> text = readLocalizationFile(localizationFilePath());
    return text ? languageNames(text.value()) : QStringList();
}

void clsLanguages::ChangeLanguage(LocalizableWindow &myForm, const QString &strLang)
{
    applyLanguage(myForm, strLang, false);
}

void clsLanguages::ChangeLanguageMDI(LocalizableWindow &myForm, const QString &strLang)
{
    applyLanguage(myForm, strLang, true);
}

void clsLanguages::applyLanguage(LocalizableWindow &myForm, const QString &strLang, bool loose)
{
    loadLanguage(strLang);
    // One line is a group whose items lost their CR LF: as good as none.
    if (!m_itemLines || m_itemLines->size() == 1)
        loadLanguage(u"English"_s);
    useQtTexts(m_itemsLanguage);

    const QString window = myForm.windowName();
    for (const LocalizableControl &c : myForm.controls()) {
        const QString base = window + u'_' + c.name;
        const auto translate = [&](int item, const QString &key) {
            const QString text = getCaption(key);
            if (!text.isEmpty() && c.setText)
                c.setText(item, text);
        };
        const auto redraw = [&] {
            if (c.redraw)
                c.redraw();
        };
        if (isCaptionKind(c.kind, loose)) {
            translate(0, base);
            redraw();
        } else if (kindIs(c.kind, controlkind::TabStrip, loose)) {
            for (int n = 1, count = itemCountOf(c); n <= count; ++n)
                translate(n, base + u"_TABS"_s + QString::number(n));
            redraw();
        } else if (kindIs(c.kind, controlkind::ListView, loose)) {
            for (int n = 1, count = itemCountOf(c); n <= count; ++n)
                translate(n, base + u"_COL"_s + QString::number(n));
            redraw();
        } else if (kindIs(c.kind, controlkind::OptionButton, loose)) {
            // Outside a control array an option button has no key.
            if (c.index)
                translate(0, base + QString::number(*c.index));
            redraw();
        } else if (kindIs(c.kind, controlkind::Menu, loose)) {
            translate(0, base + QString::number(c.index.value_or(0)));
        } else if (kindIs(c.kind, controlkind::ComboBox, loose)) {
            for (int n = 1, count = itemCountOf(c); n <= count; ++n)
                translate(n, base + u"_ITEM"_s + QString::number(n));
        } else if (kindIs(c.kind, controlkind::TextBox, loose)) {
            translate(0, base);
        }
    }

    const QString caption = getCaption(window.toUpper() + u"_CAPTION"_s);
    if (!caption.isEmpty())
        myForm.setWindowCaption(caption);

    for (int i = 0; i < m_used; ++i) {
        const QString text = getCaption(m_messages[std::size_t(i)].key);
        if (!text.isEmpty())
            setMessageText(i, text);
    }
}

Result<void> clsLanguages::makeLocalizationFile() const
{
    return makeLocalizationFile(loadedWindows());
}

Result<void>
clsLanguages::makeLocalizationFile(const std::vector<LocalizableWindow *> &windows) const
{
    QList<TemplateItem> items;
    for (const LocalizableWindow *w : windows) {
        const QString window = w->windowName();
        for (const LocalizableControl &c : w->controls()) {
            const QString base = window + u'_' + c.name;
            if (isCaptionKind(c.kind, false)) {
                items.append({base, textOf(c, 0)});
            } else if (c.kind == QLatin1StringView(controlkind::TabStrip)) {
                for (int n = 1, count = itemCountOf(c); n <= count; ++n)
                    items.append({base + u"_TABS"_s + QString::number(n), textOf(c, n)});
            } else if (c.kind == QLatin1StringView(controlkind::ListView)) {
                for (int n = 1, count = itemCountOf(c); n <= count; ++n)
                    items.append({base + u"_COL"_s + QString::number(n), textOf(c, n)});
            } else if (c.kind == QLatin1StringView(controlkind::OptionButton)) {
                if (c.index)
                    items.append({base + QString::number(*c.index), textOf(c, 0)});
            } else if (c.kind == QLatin1StringView(controlkind::Menu)) {
                items.append({base + QString::number(c.index.value_or(0)), textOf(c, 0)});
            } else if (c.kind == QLatin1StringView(controlkind::ComboBox)) {
                for (int n = 1, count = itemCountOf(c); n <= count; ++n)
                    items.append({base + u"_ITEM"_s + QString::number(n), textOf(c, n)});
            } else if (c.kind == QLatin1StringView(controlkind::TextBox) && c.text) {
                // Text boxes without a design text (find boxes, status) have nothing to write.
                items.append({base, textOf(c, 0)});
            }
        }
        items.append({window + u"_CAPTION"_s, w->windowCaption()});
    }
    for (const MessageEntry &entry : messages())
        items.append({entry.key, entry.text});

    const QString path = localizationFilePath();
    const QString existing = readLocalizationFile(path).valueOr(QString());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Result<void>::failure(u"%1: %2"_s.arg(path, file.errorString()));
    file.write(buildLocalizationFile(items, existing));
    if (!file.commit())
        return Result<void>::failure(u"%1: %2"_s.arg(path, file.errorString()));
    return {};
}

QString prepareMessage(const QString &text)
{
    QString result = text;
    result.replace(u"[ProgramName]"_s, branding().productName, Qt::CaseInsensitive);
    result.replace(u"[CompanyName]"_s, branding().companyName, Qt::CaseInsensitive);
    if (!result.isEmpty())
        result[0] = result.at(0).toUpper();
    return result;
}

} // namespace mavrel
