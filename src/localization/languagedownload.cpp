#include "localization/languagedownload.h"

#include "localization/localizationfile.h"

#include <QSaveFile>

namespace mavrel {

DownloadOutcome storeLanguageDownload(const QByteArray &body, bool receivedWhole, int httpStatus,
                                      const QString &path)
{
    if (!receivedWhole || httpStatus < 200 || httpStatus > 299)
        return DownloadOutcome::Unusable;
    if (!body.toUpper().contains(kTranslationItemsTag))
        return DownloadOutcome::Unusable;
    // Found, since the tag begins with one.
    const qsizetype first = body.indexOf('<');
    const QByteArray document = body.mid(first);
    if (languageNames(localizationText(document)).isEmpty())
        return DownloadOutcome::Unusable;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return DownloadOutcome::SaveFailed;
    file.write(document);
    file.write("\r\n");
    return file.commit() ? DownloadOutcome::Saved : DownloadOutcome::SaveFailed;
}

} // namespace mavrel
