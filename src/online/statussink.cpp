#include "online/statussink.h"

#include <QPointer>

#include <memory>

using namespace Qt::StringLiterals;

namespace mavrel {

QString downloadedText(qint64 byteCount)
{
    return u"Downloaded "_s + QString::number(byteCount) + u" bytes."_s;
}

StatusSink latestTextOnEachTurn(QObject *context, std::function<void(const QString &)> apply)
{
    struct Pending
    {
        QPointer<QObject> context;
        std::function<void(const QString &)> apply;
        QString text;
        bool scheduled = false;
    };
    auto pending = std::make_shared<Pending>();
    pending->context = context;
    pending->apply = std::move(apply);
    return [pending](const QString &text) {
        pending->text = text;
        if (pending->scheduled || pending->context.isNull())
            return;
        pending->scheduled = true;
        QMetaObject::invokeMethod(
            pending->context.data(),
            [pending] {
                pending->scheduled = false;
                pending->apply(pending->text);
            },
            Qt::QueuedConnection);
    };
}

} // namespace mavrel
