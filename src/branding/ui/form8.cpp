#include "branding/ui/form8.h"

#include "localization/qttexts.h"
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

QString Form8::helpFileFor(const QString &language)
{
    // The English help is the one without a code; a language without its own falls back to it.
    const QString code = languageCodeOfName(language);
    if (!code.isEmpty() && code != u"en"_s)
        return applicationFolder() + u"/Help."_s + code + u".html"_s;
    return applicationFolder() + u'/' + QLatin1StringView(kHelpFile);
}

bool Form8::Form_Load(const QString &language, WhenNoHandler whenNoHandler)
{
    resize(0, 0);
    setVisible(false);
    QString help = helpFileFor(language);
    if (!fileExists(help))
        help = applicationFolder() + u'/' + QLatin1StringView(kHelpFile);
    if (!fileExists(help))
        return false;
    openOnDesktop(QUrl::fromLocalFile(help), whenNoHandler);
    storeSetting(SettingKey::MachineShowHelp, u"0"_s);
    return true;
}

void Form8::run(QWidget *owner, const QString &language, WhenNoHandler whenNoHandler)
{
    Form8 launcher(owner);
    launcher.Form_Load(language, whenNoHandler);
    QCoreApplication::processEvents();
}

} // namespace mavrel
