#pragma once

#include <QIcon>
#include <QString>

class QWidget;

namespace mavrel {

// The named icon set of the application's resources ("AAA"), every size it has.
QIcon iconGroup(const QString &name);

// Gives the window the icon set; with alsoOwner the window's top-level owner and the
// application (its task-bar and switcher entry) get it too.
void setWindowIcon(QWidget *window, const QString &groupName, bool alsoOwner);

} // namespace mavrel
