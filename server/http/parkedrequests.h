#pragma once

#include "server/catalogue/cataloguepages.h"

#include <QByteArray>
#include <QByteArrayView>

#include <microhttpd.h>

#include <memory>

namespace mavrel::server {

// Requests whose reply is not ready yet (a PendingReply). Their connections are suspended, so
// that they hold no worker, and watched for the client hanging up, which abandons the reply;
// they are resumed once the reply is ready or the client has gone.
class ParkedRequests
{
public:
    struct Ticket;

    ParkedRequests();
    ~ParkedRequests();
    ParkedRequests(const ParkedRequests &) = delete;
    ParkedRequests &operator=(const ParkedRequests &) = delete;

    // Before serving. stop() resumes every parked request as gone; after it nothing is parked
    // (the daemon must not stop with suspended connections).
    void start();
    void stop();

    // From the access handler: suspends the connection until the reply is ready, and returns
    // true. False when it is ready at once or the client has gone: ask resumed() right away.
    bool park(MHD_Connection *connection, std::shared_ptr<PendingReply> pending,
              std::shared_ptr<Ticket> &ticket);
    // The reply to finish, or nothing when its client has gone (close the connection).
    std::shared_ptr<PendingReply> resumed(const std::shared_ptr<Ticket> &ticket);
    // The request has ended, answered or not.
    void release(const std::shared_ptr<Ticket> &ticket);

    struct Impl;

private:
    std::shared_ptr<Impl> d;
};

// A response sending `bytes` from the reply's own buffer rather than a copy (a shared reply, a
// built update, goes to every client from one buffer).
MHD_Response *bodyResponse(MHD_Connection *connection, const QByteArray &bytes);

// Whether an Accept-Encoding value takes gzip.
bool acceptsGzip(QByteArrayView acceptEncoding);

} // namespace mavrel::server
