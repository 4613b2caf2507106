#include "platform/widgets/desktopopen.h"

#include "platform/dialogs.h"

#include <QDesktopServices>

#include <utility>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

std::function<QString()> &noHandlerText()
{
    static std::function<QString()> text;
    return text;
}

DesktopOpener &opener()
{
    static DesktopOpener replaced;
    return replaced;
}

} // namespace

bool openOnDesktop(const QUrl &url, WhenNoHandler whenNoHandler)
{
    if (opener() ? opener()(url) : QDesktopServices::openUrl(url))
        return true;
    if (whenNoHandler == WhenNoHandler::Quiet)
        return false;
    const QString where = url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
    const QString lead = noHandlerText() ? noHandlerText()() : QString();
    messageBox(lead.isEmpty() ? where : lead + u"\n\n"_s + where, DialogButtons::Ok, {},
               DialogIcon::Information);
    return false;
}

void setNoDesktopHandlerText(std::function<QString()> text)
{
    noHandlerText() = std::move(text);
}

DesktopOpener setDesktopOpener(DesktopOpener replacement)
{
    return std::exchange(opener(), std::move(replacement));
}

} // namespace mavrel
