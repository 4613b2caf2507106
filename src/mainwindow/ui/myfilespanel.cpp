#include "mainwindow/ui/myfilespanel.h"

#include "localization/ui/windowcontrols.h"
#include "mainwindow/ui/playerarea.h"
#include "platform/widgets/named.h"
#include "player/ui/mediaplayer.h"

#include <QComboBox>
#include <QFileInfo>
#include <QListWidget>

using namespace Qt::StringLiterals;

namespace mavrel {

MyFilesPanel::MyFilesPanel(const PanelContext &context, QWidget *parent)
    : QGroupBox(u"My Files"_s, parent)
{
    setObjectName(u"Frame4"_s);
    setGeometry(toPixels({180, 1020, 5235, 6735}));
    Drive1 = named(new QComboBox(this), u"Drive1"_s, u"Drive"_s);
    Drive1->setGeometry(toPixels({120, 240, 4995, 315}));
    Dir1 = named(new QListWidget(this), u"Dir1"_s, u"Folders"_s);
    Dir1->setGeometry(toPixels({120, 660, 4995, 2340}));
    File1 = named(new QListWidget(this), u"File1"_s, u"Files"_s);
    File1->setGeometry(toPixels({120, 3060, 4995, 3405}));
    PlayRequests *requests = context.playRequests;
    MediaPlayer *player = context.player->player();
    const auto play = [requests, player, played = context.played](const QString &path) {
        requests->begin();
        player->setURL(path);
        if (played)
            played(
                playedNow(RecentSource::File, QFileInfo(path).fileName().toUtf8(), path.toUtf8()));
    };
    m_view = new LocalFilesView(Drive1, Dir1, File1, play, this);
    m_view->setVolumes(mountedVolumes());
}

void MyFilesPanel::readGeometry(ResizableControls &c) const
{
    c.frame4 = toTwips(geometry());
    c.dir1 = toTwips(Dir1->geometry());
    c.file1 = toTwips(File1->geometry());
}

void MyFilesPanel::applyGeometry(const ResizableControls &c)
{
    setGeometry(toPixels(c.frame4));
    Drive1->setGeometry(toPixels({120, 240, 4995 + c.frame4.width - kDesignFrameWidth, 315}));
    Dir1->setGeometry(toPixels(c.dir1));
    File1->setGeometry(toPixels(c.file1));
}

void MyFilesPanel::addControls(WindowControls &c)
{
    c.addFrame(this);
    c.addOther(Drive1, u"DriveListBox"_s);
    c.addOther(Dir1, u"DirListBox"_s);
    c.addOther(File1, u"FileListBox"_s);
}

} // namespace mavrel
