#include "server/http/ratelimitedlog.h"

#include <QDateTime>
#include <QString>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace mavrel::server {

void RateLimitedLog::write(QStringView text)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qint64 until = m_quietUntil.load();
    if (now < until || !m_quietUntil.compare_exchange_strong(until, now + 1000)) {
        ++m_leftOut;
        return;
    }
    QString line = text.toString().simplified();
    if (const int more = m_leftOut.exchange(0))
        line += u" (and %1 more since the last line)"_s.arg(more);
    std::fprintf(stderr, "%s%s\n", m_prefix, qPrintable(line));
}

namespace {

void limitedQtMessage(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    static RateLimitedLog log("catalogue-server: ");
    // The last words before an abort are never left out.
    if (type == QtFatalMsg)
        std::fprintf(stderr, "catalogue-server: %s\n", qPrintable(text));
    else
        log.write(text);
}

} // namespace

void limitQtMessages()
{
    qInstallMessageHandler(limitedQtMessage);
}

} // namespace mavrel::server
