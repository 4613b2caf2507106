#include "online/statussink.h"

#include <QPointer>

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

ProgressSink statusTextOnEachTurn(QObject *box, std::function<void(const QString &)> setText)
{
    struct Pending
    {
        QPointer<QObject> box;
        std::function<void(const QString &)> setText;
        qint64 length = 0;
        bool scheduled = false;
    };
    auto pending = std::make_shared<Pending>();
    pending->box = box;
    pending->setText = std::move(setText);
    return [pending](qint64 length) {
        pending->length = length;
        if (pending->scheduled || pending->box.isNull())
            return;
        pending->scheduled = true;
        QMetaObject::invokeMethod(
            pending->box.data(),
            [pending] {
                pending->scheduled = false;
                pending->setText(downloadedText(pending->length));
            },
            Qt::QueuedConnection);
    };
}

} // namespace mavrel
