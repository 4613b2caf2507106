#pragma once

#include "server/http/httpreply.h"
#include "server/store/cataloguestore.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace mavrel::server {

class CataloguePages;
class UpdateReplies;
struct BuiltReply;

// A reply being made elsewhere (an update reply being built). The front parks its request
// without holding a worker, and finishes it on a worker once woken.
class PendingReply
{
public:
    virtual ~PendingReply() = default;
    // wake runs once, on any thread; at once when the reply is ready already. It may still run
    // after abandon().
    virtual void onReady(std::function<void()> wake) = 0;
    // The client has gone: nothing is made for it any more.
    virtual void abandon() = 0;
    // The reply, once woken, with the pages of the worker that answers.
    virtual HttpReply finish(CataloguePages &pages) = 0;
};

// The page that records a viewer's report; the front limits how often one address may ask it.
inline constexpr char kReportPath[] = "/tv/getData.asp";

// Whose reports count as staff reports (admin=true): a request carrying one of the staff tokens
// in its kStaffHeader, and, on a server that listens on loopback only, a loopback client.
class StaffAccess
{
public:
    StaffAccess() = default;
    explicit StaffAccess(const QList<QByteArray> &tokens);

    // `credential`: the header's value, empty when it was not sent. Takes the same time
    // whichever token it is compared with, and however much of one it matches.
    bool allows(QByteArrayView credential, const QHostAddress &client, bool loopbackOnly) const;

private:
    QList<QByteArray> m_digests; // of the tokens: compared at one length
};

// Each report answered OK as one line appended to a file, for an operator who wants every report
// kept (the database keeps only what its rules need): type, value, item and the staff flag, the
// first three percent-encoded, separated by blanks. Safe from any thread.
class ReportLog
{
public:
    explicit ReportLog(QString path) : m_path(std::move(path)) {}
    void append(const Report &report);

private:
    QString m_path;
    QMutex m_mutex;
};

// The catalogue pages the viewer requests, independent of the HTTP transport: a path, the raw
// query as it arrived and the client's address in, the reply bytes out.
class CataloguePages
{
public:
    CataloguePages(CatalogueStore &store, QString localizationFile = {});

    // The paths handle() answers, for the front's route table.
    static QList<QByteArray> paths();
    // Nothing when the path is not one of the catalogue pages. `staff`: StaffAccess allowed
    // the request; without it a staff report is an ordinary one.
    std::optional<HttpReply> handle(QStringView path, QStringView rawQuery, const QString &client,
                                    bool staff = false);

    HttpReply currentDate(QStringView rawQuery);
    HttpReply channels(QStringView rawQuery, const QString &client, bool deadOnly);
    HttpReply storedDate(QStringView rawQuery, const QString &client);
    HttpReply report(QStringView rawQuery, const QString &client, bool staff = false);
    HttpReply submit(QStringView rawQuery, const QString &client);
    HttpReply localization();
    HttpReply guideNow();
    HttpReply guideDay(QStringView rawQuery);

    // Update replies are then built once per catalogue change and date asked, off the worker,
    // and shared (not owned; it outlives the pages). Without it, each request builds its own.
    void setUpdateReplies(UpdateReplies *replies) { m_replies = replies; }
    // Not owned; nullptr: none.
    void setReportLog(ReportLog *log) { m_reportLog = log; }
    // A reply built earlier, with this request's own part: the bookkeeping of its fetch.
    HttpReply builtUpdate(const BuiltReply &built, const QString &client);
    HttpReply failedUpdate(const Error &error);

private:
    HttpReply sharedUpdate(qint64 since, const QString &client, bool deadOnly);

    CatalogueStore &m_store;
    QString m_localizationFile;
    ReportLog *m_reportLog = nullptr;
    UpdateReplies *m_replies = nullptr;
};

// An update page's reply: its lines, then the date it covers.
QByteArray withCoveredDate(QByteArray lines, qint64 covered);

} // namespace mavrel::server
