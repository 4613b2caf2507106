#include "online/statussink.h"

#include <QElapsedTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace mavrel {

QString downloadedText(qint64 length)
{
    return u"Downloaded "_s + QString::number(length) + u" bytes."_s;
}

ProgressSink statusText(std::function<void(const QString &)> setText)
{
    return [setText = std::move(setText)](qint64 length) { setText(downloadedText(length)); };
}

ProgressSink statusTextThrottled(std::function<void(const QString &)> setText, int minIntervalMs)
{
    struct State
    {
        std::function<void(const QString &)> setText;
        QElapsedTimer sinceShown;
        qint64 lastLength = -1;
    };
    auto state = std::make_shared<State>();
    state->setText = std::move(setText);
    return [state, minIntervalMs](qint64 length) {
        const bool last = length == state->lastLength;
        state->lastLength = length;
        if (last || !state->sinceShown.isValid() || state->sinceShown.elapsed() >= minIntervalMs) {
            state->setText(downloadedText(length));
            state->sinceShown.start();
        }
    };
}

} // namespace mavrel
