#pragma once

#include <QByteArray>
#include <QStringView>

#include <atomic>

namespace mavrel::server {

// Lines to standard error, at most one a second: when something fails for every request (a
// database that is down), the log says so once a second with a count of the lines left out,
// instead of growing by megabytes. One for each kind of line, so that one kind cannot hide
// another.
class RateLimitedLog
{
public:
    // prefix starts every line ("catalogue-server: request failed: ").
    explicit RateLimitedLog(const char *prefix) : m_prefix(prefix) {}

    // Writes the text as one line (line breaks in it become blanks), or counts it as left out.
    void write(QStringView text);

private:
    const char *m_prefix;
    std::atomic<qint64> m_quietUntil{0};
    std::atomic<int> m_leftOut{0};
};

// Sends Qt's own messages (a database driver's warnings) through a RateLimitedLog.
void limitQtMessages();

} // namespace mavrel::server
