#include "localization/clslanguages.h"

#include "branding/branding.h"

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
