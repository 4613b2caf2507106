#pragma once

#include <QList>
#include <QObject>

#include <functional>
#include <vector>

namespace mavrel {

// Runs a handler for chosen keys pressed without modifiers in chosen widgets, or for a double
// click on them, before the widget itself sees the event.
class KeyRouter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void onKeys(QObject *target, const QList<int> &keys, std::function<void()> handler);
    void onDoubleClick(QObject *target, std::function<void()> handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Route
    {
        QObject *target;
        QList<int> keys; // empty: a double click
        std::function<void()> handler;
    };
    void watch(QObject *target);
    std::vector<Route> m_routes;
};

} // namespace mavrel
