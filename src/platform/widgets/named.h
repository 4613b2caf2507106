#pragma once

#include <QString>

namespace mavrel {

// Gives a new control its object name (the key tests and the localisation file find it by) and,
// where its caption does not say what it is, an accessible name.
template<typename W> W *named(W *w, const QString &name, const QString &accessible = {})
{
    w->setObjectName(name);
    if (!accessible.isEmpty())
        w->setAccessibleName(accessible);
    return w;
}

} // namespace mavrel
