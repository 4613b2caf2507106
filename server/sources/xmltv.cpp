#include "server/sources/xmltv.h"

#include <QDate>
#include <QIODevice>
#include <QXmlStreamReader>

#include <zlib.h>

using namespace Qt::StringLiterals;

namespace mavrel::server {

namespace {

constexpr qint64 kPieceBytes = 64 * 1024;
constexpr int kWaitMs = 30'000; // a sequential device silent this long has ended
// What one field may hold (UTF-8 bytes); the rest is cut.
constexpr qsizetype kMaxTitleBytes = 1024;
constexpr qsizetype kMaxDescriptionBytes = 8 * 1024;
// The XML reader holds a token (a text, a tag with its attributes, a comment) whole until it
// ends: one longer than this (give or take a piece) cannot be a guide's, and fails the read rather
// than fill the memory.
constexpr qint64 kMaxTokenBytes = 1024 * 1024;

// The device's bytes a piece at a time, inflated when they start as gzip does.
class GuideBytes
{
public:
    explicit GuideBytes(QIODevice &in) : m_in(in) {}
    ~GuideBytes()
    {
        if (m_gzip)
            inflateEnd(&m_z);
    }
    GuideBytes(const GuideBytes &) = delete;
    GuideBytes &operator=(const GuideBytes &) = delete;

    // The next piece; empty at the end.
    Result<QByteArray> next()
    {
        if (!m_started) {
            m_started = true;
            m_raw = readRaw();
            // Two bytes decide; a first read of one byte is unusual enough to read on for it.
            while (m_raw.size() < 2) {
                const QByteArray more = readRaw();
                if (more.isEmpty())
                    break;
                m_raw += more;
            }
            m_gzip = m_raw.startsWith("\x1f\x8b");
            if (m_gzip && inflateInit2(&m_z, 16 + MAX_WBITS) != Z_OK) {
                m_gzip = false;
                return Result<QByteArray>::failure(u"cannot start inflating the guide"_s);
            }
            if (!m_gzip)
                return std::exchange(m_raw, {});
        }
        if (!m_gzip)
            return readRaw();
        return inflated();
    }

private:
    QByteArray readRaw()
    {
        for (;;) {
            QByteArray piece = m_in.read(kPieceBytes);
            if (!piece.isEmpty() || m_in.atEnd() || !m_in.isSequential() ||
                !m_in.waitForReadyRead(kWaitMs))
                return piece;
        }
    }

    Result<QByteArray> inflated()
    {
        QByteArray out(kPieceBytes, Qt::Uninitialized);
        for (;;) {
            if (m_raw.isEmpty()) {
                m_raw = readRaw();
                if (m_raw.isEmpty()) {
                    if (m_midStream)
                        return Result<QByteArray>::failure(u"the gzip stream is truncated"_s);
                    return QByteArray();
                }
            }
            m_z.next_in = reinterpret_cast<Bytef *>(m_raw.data()) + m_rawPos;
            m_z.avail_in = uInt(m_raw.size() - m_rawPos);
            m_z.next_out = reinterpret_cast<Bytef *>(out.data());
            m_z.avail_out = uInt(out.size());
            const int rc = inflate(&m_z, Z_NO_FLUSH);
            m_rawPos = m_raw.size() - qsizetype(m_z.avail_in);
            if (m_rawPos == m_raw.size()) {
                m_raw.clear();
                m_rawPos = 0;
            }
            if (rc == Z_STREAM_END) {
                // Concatenated members are one stream; whatever follows must be another.
                m_midStream = false;
                inflateReset(&m_z);
            } else if (rc == Z_OK || rc == Z_BUF_ERROR) {
                m_midStream = true;
            } else {
                return Result<QByteArray>::failure(u"the gzip stream is damaged"_s);
            }
            const qsizetype produced = out.size() - qsizetype(m_z.avail_out);
            if (produced > 0) {
                out.truncate(produced);
                return out;
            }
        }
    }

    QIODevice &m_in;
    z_stream m_z{};
    QByteArray m_raw;
    qsizetype m_rawPos = 0;
    bool m_started = false;
    bool m_gzip = false;
    bool m_midStream = false;
};

int digits(QByteArrayView text, qsizetype at, qsizetype n)
{
    int value = 0;
    for (qsizetype i = at; i < at + n; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// A field being read: its text up to a little past the cap, so that the cut is known.
struct Field
{
    QString *target = nullptr;
    qsizetype cap = 0;
    bool cut = false;
};

// Cuts `text` to `cap` UTF-8 bytes, at a character's start; true when it was longer.
bool cutToBytes(QString &text, qsizetype cap)
{
    if (text.size() <= cap / 3)
        return false; // even three bytes a unit fit
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= cap)
        return false;
    qsizetype end = cap;
    while (end > 0 && (uchar(utf8[end]) & 0xc0) == 0x80)
        --end;
    utf8.truncate(end);
    text = QString::fromUtf8(utf8);
    return true;
}

class XmltvReader
{
public:
    XmltvReader(const GuideFilter &filter, const ProgrammeSink &sink)
        : m_filter(filter), m_sink(sink)
    {}

    // Reads what the XML reader holds; false when it needs more bytes.
    Result<bool> run(QXmlStreamReader &xml)
    {
        for (;;) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token != QXmlStreamReader::Invalid)
                ++tokens;
            switch (token) {
            case QXmlStreamReader::StartElement:
                startElement(xml);
                break;
            case QXmlStreamReader::EndElement:
                if (const Result<void> done = endElement(); !done)
                    return done.error();
                break;
            case QXmlStreamReader::Characters:
                characters(xml.text());
                break;
            case QXmlStreamReader::Invalid:
                if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                    return false;
                return Result<bool>::failure(u"not a readable guide: %1 (line %2)"_s.arg(
                    xml.errorString(), QString::number(xml.lineNumber())));
            case QXmlStreamReader::EndDocument:
                return true;
            default:
                break;
            }
        }
    }

    GuideCounts counts;
    qint64 tokens = 0;

private:
    void startElement(const QXmlStreamReader &xml)
    {
        ++m_depth;
        if (m_depth == 2 && xml.name() == "programme"_L1) {
            m_inProgramme = true;
            m_programme = Programme();
            m_cut = false;
            m_timesBad = false;
            const QXmlStreamAttributes attrs = xml.attributes();
            m_programme.guideId = attrs.value("channel"_L1).toUtf8();
            const auto start = parseXmltvTime(attrs.value("start"_L1).toUtf8());
            m_timesBad = !start;
            m_programme.start = start.valueOr(0);
            if (const QStringView stop = attrs.value("stop"_L1); !stop.isEmpty()) {
                const auto stopTime = parseXmltvTime(stop.toUtf8());
                m_timesBad = m_timesBad || !stopTime;
                m_programme.stop = stopTime.valueOr(0);
            }
            return;
        }
        if (!m_inProgramme || m_depth != 3)
            return;
        // The first of each field wins (guides give a title in several languages).
        const QStringView name = xml.name();
        QString *target = nullptr;
        qsizetype cap = kMaxTitleBytes;
        if (name == "title"_L1 && !m_seenTitle) {
            target = &m_programme.title;
            m_seenTitle = true;
        } else if (name == "sub-title"_L1 && !m_seenSubTitle) {
            target = &m_programme.subTitle;
            m_seenSubTitle = true;
        } else if (name == "desc"_L1 && !m_seenDescription) {
            target = &m_programme.description;
            cap = kMaxDescriptionBytes;
            m_seenDescription = true;
        } else if (name == "category"_L1 && !m_seenCategory) {
            target = &m_programme.category;
            m_seenCategory = true;
        }
        m_field = {target, cap, false};
    }

    void characters(QStringView text)
    {
        if (!m_field.target)
            return;
        QString &t = *m_field.target;
        // A UTF-16 unit is at least one UTF-8 byte: past cap units the field is over its cap.
        const qsizetype room = m_field.cap + 1 - t.size();
        if (room <= 0)
            return;
        t.append(text.first(std::min(room, text.size())));
    }

    Result<void> endElement()
    {
        const int depth = m_depth--;
        if (depth == 3 && m_field.target) {
            m_cut = cutToBytes(*m_field.target, m_field.cap) || m_cut;
            m_field = {};
        }
        if (depth != 2 || !m_inProgramme)
            return {};
        m_inProgramme = false;
        m_seenTitle = m_seenSubTitle = m_seenDescription = m_seenCategory = false;
        const bool backwards = m_programme.stop != 0 && m_programme.stop <= m_programme.start;
        if (m_timesBad || backwards || m_programme.guideId.isEmpty()) {
            ++counts.bad;
            return {};
        }
        if (m_filter.wanted && !m_filter.wanted(m_programme.guideId)) {
            ++counts.unknownChannel;
            return {};
        }
        // Without a stop a programme lasts until the next one: it is in the window by its start.
        const qint64 end = m_programme.stop > 0 ? m_programme.stop : m_programme.start + 1;
        if (m_programme.start >= m_filter.to || end <= m_filter.from) {
            ++counts.outOfWindow;
            return {};
        }
        if (m_cut)
            ++counts.bad; // kept, cut
        ++counts.programmes;
        return m_sink(std::move(m_programme));
    }

    const GuideFilter &m_filter;
    const ProgrammeSink &m_sink;
    Programme m_programme;
    Field m_field;
    int m_depth = 0;
    bool m_inProgramme = false;
    bool m_timesBad = false;
    bool m_cut = false;
    bool m_seenTitle = false;
    bool m_seenSubTitle = false;
    bool m_seenDescription = false;
    bool m_seenCategory = false;
};

} // namespace

Result<qint64> parseXmltvTime(QByteArrayView text)
{
    const auto bad = [&] {
        return Result<qint64>::failure(u"bad guide time: %1"_s.arg(QString::fromUtf8(text)));
    };
    text = text.trimmed();
    // Seconds may be left out: "YYYYMMDDhhmm".
    qsizetype n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9')
        ++n;
    if (n != 12 && n != 14)
        return bad();
    const int year = digits(text, 0, 4), month = digits(text, 4, 2), day = digits(text, 6, 2);
    const int hour = digits(text, 8, 2), minute = digits(text, 10, 2);
    const int second = n == 14 ? digits(text, 12, 2) : 0;
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return bad();
    qint64 offset = 0;
    QByteArrayView zone = text.sliced(n);
    if (zone.startsWith(' '))
        zone = zone.sliced(1);
    if (!zone.isEmpty()) {
        if (zone.size() != 5 || (zone[0] != '+' && zone[0] != '-'))
            return bad();
        const int zh = digits(zone, 1, 2), zm = digits(zone, 3, 2);
        if (zh < 0 || zh > 14 || zm < 0 || zm > 59)
            return bad();
        offset = (zh * 3600 + zm * 60) * (zone[0] == '-' ? -1 : 1);
    }
    const qint64 days = date.toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    return days * 86400 + hour * 3600 + minute * 60 + second - offset;
}

// Bytes that are no UTF-8 in a UTF-8 guide fail the read (the XML reader's own check): such a
// guide is damaged or mislabelled, and its channels keep the programmes they had.
Result<GuideCounts> readXmltv(QIODevice &in, const GuideFilter &filter, const ProgrammeSink &sink)
{
    GuideBytes bytes(in);
    QXmlStreamReader xml;
    XmltvReader reader(filter, sink);
    qint64 sinceToken = 0; // bytes given to the XML reader since it last finished a token
    for (;;) {
        Result<QByteArray> piece = bytes.next();
        if (!piece)
            return piece.error();
        const bool atEnd = piece.value().isEmpty();
        if (!atEnd)
            xml.addData(piece.value());
        sinceToken += piece.value().size();
        if (sinceToken > kMaxTokenBytes)
            return Result<GuideCounts>::failure(u"the guide holds an element over 1 MiB"_s);
        const qint64 tokensBefore = reader.tokens;
        const Result<bool> whole = reader.run(xml);
        if (reader.tokens != tokensBefore)
            sinceToken = 0;
        if (!whole)
            return whole.error();
        if (whole.value()) {
            // What follows the document is read too, so that a damaged gzip stream is noticed.
            while (!atEnd) {
                const Result<QByteArray> rest = bytes.next();
                if (!rest)
                    return rest.error();
                if (rest.value().isEmpty())
                    break;
            }
            return reader.counts;
        }
        if (atEnd)
            return Result<GuideCounts>::failure(u"the guide ends before its last element"_s);
    }
}

} // namespace mavrel::server
