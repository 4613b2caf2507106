#include "mainwindow/opentarget.h"

#include "player/mediakinds.h"

#include <QFileInfo>
#include <QMimeData>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029;
}

Result<QUrl> refuse(const QString &text, const QString &why)
{
    return Result<QUrl>::failure(u"cannot open \"%1\": %2"_s.arg(shownTargetText(text), why), 1);
}

// "." segments and doubled slashes go; ".." stays, as the kernel resolves it through links.
QString joinedPath(const QString &folder, const QString &path)
{
    const QString whole = path.startsWith(u'/') ? path : folder + u'/' + path;
    QStringList kept;
    for (const QString &segment : whole.split(u'/', Qt::SkipEmptyParts)) {
        if (segment != u"."_s)
            kept.append(segment);
    }
    return u'/' + kept.join(u'/');
}

} // namespace

Result<QUrl> openTargetFromText(const QString &text, const QString &workingFolder)
{
    if (text.trimmed().isEmpty())
        return Result<QUrl>::failure(u"cannot open an empty address"_s, 1);
    for (const QChar c : text) {
        if (isControl(c))
            return refuse(text, u"it holds a control character"_s);
    }

    static const QRegularExpression schemePattern(u"^([A-Za-z][A-Za-z0-9+.-]*):"_s);
    const QRegularExpressionMatch scheme = schemePattern.match(text);
    if (!scheme.hasMatch()) {
        // A path: the player reports a missing file itself, and a hung mount must not block here.
        if (!text.startsWith(u'/') && !QFileInfo(workingFolder).isAbsolute())
            return refuse(text, u"a relative path needs a folder"_s);
        return QUrl::fromLocalFile(joinedPath(workingFolder, text));
    }

    const QString name = scheme.captured(1).toLower();
    if (!isPlayableScheme(name))
        return refuse(text, u"only http, https, mms, rtsp, rtmp and file addresses are played"_s);
    const bool network = name != u"file"_s;
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid())
        return refuse(text, u"not a valid address"_s);
    if (network && url.host().isEmpty())
        return refuse(text, u"the address names no host"_s);
    if (!network && !url.path().startsWith(u'/'))
        return refuse(text, u"a file address needs an absolute path"_s);
    return url;
}

QList<QUrl> openTargetsFromMime(const QMimeData &mime)
{
    // No working folder: a stray word dropped on the window is not a file in some folder.
    QStringList texts;
    if (mime.hasUrls()) {
        for (const QUrl &url : mime.urls())
            texts.append(url.toString(QUrl::FullyEncoded));
    } else {
        for (const QString &line : mime.text().split(u'\n'))
            texts.append(line.trimmed());
    }
    QList<QUrl> targets;
    for (const QString &text : std::as_const(texts)) {
        if (text.isEmpty())
            continue;
        if (auto target = openTargetFromText(text, {}))
            targets.append(std::move(target).value());
    }
    return targets;
}

QString openTargetName(const QUrl &url)
{
    if (url.isLocalFile()) {
        const QString path = url.toLocalFile();
        const QString name = QFileInfo(path).fileName();
        return name.isEmpty() ? path : name;
    }
    // User names are left out too: some services put a token there.
    return url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

// A refused text goes to standard error and into a box: no raw control characters there, and
// no password either.
QString shownTargetText(const QString &text)
{
    QString out;
    const QUrl url(text, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty() && !url.password().isEmpty())
        out = url.toString(QUrl::RemovePassword);
    else
        out = text;
    for (QChar &c : out) {
        if (isControl(c))
            c = u'?';
    }
    return out;
}

} // namespace mavrel
