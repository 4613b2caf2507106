#include "branding/ui/windowicon.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace mavrel {

QIcon iconGroup(const QString &name)
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128}) {
        const QString file = u":/branding/%1-%2.png"_s.arg(name).arg(size);
        if (QFile::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

void setWindowIcon(QWidget *window, const QString &groupName, bool alsoOwner)
{
    if (!window)
        return;
    const QIcon icon = iconGroup(groupName);
    if (alsoOwner) {
        QWidget *owner = window;
        while (owner->parentWidget())
            owner = owner->parentWidget();
        owner->setWindowIcon(icon);
        QApplication::setWindowIcon(icon);
    }
    window->setWindowIcon(icon);
}

} // namespace mavrel
