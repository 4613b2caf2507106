#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <functional>
#include <vector>

namespace mavrel {

// A text as find-as-you-type compares it: accents dropped and letter case folded, so "cafe"
// and "CAFÉ" both fold to "cafe".
QString foldForFind(QStringView text);

// The folded names of a list, held in one buffer so that a keystroke is a plain scan of bytes.
class FoldedNames
{
public:
    // asciiOf gives the name's bytes when they are ASCII (a null view otherwise), which folds
    // without decoding; textOf gives the name as shown.
    using AsciiOf = std::function<QByteArrayView(std::size_t)>;
    using TextOf = std::function<QString(std::size_t)>;
    void build(std::size_t count, const AsciiOf &asciiOf, const TextOf &textOf);
    void clear();
    std::size_t size() const { return m_ends.size(); }

    // One flag per row: its name contains the needle, both folded. Every row for an empty needle.
    std::vector<char> matching(const QString &needle) const;

private:
    QByteArray m_bytes;          // UTF-8 of every folded name, one after the other
    std::vector<quint32> m_ends; // where each name ends in m_bytes
};

} // namespace mavrel
