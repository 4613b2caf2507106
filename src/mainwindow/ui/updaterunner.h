#pragma once

#include "online/updateexchange.h"

#include <QObject>

#include <functional>

namespace mavrel {

// Runs the catalogue update commands, one at a time: the fetches let further clicks through,
// and a second update meanwhile would only merge the same lines again.
class UpdateRunner : public QObject
{
    Q_OBJECT
public:
    struct Hooks
    {
        std::function<QString()> dataDirectory;
        std::function<void(const QString &text)> setStatus; // the video frame's status box
        std::function<void()> showChannels;
        std::function<QString(const QString &key)> message;
    };

    UpdateRunner(Hooks hooks, QObject *parent);

    void run(UpdateList list);

private:
    Hooks m_hooks;
    bool m_running = false;
};

} // namespace mavrel
