#include "online/updateexchange.h"

#include "online/catalogueupdate.h"
#include "online/datetext.h"
#include "online/fetch.h"
#include "platform/files.h"

#include <QElapsedTimer>
#include <QLocale>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

bool arrivedWhole(const FetchResult &r)
{
    return r.end == FetchEnd::Complete && r.httpStatus >= 200 && r.httpStatus < 300;
}

QString failedText(const QString &why)
{
    return u"The update failed: "_s + why + u". Nothing was changed."_s;
}

QString lookedUp(const UpdateContext &context, const QString &key, const QString &fallback)
{
    const QString text = context.message ? context.message(key) : QString();
    return text.isEmpty() ? fallback : text;
}

// The channels ("ADD" lines) of a reply as it arrives: only elements not counted yet are read.
class ArrivalCounter
{
public:
    int advance(QByteArrayView body)
    {
        constexpr QByteArrayView separator("<BR>");
        for (qsizetype at; (at = body.indexOf(separator, m_next)) >= 0;) {
            if (body.sliced(m_next, at - m_next).startsWith("ADD|"))
                ++m_count;
            m_next = at + separator.size();
        }
        return m_count;
    }

private:
    qsizetype m_next = 0;
    int m_count = 0;
};

} // namespace

QString firstDownloadText(const UpdateContext &context, int channels)
{
    return lookedUp(context, u"MSG_FIRSTDOWNLOAD"_s,
                    u"Downloading the channel list\u2026 %1 channels"_s)
        .arg(QLocale().toString(channels));
}

QString serverUnreachableText(const UpdateContext &context)
{
    return lookedUp(context, u"MSG_SERVERUNREACHABLE"_s,
                    u"The catalogue server at %1 could not be reached.  To use another server, "
                    u"choose Update Channels \u25b8 Catalogue Server\u2026 or set "
                    u"MAVREL_CATALOGUE_URL."_s)
        .arg(QString::fromUtf8(context.server));
}

QString noUpdatesText()
{
    return u"No updates were available."_s;
}

QString downloadedUpdatesText(int count)
{
    return u"Downloaded "_s + QString::number(count) + u" channel updates"_s;
}

Result<UpdateOutcome> updateChannels(const UpdateContext &context, UpdateList list)
{
    using R = Result<UpdateOutcome>;
    const auto told = [&](const QString &text) {
        context.setStatus(text);
        context.showMessage(text);
        return R::failure(text, kUpdateFailed);
    };
    const auto fail = [&](const QString &why) { return told(failedText(why)); };
    const auto ownerGone = [] { return R::failure(u"the window was closed"_s, kUpdateOwnerGone); };
    const ProgressSink progress = statusTextThrottled(context.setStatus);
    const QString catalogueFile = context.dataDirectory + u"/Data.txt"_s;
    const bool first = list == UpdateList::Changes && !fileExists(catalogueFile);

    // A stored date that cannot be read asks from the very start: the merge replaces every
    // channel by its current line, so nothing is lost, only downloaded again. Without a
    // catalogue the stored date belongs to one that is gone.
    const QDateTime last = first ? initialUpdateDate()
                                 : parseDateText(QStringView(getINI(context.dataDirectory)))
                                       .valueOr(initialUpdateDate());

    FetchOptions dateOptions{FetchUse::ServerPage, context.owner, std::nullopt};
    // The dead-channel download asks for the date of the latest dead mark as well; the ordinary
    // update keeps the plain request, which ignores dead marks.
    const QByteArray datePage =
        list == UpdateList::Changes ? "/ostrel/currentdate.asp" : "/ostrel/currentdate.asp?dead=1";
    const FetchResult current =
        fetchPageWithStatus(context.server + datePage, progress, dateOptions);
    if (current.ownerGone)
        return ownerGone();
    if (current.httpStatus == 0 && current.end != FetchEnd::Aborted)
        return told(serverUnreachableText(context));
    if (!arrivedWhole(current))
        return fail(u"the catalogue server did not answer"_s);
    const Result<QDateTime> serverDate = parseDateText(QStringView(cleanDateReply(current.body)));
    if (!serverDate)
        return fail(u"the catalogue server's date could not be read"_s);
    // A first download goes ahead even then: an empty catalogue is still a catalogue.
    if (serverDate.value() <= last && !first) {
        context.setStatus(lookedUp(context, u"MSG_NOUPDATES"_s, noUpdatesText()));
        return UpdateOutcome{UpdateState::NoUpdates, 0};
    }

    const QByteArray path = list == UpdateList::Changes ? "/ostrel/getChannels.asp?date="
                                                        : "/ostrel/getChannelsOFFLINE.asp?date=";
    FetchOptions replyOptions{FetchUse::UpdateReply, context.owner, context.replyLimits, {}};
    if (first) {
        // Painting the status line for every block would cost more than counting it.
        struct Shown
        {
            ArrivalCounter counter;
            QElapsedTimer since;
        };
        auto shown = std::make_shared<Shown>();
        context.setStatus(firstDownloadText(context, 0));
        replyOptions.received = [&context, shown](QByteArrayView body) {
            const int channels = shown->counter.advance(body);
            if (!shown->since.isValid() || shown->since.elapsed() >= 100) {
                context.setStatus(firstDownloadText(context, channels));
                shown->since.start();
            }
        };
    }
    const FetchResult reply =
        fetchPageWithStatus(context.server + path + formatDateText(last).toLatin1(),
                            first ? ProgressSink() : progress, replyOptions);
    if (reply.ownerGone)
        return ownerGone();
    if (!arrivedWhole(reply))
        return fail(u"the channel updates did not arrive whole"_s);

    // The message below may stay open for long while other viewers at this address update; only
    // the date of this viewer's own reply fits its merge.
    // An older server's reply says no date: nothing bounds what is stored then.
    const Result<QDateTime> coveredDate =
        parseDateText(QStringView(replyCoveredDate(QByteArrayView(reply.body))));
    const Result<MergeSummary> merged =
        first ? writeFirstCatalogue(catalogueFile, QByteArrayView(reply.body))
              : mergeCatalogueUpdate(catalogueFile, QByteArrayView(reply.body));
    if (!merged)
        return fail(merged.error().message);
    const int count = merged.value().appended;
    // The replay of recent changes resends lines the viewer already holds; they are no news. A
    // download from the start brings the whole list, so its size is what the user wants to know.
    const int reported =
        last == initialUpdateDate() ? merged.value().total : merged.value().changed;
    // The first list needs no box: it is shown at once.
    if (first)
        context.setStatus(firstDownloadText(context, count));
    else
        context.showMessage(
            lookedUp(context, u"MSG_UPDATESDOWNLOADED"_s, u"Downloaded %1 channel updates"_s)
                .arg(reported));

    if (count > 0) {
        QByteArray datePath = "/ostrel/date.asp";
        if (coveredDate)
            datePath += "?date=" + formatDateText(coveredDate.value()).toLatin1();
        const FetchResult stored = fetchPage(context.server + datePath, dateOptions);
        if (stored.ownerGone)
            return ownerGone();
        // The merge has happened. A date that did not come, or cannot be read, is not stored:
        // the next update then asks from the old date again, and replaying lines is harmless.
        if (arrivedWhole(stored)) {
            if (const auto date = parseDateText(QStringView(cleanDateReply(stored.body)))) {
                const QDateTime kept =
                    coveredDate ? std::min(date.value(), coveredDate.value()) : date.value();
                // A date not stored asks from the old one next time, which is harmless.
                (void)makeINI(context.dataDirectory, formatDateText(kept));
            }
        }
        context.showChannels();
    }
    return UpdateOutcome{UpdateState::Merged, count};
}

} // namespace mavrel
