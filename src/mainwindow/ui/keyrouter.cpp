#include "mainwindow/ui/keyrouter.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace mavrel {

void KeyRouter::watch(QObject *target)
{
    const bool watched = std::any_of(m_routes.cbegin(), m_routes.cend(),
                                     [&](const Route &r) { return r.target == target; });
    if (!watched) {
        target->installEventFilter(this);
        connect(target, &QObject::destroyed, this, [this, target] {
            std::erase_if(m_routes, [&](const Route &r) { return r.target == target; });
        });
    }
}

void KeyRouter::onKeys(QObject *target, const QList<int> &keys, std::function<void()> handler)
{
    watch(target);
    m_routes.push_back({target, keys, std::move(handler)});
}

void KeyRouter::onDoubleClick(QObject *target, std::function<void()> handler)
{
    watch(target);
    m_routes.push_back({target, {}, std::move(handler)});
}

bool KeyRouter::eventFilter(QObject *watched, QEvent *event)
{
    int key = 0;
    if (event->type() == QEvent::KeyPress) {
        const auto *press = static_cast<QKeyEvent *>(event);
        if (press->modifiers() & ~Qt::KeypadModifier)
            return false;
        key = press->key();
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            return false;
    } else {
        return false;
    }
    for (const Route &r : m_routes) {
        if (r.target == watched && (key ? r.keys.contains(key) : r.keys.isEmpty())) {
            const std::function<void()> handler = r.handler; // it may change the routes
            handler();
            return true;
        }
    }
    return false;
}

} // namespace mavrel
