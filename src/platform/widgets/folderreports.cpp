#include "platform/widgets/folderreports.h"

#include "platform/appfolder.h"

#include <QPointer>
#include <QStatusBar>

namespace mavrel {

void showApplicationFolderFailures(QStatusBar *bar)
{
    // Long enough to be read; the bar's own text comes back afterwards.
    constexpr int kShownMs = 20000;
    setApplicationFolderFailureSink([target = QPointer<QStatusBar>(bar)](const QString &text) {
        if (!target)
            return false;
        target->showMessage(text, kShownMs);
        return true;
    });
}

} // namespace mavrel
