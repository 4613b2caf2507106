// The main window's part of channel submission: opening the window.
#include "mainwindow/ui/form1.h"
#include "submit/ui/frmsubmit.h"

using namespace Qt::StringLiterals;

namespace mavrel {

void Form1::openSubmitWindow()
{
    auto *window = findChild<frmSubmit *>(u"frmSubmit"_s, Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new frmSubmit(languages(), favorites(), this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->Form_Load();
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace mavrel
