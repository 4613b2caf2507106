#include "platform/inikeys_p.h"

#include <QStringList>

namespace mavrel::detail {

namespace {

QString matching(const QStringList &names, const QString &wanted, bool *found)
{
    if (names.contains(wanted))
        return wanted;
    for (const QString &name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return name;
    }
    *found = false;
    return wanted;
}

} // namespace

QString storedKey(QSettings &settings, const QString &groupPath, const QString &key)
{
    const QStringList groups = groupPath.split(u'/', Qt::SkipEmptyParts);
    QStringList spelled;
    bool found = true;
    for (const QString &group : groups) {
        const QString name = found ? matching(settings.childGroups(), group, &found) : group;
        spelled << name;
        settings.beginGroup(name);
    }
    const QString keyName = found ? matching(settings.childKeys(), key, &found) : key;
    for (qsizetype i = 0; i < groups.size(); ++i)
        settings.endGroup();
    spelled << keyName;
    return spelled.join(u'/');
}

} // namespace mavrel::detail
