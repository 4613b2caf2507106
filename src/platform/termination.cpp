#include "platform/termination.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace mavrel {

namespace {

// The signal handler may only write to a descriptor; the notifier hears it on the event loop.
int g_signalPipe[2] = {-1, -1};

void writeSignal(int signal)
{
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
}

struct Listener
{
    QPointer<QSocketNotifier> notifier; // owned by the application object
    std::function<void()> handler;
};

Listener &listener()
{
    static Listener l;
    return l;
}

bool setDisposition(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}

} // namespace

bool onTerminationSignals(std::function<void()> handler)
{
    Listener &l = listener();
    l.handler = std::move(handler);
    if (!l.handler)
        return setDisposition(SIG_DFL);
    if (g_signalPipe[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return false;
    if (!l.notifier) {
        l.notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read,
                                         QCoreApplication::instance());
        QObject::connect(l.notifier, &QSocketNotifier::activated, l.notifier, [] {
            char byte;
            if (::read(g_signalPipe[1], &byte, 1) == 1 && listener().handler)
                listener().handler();
        });
    }
    return setDisposition(writeSignal);
}

} // namespace mavrel
