#include "branding/ui/form8.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/widgets/desktopopen.h"

#include <QCoreApplication>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace mavrel {

Form8::Form8(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(u"Form8"_s);
}

bool Form8::Form_Load()
{
    resize(0, 0);
    setVisible(false);
    const QString help = applicationFolder() + u'/' + QLatin1StringView(kHelpFile);
    if (!fileExists(help))
        return false;
    openOnDesktop(QUrl::fromLocalFile(help));
    storeSetting(SettingKey::MachineShowHelp, u"0"_s);
    return true;
}

void Form8::run(QWidget *owner)
{
    Form8 launcher(owner);
    launcher.Form_Load();
    QCoreApplication::processEvents();
}

} // namespace mavrel
