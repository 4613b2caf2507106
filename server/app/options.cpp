#include "server/app/options.h"

#include <QFile>
#include <QRegularExpression>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace mavrel::server::app {

void err(const QString &text)
{
    std::fprintf(stderr, "catalogue-server: %s\n", qPrintable(text));
}

int usageError(const QString &text)
{
    err(text);
    std::fputs("Try 'catalogue-server --help'.\n", stderr);
    return ExitUsage;
}

Result<qint64> parseDuration(const QString &text)
{
    const auto unreadable = [&] {
        return Result<qint64>::failure(u"'%1' is no duration"_s.arg(text));
    };
    if (text.size() < 2)
        return unreadable();
    const QChar unit = text.back();
    const qint64 scale = unit == u's'   ? 1
                         : unit == u'm' ? 60
                         : unit == u'h' ? 3600
                         : unit == u'd' ? 86400
                                        : 0;
    bool ok = false;
    const qint64 n = text.chopped(1).toLongLong(&ok);
    if (!ok || scale == 0 || n <= 0 || n > 366 * 86400 / scale)
        return unreadable();
    return n * scale;
}

namespace {

Result<void> readConfig(const QString &file, Options &o);

// One token a line; blank lines and lines starting with # are skipped.
Result<void> readStaffTokens(const QString &file, QList<QByteArray> &tokens)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return Error{u"cannot read the staff tokens file %1: %2"_s.arg(file, f.errorString())};
    const QByteArray text = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return Error{u"cannot read the staff tokens file %1: %2"_s.arg(file, f.errorString())};
    tokens.clear();
    for (const QByteArray &line : text.split('\n')) {
        const QByteArray token = line.trimmed();
        if (!token.isEmpty() && !token.startsWith('#'))
            tokens.append(token);
    }
    return {};
}

// Takes the options in args from i on. Returns an error text, or nothing on success.
Result<void> parseOptions(const QStringList &args, qsizetype i, Options &o, bool inConfig)
{
    for (; i < args.size(); ++i) {
        const QString &a = args[i];
        auto next = [&](QString &out) -> bool {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        if ((a == u"--help" || a == u"-h") && !inConfig) {
            o.help = true;
        } else if (a == u"--config" && o.command == u"serve" && !inConfig) {
            QString file;
            if (!next(file))
                return Error{u"--config needs a file"_s};
            if (Result<void> read = readConfig(file, o); !read)
                return read;
        } else if (a == u"--db") {
            if (!next(o.db))
                return Error{u"--db needs a file or a postgresql:// address"_s};
        } else if (a == u"--listen" && o.command == u"serve") {
            if (!next(o.listen))
                return Error{u"--listen needs an address"_s};
        } else if (a == u"--port" && o.command == u"serve") {
            QString text;
            bool ok = false;
            if (!next(text) || (o.port = text.toInt(&ok), !ok) || o.port < 0 || o.port > 65535)
                return Error{u"--port needs a number from 0 to 65535"_s};
        } else if (a == u"--demo" && o.command == u"serve") {
            o.demo = true;
        } else if (a == u"--localization" && o.command == u"serve") {
            if (!next(o.localization))
                return Error{u"--localization needs a file"_s};
        } else if (o.command == u"serve" &&
                   (a == u"--threads" || a == u"--max-connections" || a == u"--per-address" ||
                    a == u"--idle-timeout" || a == u"--head-timeout" || a == u"--report-rate")) {
            QString text;
            bool ok = false;
            const uint min = a == u"--per-address" || a == u"--report-rate" ? 0 : 1;
            const uint n = next(text) ? text.toUInt(&ok) : 0;
            if (!ok || n < min || n > 100000)
                return Error{u"%1 needs a number from %2 to 100000"_s.arg(a).arg(min)};
            o.threadsGiven = o.threadsGiven || a == u"--threads";
            (a == u"--threads"           ? o.limits.threads
             : a == u"--max-connections" ? o.limits.maxConnections
             : a == u"--per-address"     ? o.limits.perAddress
             : a == u"--head-timeout"    ? o.limits.headTimeoutSecs
             : a == u"--report-rate"     ? o.limits.reportRate
                                         : o.limits.idleTimeoutSecs) = n;
        } else if (a == u"--report-log" && o.command == u"serve") {
            if (!next(o.reportLog))
                return Error{u"--report-log needs a file"_s};
        } else if (a == u"--video-log" && o.command == u"serve") {
            if (!next(o.videoLog))
                return Error{u"--video-log needs a file"_s};
        } else if (a == u"--videos" && o.command == u"serve") {
            if (!next(o.videos))
                return Error{u"--videos needs a folder"_s};
        } else if (a == u"--staff-tokens" && o.command == u"serve") {
            QString file;
            if (!next(file))
                return Error{u"--staff-tokens needs a file"_s};
            if (Result<void> read = readStaffTokens(file, o.staffTokens); !read)
                return read;
        } else if (a == u"--sync" && o.command == u"serve") {
            Options::Sync sync;
            if (!next(sync.source))
                return Error{u"--sync needs a source"_s};
            o.syncs.append(sync);
        } else if (a == u"--every" && o.command == u"serve") {
            QString text;
            const auto secs = next(text) ? parseDuration(text) : Result<qint64>::failure({});
            if (!secs || secs.value() < 60)
                return Error{u"--every needs a duration of at least 1m (such as 30m, 6h or 1d)"_s};
            if (o.syncs.isEmpty() || o.syncs.back().everySecs != 0)
                return Error{u"--every follows a --sync SOURCE"_s};
            o.syncs.back().everySecs = secs.value();
        } else if (a == u"--guide" && o.command != u"export" && o.command != u"remove") {
            QString guide;
            if (!next(guide))
                return Error{u"--guide needs a file or an http(s) address"_s};
            if (o.command == u"serve") {
                if (o.syncs.isEmpty())
                    return Error{u"--guide follows a --sync SOURCE --every DURATION"_s};
                o.syncs.back().guides.append(guide);
            } else {
                o.guides.append(guide);
            }
        } else if (a.startsWith(u'-') && a.size() > 1) {
            return Error{u"unknown option '%1'"_s.arg(a)};
        } else if (o.command == u"import" || o.command == u"sync" || o.command == u"remove") {
            o.rest.append(a);
        } else {
            return Error{u"unexpected argument '%1'"_s.arg(a)};
        }
    }
    return {};
}

// A configuration file holds serve options as on the command line, a line holding an option and
// its value (or a --sync SOURCE --every DURATION pair); blank lines and lines starting with #
// are skipped. Values cannot hold blanks.
Result<void> readConfig(const QString &file, Options &o)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return Error{u"cannot read the configuration file %1: %2"_s.arg(file, f.errorString())};
    static const QRegularExpression blanks(u"\\s+"_s);
    int number = 0;
    while (!f.atEnd()) {
        ++number;
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList words = line.split(blanks, Qt::SkipEmptyParts);
        Result<void> parsed;
        if (!words.first().startsWith(u"--"))
            parsed = Error{u"expected an option such as --demo, found '%1'"_s.arg(words.first())};
        else
            parsed = parseOptions(words, 0, o, true);
        if (parsed && words.contains(u"--sync"_s) && o.syncs.back().everySecs == 0)
            parsed =
                Error{u"--sync %1 needs --every DURATION on its line"_s.arg(o.syncs.back().source)};
        if (!parsed)
            return Error{u"%1:%2: %3"_s.arg(file).arg(number).arg(parsed.error().message)};
    }
    if (f.error() != QFileDevice::NoError)
        return Error{u"cannot read the configuration file %1: %2"_s.arg(file, f.errorString())};
    return {};
}

} // namespace

Result<void> parseArguments(const QStringList &args, Options &o)
{
    int i = 1;
    if (i < args.size() && !args[i].startsWith(u'-')) {
        o.command = args[i++];
        if (o.command != u"serve" && o.command != u"import" && o.command != u"sync" &&
            o.command != u"export" && o.command != u"remove")
            return Error{u"unknown command '%1'"_s.arg(o.command)};
    }
    if (Result<void> parsed = parseOptions(args, i, o, false); !parsed)
        return parsed;
    if (o.help)
        return {};
    if (o.db.isEmpty())
        return Error{u"--db DATABASE is required"_s};
    if ((o.command == u"import" || o.command == u"sync" || o.command == u"remove") &&
        o.rest.isEmpty() && o.guides.isEmpty())
        return Error{o.command == u"remove" ? u"remove needs at least one ID"_s
                                            : u"%1 needs at least one SOURCE"_s.arg(o.command)};
    for (const Options::Sync &sync : o.syncs) {
        if (sync.everySecs == 0)
            return Error{u"--sync %1 needs --every DURATION"_s.arg(sync.source)};
    }
    return {};
}

} // namespace mavrel::server::app
