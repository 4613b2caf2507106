#include "catalogue/foldednames.h"

#include <algorithm>
#include <string_view>

namespace mavrel {

QString foldForFind(QStringView text)
{
    // Decomposed, an accented letter is its base letter followed by combining marks.
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString result;
    result.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            result.append(c);
    }
    return result.toCaseFolded();
}

void FoldedNames::clear()
{
    m_bytes = {};
    m_ends = {};
}

void FoldedNames::build(std::size_t count, const AsciiOf &asciiOf, const TextOf &textOf)
{
    clear();
    m_ends.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const QByteArrayView ascii = asciiOf ? asciiOf(i) : QByteArrayView();
        if (ascii.data() != nullptr) {
            const qsizetype start = m_bytes.size();
            m_bytes.append(ascii);
            char *p = m_bytes.data() + start;
            for (qsizetype k = 0; k < ascii.size(); ++k) {
                if (p[k] >= 'A' && p[k] <= 'Z')
                    p[k] = char(p[k] - 'A' + 'a');
            }
        } else {
            m_bytes.append(foldForFind(textOf(i)).toUtf8());
        }
        m_ends.push_back(quint32(m_bytes.size()));
        m_bytes.append('\0');
    }
}

std::vector<char> FoldedNames::matching(const QString &needle) const
{
    QByteArray folded = foldForFind(needle).toUtf8();
    folded.replace('\0', QByteArray()); // the separator between names
    if (folded.isEmpty())
        return std::vector<char>(m_ends.size(), 1);
    // One scan of the whole buffer; a hit is never across two names, the separator is in none.
    std::vector<char> result(m_ends.size(), 0);
    const std::string_view all(m_bytes.constData(), std::size_t(m_bytes.size()));
    const std::string_view pattern(folded.constData(), std::size_t(folded.size()));
    auto end = m_ends.begin();
    for (std::size_t at = all.find(pattern); at != std::string_view::npos;) {
        end = std::upper_bound(end, m_ends.end(), quint32(at));
        result[std::size_t(end - m_ends.begin())] = 1;
        at = all.find(pattern, *end + 1); // the next name
    }
    return result;
}

} // namespace mavrel
