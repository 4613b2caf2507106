#include "server/http/parkedrequests.h"

#include <QList>

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace mavrel::server {

namespace {

// Bytes of a reply beyond which its connection's send buffer stays small.
constexpr int kLargeReply = 32 * 1024;

} // namespace

struct ParkedRequests::Ticket
{
    enum State
    {
        Waiting,
        Ready,
        Gone
    };
    MHD_Connection *connection = nullptr;
    std::shared_ptr<PendingReply> pending;
    State state = Waiting;
    bool suspended = false;
    quint64 id = 0; // in the watcher's epoll set while suspended
    int fd = -1;
};

struct ParkedRequests::Impl
{
    // Epoll id of the event that ends the watcher.
    static constexpr quint64 kQuit = 0;

    std::mutex lock;
    int epoll = -1;
    int quitEvent = -1;
    std::thread watcher;
    bool open = false;
    std::unordered_map<quint64, std::shared_ptr<Ticket>> parked;
    quint64 nextId = kQuit + 1;

    void ready(Ticket &ticket);
    // Under the lock: the connection leaves the parking and is resumed.
    void unpark(Ticket &ticket);
    void watch();
};

ParkedRequests::ParkedRequests() : d(std::make_shared<Impl>())
{
    d->epoll = ::epoll_create1(EPOLL_CLOEXEC);
    d->quitEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.u64 = Impl::kQuit;
    ::epoll_ctl(d->epoll, EPOLL_CTL_ADD, d->quitEvent, &e);
}

ParkedRequests::~ParkedRequests()
{
    stop();
    ::close(d->quitEvent);
    ::close(d->epoll);
}

void ParkedRequests::start()
{
    std::lock_guard l(d->lock);
    d->open = true;
    if (!d->watcher.joinable())
        d->watcher = std::thread([impl = d.get()]() { impl->watch(); });
}

void ParkedRequests::stop()
{
    std::vector<std::shared_ptr<PendingReply>> gone;
    {
        std::lock_guard l(d->lock);
        d->open = false;
        while (!d->parked.empty()) {
            const std::shared_ptr<Ticket> t = d->parked.begin()->second;
            t->state = Ticket::Gone;
            gone.push_back(t->pending);
            d->unpark(*t);
        }
    }
    if (d->watcher.joinable()) {
        ::eventfd_write(d->quitEvent, 1);
        d->watcher.join();
    }
    for (const auto &p : gone)
        p->abandon();
}

void ParkedRequests::Impl::unpark(Ticket &t)
{
    if (!t.suspended)
        return;
    // Out of the epoll set before the library may close the descriptor.
    if (t.fd >= 0)
        ::epoll_ctl(epoll, EPOLL_CTL_DEL, t.fd, nullptr);
    t.suspended = false;
    MHD_resume_connection(t.connection);
    parked.erase(t.id); // last, as it may hold the last reference but the caller's
}

void ParkedRequests::Impl::ready(Ticket &t)
{
    std::lock_guard l(lock);
    if (t.state != Ticket::Waiting)
        return;
    t.state = Ticket::Ready;
    unpark(t);
}

void ParkedRequests::Impl::watch()
{
    epoll_event events[64];
    for (;;) {
        const int n = ::epoll_wait(epoll, events, 64, -1);
        if (n < 0 && errno != EINTR)
            return;
        std::vector<std::shared_ptr<PendingReply>> gone;
        bool quit = false;
        {
            std::lock_guard l(lock);
            for (int i = 0; i < n; ++i) {
                const quint64 id = events[i].data.u64;
                if (id == kQuit) {
                    eventfd_t value = 0;
                    ::eventfd_read(quitEvent, &value);
                    quit = true;
                    continue;
                }
                const auto it = parked.find(id);
                if (it == parked.end() || it->second->state != Ticket::Waiting)
                    continue; // answered meanwhile
                const std::shared_ptr<Ticket> t = it->second;
                t->state = Ticket::Gone;
                gone.push_back(t->pending);
                unpark(*t);
            }
        }
        for (const auto &p : gone)
            p->abandon();
        if (quit)
            return;
    }
}

bool ParkedRequests::park(MHD_Connection *connection, std::shared_ptr<PendingReply> pending,
                          std::shared_ptr<Ticket> &ticket)
{
    const auto t = std::make_shared<Ticket>();
    t->connection = connection;
    t->pending = std::move(pending);
    ticket = t;
    {
        std::lock_guard l(d->lock);
        if (!d->open) {
            t->state = Ticket::Gone;
            return false;
        }
    }
    t->pending->onReady(
        [weakTicket = std::weak_ptr<Ticket>(t), weakImpl = std::weak_ptr<Impl>(d)]() {
            const auto impl = weakImpl.lock();
            const auto ticket = weakTicket.lock();
            if (impl && ticket)
                impl->ready(*ticket);
        });
    std::lock_guard l(d->lock);
    if (t->state != Ticket::Waiting || !d->open)
        return false;
    const MHD_ConnectionInfo *info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    MHD_suspend_connection(connection);
    t->suspended = true;
    t->id = d->nextId++;
    d->parked.emplace(t->id, t);
    // Not polled by the library while suspended: a client hanging up is seen here alone.
    t->fd = info ? info->connect_fd : -1;
    epoll_event e{};
    e.events = EPOLLRDHUP;
    e.data.u64 = t->id;
    if (t->fd >= 0)
        ::epoll_ctl(d->epoll, EPOLL_CTL_ADD, t->fd, &e);
    return true;
}

std::shared_ptr<PendingReply> ParkedRequests::resumed(const std::shared_ptr<Ticket> &ticket)
{
    std::lock_guard l(d->lock);
    return ticket->state == Ticket::Ready ? ticket->pending : nullptr;
}

void ParkedRequests::release(const std::shared_ptr<Ticket> &ticket)
{
    std::shared_ptr<PendingReply> pending;
    bool abandoned = false;
    {
        std::lock_guard l(d->lock);
        pending = std::move(ticket->pending);
        abandoned = ticket->state == Ticket::Waiting;
        ticket->state = Ticket::Gone;
        if (ticket->suspended && ticket->fd >= 0)
            ::epoll_ctl(d->epoll, EPOLL_CTL_DEL, ticket->fd, nullptr);
        ticket->suspended = false;
        d->parked.erase(ticket->id);
    }
    if (abandoned && pending)
        pending->abandon();
}

bool acceptsGzip(QByteArrayView acceptEncoding)
{
    for (const QByteArray &item : acceptEncoding.toByteArray().split(',')) {
        const QList<QByteArray> parts = item.split(';');
        const QByteArray coding = parts[0].trimmed().toLower();
        if (coding != "gzip" && coding != "x-gzip")
            continue;
        bool refused = false;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QByteArray param = parts[i].trimmed().toLower();
            if (param.startsWith("q="))
                refused = param.mid(2).toDouble() <= 0;
        }
        return !refused;
    }
    return false;
}

MHD_Response *bodyResponse(MHD_Connection *connection, const QByteArray &body)
{
    auto *bytes = new QByteArray(body);
    if (bytes->size() > kLargeReply) {
        // A send takes at most this much at a time: a worker sending large replies to many
        // clients comes round to the cheap pages between them.
        if (const MHD_ConnectionInfo *info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)) {
            const int size = kLargeReply;
            ::setsockopt(info->connect_fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
        }
    }
    MHD_Response *response = MHD_create_response_from_buffer_with_free_callback_cls(
        size_t(bytes->size()), const_cast<char *>(bytes->constData()),
        [](void *cls) { delete static_cast<QByteArray *>(cls); }, bytes);
    if (!response)
        delete bytes;
    return response;
}

} // namespace mavrel::server
