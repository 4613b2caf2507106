#include "viewerfolders.h"

#include "platform/machinesettings.h"
#include "platform/paths.h"
#include "platform/settings.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace mavrel::test {

ViewerFolders::ViewerFolders()
{
    if (!m_temp.isValid())
        return;
    for (const QString &sub : {u"app"_s, u"data"_s, u"etc"_s, u"overlay"_s})
        QDir(m_temp.path()).mkpath(sub);
    setApplicationFolderOverride(m_temp.path() + u"/app"_s);
    setDataDirectoryOverride(m_temp.path() + u"/data"_s);
    setMachineStoreFolders({m_temp.path() + u"/etc"_s, m_temp.path() + u"/overlay"_s});
    QFile::remove(userSettingsFilePath(settingsApplication()));
    storeSetting(SettingKey::Language, u"English"_s);
    storeSetting(SettingKey::ShowHelp, u"0"_s);
}

ViewerFolders::~ViewerFolders()
{
    setApplicationFolderOverride({});
    setDataDirectoryOverride({});
    setMachineStoreFolders({});
}

} // namespace mavrel::test
