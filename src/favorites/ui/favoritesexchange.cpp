#include "favorites/ui/favoritesexchange.h"

#include "favorites/playlistexchange.h"
#include "favorites/ui/favoritescontroller.h"
#include "platform/dialogs.h"
#include "platform/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr auto kPlaylistPatterns = "*.m3u *.m3u8 *.pls *.asx *.wax *.wvx *.xspf";

} // namespace

FavoritesExchange::FavoritesExchange(FavoritesController &favorites, Hooks hooks, QObject *parent)
    : QObject(parent), m_favorites(favorites), m_hooks(std::move(hooks)),
      m_lastFolder(QDir::homePath())
{}

void FavoritesExchange::exportFavorites()
{
    FileRequest request;
    request.mode = FileRequest::Mode::Save;
    request.title = message(u"MSG_EXPORTTITLE"_s);
    request.path = m_lastFolder + u"/Favorites.m3u"_s;
    request.filter = message(u"MSG_PLAYLISTFILTER"_s).arg(u"*.m3u *.m3u8"_s);
    const std::optional<QString> path = dialogs().chooseFile(request);
    if (!path)
        return;
    m_lastFolder = QFileInfo(*path).absolutePath();
    const Result<void> written = exportTo(*path);
    if (!written) {
        messageBox(message(u"MSG_EXPORTFAILED"_s).arg(*path, written.error().message),
                   DialogButtons::Ok, {}, DialogIcon::Warning);
    }
}

Result<void> FavoritesExchange::exportTo(const QString &path)
{
    const QList<Favorite> favorites = m_favorites.favoritesInListOrder();
    Result<void> written =
        writeFileAtomically(path, favoritesPlaylist(favorites, m_hooks.videoSite()));
    if (written && m_hooks.status) {
        m_hooks.status(message(u"MSG_EXPORTED"_s)
                           .arg(QString::number(favorites.size()), QDir::toNativeSeparators(path)));
    }
    return written;
}

void FavoritesExchange::importPlaylist()
{
    if (m_importing)
        return;
    FileRequest request;
    request.title = message(u"MSG_IMPORTTITLE"_s);
    request.path = m_lastFolder;
    request.filter = message(u"MSG_PLAYLISTFILTER"_s).arg(QLatin1StringView(kPlaylistPatterns));
    const std::optional<QString> path = dialogs().chooseFile(request);
    if (!path)
        return;
    m_lastFolder = QFileInfo(*path).absolutePath();
    importFrom(*path);
}

void FavoritesExchange::importFrom(const QString &path)
{
    m_importing = true;
    if (m_hooks.status)
        m_hooks.status(message(u"MSG_IMPORTREADING"_s).arg(QFileInfo(path).fileName()));
    // A playlist may be 32 MiB on a slow disk: the window keeps answering meanwhile.
    QPointer<FavoritesExchange> self(this);
    QThreadPool::globalInstance()->start([self, path, site = m_hooks.videoSite()] {
        Result<QList<Favorite>> read = readPlaylistFile(path, site);
        QMetaObject::invokeMethod(QCoreApplication::instance(),
                                  [self, path, read = std::move(read)] {
                                      if (self)
                                          self->addImported(path, read);
                                  });
    });
}

void FavoritesExchange::addImported(const QString &path, const Result<QList<Favorite>> &read)
{
    m_importing = false;
    const QString name = QFileInfo(path).fileName();
    if (!read) {
        QString text;
        switch (ImportRefusal(read.error().code)) {
        case ImportRefusal::TooLarge:
            text = message(u"MSG_IMPORTTOOLARGE"_s).arg(name);
            break;
        case ImportRefusal::NotAPlaylist:
            text = message(u"MSG_IMPORTBROKEN"_s).arg(name);
            break;
        case ImportRefusal::Unreadable:
        default:
            text = message(u"MSG_IMPORTUNREADABLE"_s).arg(name, read.error().message);
            break;
        }
        if (m_hooks.status)
            m_hooks.status(text);
        messageBox(text, DialogButtons::Ok, {}, DialogIcon::Warning);
        emit importFinished(0);
        return;
    }
    // Importing the same playlist twice adds nothing the second time.
    const int added = m_favorites.addNewFavorites(read.value());
    const int already = int(read.value().size()) - added;
    if (added > 0 && !m_favorites.saveFavorites()) {
        emit importFinished(added); // the controller has said why
        return;
    }
    if (m_hooks.status) {
        m_hooks.status(
            message(u"MSG_IMPORTED"_s).arg(QString::number(added), name, QString::number(already)));
    }
    emit importFinished(added);
}

} // namespace mavrel
