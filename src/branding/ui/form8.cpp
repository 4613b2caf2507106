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

namespace {

// The languages whose help is shipped, by their name in the localisation file.
constexpr struct
{
    QStringView name;
    QStringView code;
} kHelpLanguages[] = {
    {u"Deutsch", u"de"},
    {u"Español", u"es"},
    {u"Français", u"fr"},
};

} // namespace

QString Form8::helpFileFor(const QString &language)
{
    const QString folder = applicationFolder() + u'/';
    for (const auto &l : kHelpLanguages) {
        if (language.trimmed().compare(l.name, Qt::CaseInsensitive) == 0)
            return folder + u"Help."_s + l.code.toString() + u".html"_s;
    }
    return folder + QLatin1StringView(kHelpFile);
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
