#include "localization/modlanguages.h"

#include "localization/clslanguages.h"

using namespace Qt::StringLiterals;

namespace mavrel {

void registerDefaultMessages(clsLanguages &languages)
{
    languages.setMessage(u"MSG_CHANNELLIST"_s,
                         u"The most recent channel list has been downloaded and applied."_s);
    languages.setMessage(u"MSG_DELETED"_s, u"Deleted "_s);
    languages.setMessage(u"MSG_NOTFOUND"_s,
                         u"TV Channel file was not found.  No channels could be loaded.  "
                         u"Please reinstall or repair this program."_s);
    languages.setMessage(u"MSG_STATUS1"_s, u"Total Channels: "_s);
    languages.setMessage(u"MSG_STATUS2"_s, u" | Showing: "_s);
    languages.setMessage(u"MSG_STATUS3"_s, u" | Languages/Categories: "_s);
    languages.setMessage(
        u"MSG_STATUS4"_s,
        u" | Don't forget to rate your favorite channels with the Channel Actions button"_s);
    // Looked up by the language window, which otherwise has no title and confirms a download
    // with an empty box.
    languages.setMessage(u"MSG_TITLELANGUAGE"_s, u"Language Selection"_s);
    languages.setMessage(u"MSG_DOWNLOADED"_s,
                         u"The latest language file has been downloaded.  Choose a language "
                         u"from the list to use it."_s);
    languages.setMessage(u"MSG_LANGSAVEFAILED"_s,
                         u"The downloaded language file could not be saved.  The languages "
                         u"you had before are still available."_s);
    // The status line's confirmations and the box for an address no program opens.
    languages.setMessage(u"MSG_VIEWEROFFLINE"_s, u"You appear to be offline"_s);
    languages.setMessage(u"MSG_FAVADDED"_s, u"Added %1 to your favourites"_s);
    languages.setMessage(u"MSG_FAVREMOVED"_s, u"Removed %1 from your favourites"_s);
    languages.setMessage(u"MSG_RATED"_s, u"Rated %1 %2 stars"_s);
    languages.setMessage(u"MSG_RATEDONE"_s, u"Rated %1 1 star"_s);
    languages.setMessage(u"MSG_RATEFAILED"_s,
                         u"The rating of %1 could not be sent to the catalogue server"_s);
    languages.setMessage(
        u"MSG_NOHANDLER"_s,
        u"No program on this computer opens it.  Copy the address and open it yourself:"_s);
    // The player's feedback in the status line and over the picture; %1 is a name, a host, a
    // figure.
    languages.setMessage(u"MSG_PLAYCONNECTING"_s, u"Connecting to %1\u2026"_s);
    languages.setMessage(u"MSG_PLAYBUFFERING"_s, u"Buffering %1%"_s);
    languages.setMessage(u"MSG_PLAYOFFLINE"_s, u"%1 is offline"_s);
    languages.setMessage(u"MSG_PLAYUNREACHABLE"_s, u"Could not reach %1"_s);
    languages.setMessage(u"MSG_PLAYHTTPSTATUS"_s, u"The server answered %1"_s);
    languages.setMessage(u"MSG_PLAYUNDECODABLE"_s, u"The stream could not be decoded"_s);
    languages.setMessage(u"MSG_PLAYTIMEDOUT"_s, u"%1 did not start playing in time"_s);
    languages.setMessage(u"MSG_PLAYUNOPENABLE"_s, u"%1 could not be opened"_s);
    // The first catalogue: its progress, and the box when its server cannot be reached.
    languages.setMessage(u"MSG_FIRSTDOWNLOAD"_s,
                         u"Downloading the channel list\u2026 %1 channels"_s);
    languages.setMessage(u"MSG_SERVERUNREACHABLE"_s,
                         u"The catalogue server at %1 could not be reached.  To use another "
                         u"server, choose Update Channels \u25b8 Catalogue Server\u2026 or set "
                         u"MAVREL_CATALOGUE_URL."_s);
    // The outcome of an update.
    languages.setMessage(u"MSG_NOUPDATES"_s, u"No updates were available."_s);
    languages.setMessage(u"MSG_UPDATESDOWNLOADED"_s, u"Downloaded %1 channel updates"_s);
    // The programme guide: the channel list's column, the line under the player, the day window.
    languages.setMessage(u"MSG_ONNOW"_s, u"On Now"_s);
    languages.setMessage(u"MSG_GUIDENEXT"_s, u"next: %1"_s);
    languages.setMessage(u"MSG_GUIDEDAY"_s, u"%1 \u2013 %2"_s);
    // The recent list, what opens from outside, and the favourites in and out of playlists.
    languages.setMessage(u"MSG_RECENTCHANNELS"_s, u"Channels"_s);
    languages.setMessage(u"MSG_RECENTFAVORITES"_s, u"Favorites"_s);
    languages.setMessage(u"MSG_RECENTFILES"_s, u"Files"_s);
    languages.setMessage(u"MSG_RECENTCLEAR"_s,
                         u"Clear the list of recently played channels and files?"_s);
    languages.setMessage(u"MSG_RECENTNOTSAVED"_s, u"The recent list could not be saved: %1"_s);
    languages.setMessage(
        u"MSG_OPENREFUSED"_s,
        u"Cannot open %1: only files and http, https, mms, rtsp, rtmp and file addresses can be played"_s);
    languages.setMessage(u"MSG_EXPORTTITLE"_s, u"Export Favorites"_s);
    languages.setMessage(u"MSG_IMPORTTITLE"_s, u"Import Playlist"_s);
    languages.setMessage(u"MSG_PLAYLISTFILTER"_s, u"Playlists (%1);;All files (*)"_s);
    languages.setMessage(u"MSG_EXPORTED"_s, u"Exported %1 favourites to %2"_s);
    languages.setMessage(u"MSG_EXPORTFAILED"_s,
                         u"The favourites could not be exported to %1: %2"_s);
    languages.setMessage(u"MSG_IMPORTREADING"_s, u"Reading %1\u2026"_s);
    languages.setMessage(u"MSG_IMPORTED"_s, u"Added %1 favourites from %2"_s);
    languages.setMessage(u"MSG_IMPORTSKIPPED"_s,
                         u"%1 skipped: already among your favourites or too long"_s);
    languages.setMessage(
        u"MSG_IMPORTTOOLARGE"_s,
        u"%1 is too large to import: a playlist may hold at most 100,000 entries and 32 MB. Your favourites were not changed."_s);
    languages.setMessage(
        u"MSG_IMPORTBROKEN"_s,
        u"%1 is not a playlist that can be read. Your favourites were not changed."_s);
    languages.setMessage(u"MSG_IMPORTUNREADABLE"_s,
                         u"%1 could not be read: %2. Your favourites were not changed."_s);
    languages.setMessage(u"MSG_FAVTOOLONG"_s,
                         u"The favourite was not added: it is too long to be saved."_s);
}

} // namespace mavrel
