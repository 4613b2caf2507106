#include "platform/files.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace mavrel {

Result<void> writeFileAtomically(const QString &path, QByteArrayView bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Error{file.errorString()};
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return Error{why};
    }
    if (!file.commit())
        return Error{file.errorString()};
    return {};
}

QString getFileName(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

bool fileExists(const QString &path)
{
    const QString name = getFileName(path);
    if (name.isEmpty() || name.contains(u'*') || name.contains(u'?') || path.contains(QChar(0)))
        return false;
    const QFileInfo exact(path);
    if (exact.exists())
        return exact.isFile();
    // The stored name may differ in letter case only: look for it in its folder.
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = slash < 0 ? u"."_s : (slash == 0 ? u"/"_s : path.left(slash));
    const QDir dir(folder);
    if (!dir.exists())
        return false;
    const QString wanted = name.toUpper();
    // Only regular files (and links to them): a fifo or a device is no file to read.
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().toUpper() == wanted)
            return true;
    }
    return false;
}

} // namespace mavrel
