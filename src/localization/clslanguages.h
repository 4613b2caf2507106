#pragma once

#include <QString>

#include <array>
#include <span>

namespace mavrel {

// One entry of the message table.
struct MessageEntry
{
    QString key;
    QString text;
    bool inUse = false;
};

// Texts of the product that are not captions of a control: message-box texts and the pieces
// of the status line, looked up by key. Entries are only ever appended, so the entries in use
// always form one unbroken run from index 0 and every scan stops at the first unused one.
// The single object lives for the whole run; loading a language and translating windows build
// on this table.
class clsLanguages
{
public:
    static constexpr int MessageCapacity = 201;

    clsLanguages() = default;
    virtual ~clsLanguages() = default;
    clsLanguages(const clsLanguages &) = delete;
    clsLanguages &operator=(const clsLanguages &) = delete;

    // Stores the text under the key at the first free entry. A key registered again takes a
    // further entry (the first one keeps winning lookups); a full table drops it silently.
    void setMessage(const QString &strName, const QString &strMessage);

    // The text of the first entry whose key matches (letter case ignored), prepared for
    // display; the empty text when the key is not in the table.
    QString getMessages(const QString &strName) const;

    // The entries in use, in order (for writing them out and translating them).
    std::span<const MessageEntry> messages() const;
    int messageCount() const { return m_used; }
    // Replaces the stored text of an entry in use (translation); other indexes are ignored.
    void setMessageText(int index, const QString &text);

private:
    std::array<MessageEntry, MessageCapacity> m_messages;
    int m_used = 0;
};

// The display form of a stored message: "[ProgramName]" and "[CompanyName]" (any letter case)
// replaced by the product and company names, first character upper-cased.
QString prepareMessage(const QString &text);

} // namespace mavrel
