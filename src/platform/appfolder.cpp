#include "platform/appfolder.h"

#include "platform/paths.h"

#include <QSaveFile>
#include <QSet>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

struct Reports
{
    QSet<QString> reported;
    QStringList waiting;
    FailureSink sink;
};

Reports &reports()
{
    static Reports r;
    return r;
}

void deliver()
{
    Reports &r = reports();
    if (r.waiting.isEmpty() || !r.sink)
        return;
    if (r.sink(r.waiting.join(u"; "_s)))
        r.waiting.clear();
}

} // namespace

Result<void> writeFileReported(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return {};
    const QString reason = file.errorString();
    reportApplicationFolderFailure(path, reason);
    return Result<void>::failure(path + u": "_s + reason);
}

Result<void> writeApplicationFile(const QString &name, const QByteArray &bytes)
{
    return writeFileReported(applicationFolder() + u'/' + name, bytes);
}

void reportApplicationFolderFailure(const QString &path, const QString &reason)
{
    Reports &r = reports();
    if (r.reported.contains(path))
        return;
    r.reported.insert(path);
    r.waiting.append(u"Could not write %1 (%2)"_s.arg(path, reason));
    deliver();
}

void setApplicationFolderFailureSink(FailureSink sink)
{
    reports().sink = std::move(sink);
    deliver();
}

void resetApplicationFolderReports()
{
    Reports &r = reports();
    r.reported.clear();
    r.waiting.clear();
}

} // namespace mavrel
