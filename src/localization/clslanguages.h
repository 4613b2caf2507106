#pragma once

#include "platform/result.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace mavrel {

class LocalizableWindow;

// One entry of the message table.
struct MessageEntry
{
    QString key;
    QString text;
    bool inUse = false;
};

// The single localisation object, alive for the whole run.
//
// The message table holds the texts of the product that are not captions of a control:
// message-box texts and the pieces of the status line, looked up by key. Entries are only ever
// appended, so the entries in use always form one unbroken run from index 0 and every scan stops
// at the first unused one.
//
// The loaded language is the item lines of one group of Localization.txt in the application
// folder; applying it to a window sets the captions it translates and the table's texts. Texts
// are only ever replaced, never restored: a caption the new language lacks keeps what it showed.
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

    // The language most recently asked for (also when it was not found).
    QString currentLanguage() const { return m_currentLanguage; }
    void setCurrentLanguage(const QString &name) { m_currentLanguage = name; }

    // Loads the items of the named language and names it the current language. The items stay
    // as they were when the file or the group is missing or cannot be delimited.
    void loadLanguage(const QString &name);
    // The loaded item lines; nothing until a language has been loaded.
    const std::optional<QStringList> &itemLines() const { return m_itemLines; }

    // The prepared translation of an item of the loaded language, or the empty text.
    QString getCaption(const QString &strName) const;

    // Applies the language to the window: its captions, tabs, headers and caption, then the
    // message table. Falls back to English while nothing usable was loaded before.
    void ChangeLanguage(LocalizableWindow &myForm, const QString &strLang);
    // The same for a window whose kind names may carry blanks or other letter case.
    void ChangeLanguageMDI(LocalizableWindow &myForm, const QString &strLang);

    // Writes the English group of the file from the windows (loaded windows when not given)
    // and the message table, keeping the file's other languages. When it cannot be written the
    // old file stays.
    Result<void> makeLocalizationFile() const;
    Result<void> makeLocalizationFile(const std::vector<LocalizableWindow *> &windows) const;

    // The names of the file's languages in file order (duplicates included); empty without a
    // file.
    QStringList languageList() const;
    // Kept for callers of the old interface; the language window uses languageList().
    QString ListLanguages() const { return {}; }

    static QString localizationFilePath();
    static bool LangFileExists(const QString &asPath);
    // The file-name part of a path (after the last "/" or "\\").
    static QString LangTrimPath(const QString &asPath);

private:
    void applyLanguage(LocalizableWindow &myForm, const QString &strLang, bool looseKinds);

    std::array<MessageEntry, MessageCapacity> m_messages;
    int m_used = 0;
    QString m_currentLanguage;
    std::optional<QStringList> m_itemLines;
    QString m_itemsLanguage; // the name m_itemLines were loaded for
};

// The text of the localisation file; fails when it does not exist or cannot be read.
Result<QString> readLocalizationFile(const QString &path);

// The display form of a stored message: "[ProgramName]" and "[CompanyName]" (any letter case)
// replaced by the product and company names, first character upper-cased.
QString prepareMessage(const QString &text);

} // namespace mavrel
