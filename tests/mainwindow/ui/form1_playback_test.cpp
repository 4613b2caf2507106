// The main window with the real player against the real catalogue server and its demo
// catalogue: clicks in the channel list, the offline picture, "Check all channels", the status
// mirror and "My Files".
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/collatingsortproxy.h"
#include "catalogue/ui/listviewenh.h"
#include "localization/clslanguages.h"
#include "mainwindow/checkallrun.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/form1.h"
#include "mainwindow/ui/localfilesview.h"
#include "mainwindow/ui/myfilespanel.h"
#include "platform/machinesettings.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "player/ui/mediaplayer.h"
#include "servedwindow.h"

#include "../../player/testmedia.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

constexpr int kWaitMs = 10000;

class WindowPlaybackTest : public ServedWindowTest
{
protected:
    void SetUp() override
    {
        ServedWindowTest::SetUp();
        QDir(temp.path()).mkpath(u"files"_s);
    }

    int rowOf(const QString &name) const
    {
        const QAbstractItemModel *m = ui->ListView1->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            if (m->index(r, ChannelListModel::ChannelColumn).data().toString() == name)
                return r;
        }
        return -1;
    }
    void clickRow(const QString &name)
    {
        const int row = rowOf(name);
        ASSERT_GE(row, 0) << name.toStdString();
        const QModelIndex index = ui->ListView1->model()->index(row, 0);
        ui->ListView1->scrollTo(index);
        const QRect rect = ui->ListView1->visualRect(index);
        QTest::mouseClick(ui->ListView1->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QStringList recorded() const
    {
        QStringList out;
        for (const CatalogueServer::Report &r : reportsSinceStart())
            out << QString::fromUtf8(r.type + ' ' + r.item);
        return out;
    }
    bool waitPlaying()
    {
        return QTest::qWaitFor(
            [&] { return ui->WindowsMediaPlayer1->state() == MediaPlayer::State::Playing; },
            kWaitMs);
    }
};

TEST_F(WindowPlaybackTest, ClickOnADemoChannelPlaysItAndReportsIt)
{
    load();
    clickRow(u"Demo Test Card"_s);
    EXPECT_TRUE(waitPlaying());
    EXPECT_TRUE(ui->imgOffline->isHidden());
    EXPECT_EQ(recorded(), QStringList{u"ONLINE Demo Test Card"_s});
}

TEST_F(WindowPlaybackTest, DeadChannelShowsTheOfflinePictureUntilClicked)
{
    load();
    clickRow(u"Demo Offline Channel"_s);
    EXPECT_TRUE(ui->imgOffline->isVisible());
    EXPECT_TRUE(ui->WindowsMediaPlayer1->URL().isEmpty());
    EXPECT_EQ(recorded(), QStringList{u"OFFLINE Demo Offline Channel"_s});
    QTest::mouseClick(ui->imgOffline, Qt::LeftButton);
    EXPECT_FALSE(ui->imgOffline->isVisible());
    // A click on a live one after a dead one leaves it hidden.
    clickRow(u"Demo Offline Channel"_s);
    EXPECT_TRUE(ui->imgOffline->isVisible());
    clickRow(u"Demo Test Card"_s);
    EXPECT_FALSE(ui->imgOffline->isVisible());
}

TEST_F(WindowPlaybackTest, CheckAllChannelsFromTheStaffMenu)
{
    load(true);
    ASSERT_TRUE(ui->mnuUpdateItem[3]->isVisible());
    ASSERT_TRUE(ui->mnuUpdateItem[3]->isEnabled());
    form->channelPanel().checkRun().Timer1.setInterval(10);
    const int all = ui->Combo1->findText(u"All"_s);
    ASSERT_GE(all, 0);
    ui->Combo1->setCurrentIndex(all);
    emit ui->Combo1->activated(all); // every TV channel of the demo
    const int rows = ui->ListView1->rowCountShown();
    ASSERT_EQ(rows, 3);
    QStringList expected, names;
    for (int r = 0; r < rows; ++r) {
        const QString name = ui->ListView1->model()->index(r, 0).data().toString();
        names << name;
        expected << (name.contains(u"Offline"_s) || name.contains(u"Movido"_s) ? u"OFFLINE "_s
                                                                               : u"ONLINE "_s) +
                        name;
    }
    ui->mnuUpdateItem[3]->trigger();
    EXPECT_EQ(recorded(), expected);
    EXPECT_EQ(ui->StatusBar1Panel1->text(),
              u"Checking %1 of %1 - %2"_s.arg(rows).arg(names.last()));
    EXPECT_EQ(ui->ListView1->currentIndex().row(), rows - 1);
    EXPECT_TRUE(ui->WindowsMediaPlayer1->URL().isEmpty());
    EXPECT_FALSE(form->channelPanel().checkRun().isRunning());
}

TEST_F(WindowPlaybackTest, CheckAllEndsWhenTheListIsReloaded)
{
    load(true);
    form->channelPanel().checkRun().Timer1.setInterval(50);
    int checksStarted = 0;
    QObject::connect(&form->channelPanel().checkRun(), &CheckAllRun::finished,
                     [&](int n) { checksStarted = n; });
    // The user switches to radio during the first pause.
    QTimer::singleShot(20, form.get(), [&] { ui->cmdRadio->click(); });
    form->channelPanel().checkRun().checkAllChannels();
    EXPECT_EQ(checksStarted, 1);
    EXPECT_EQ(recorded().size(), 1);
    EXPECT_FALSE(form->channelPanel().checkRun().isRunning());
    EXPECT_GE(rowOf(u"Demo Radio"_s), 0);
}

TEST_F(WindowPlaybackTest, CheckAllWalksTheFoundRowsAndEndsWhenTheyChange)
{
    load(true);
    form->channelPanel().checkRun().Timer1.setInterval(50);
    const int all = ui->Combo1->findText(u"All"_s);
    ui->Combo1->setCurrentIndex(all);
    emit ui->Combo1->activated(all); // by rating: Test Card, Offline Channel, Movido
    const auto find = [&](const QString &text) { ui->findChannels->box()->setText(text); };
    // "n" finds the two channels after the test card, which has none.
    struct Case
    {
        const char *what;
        QString before;
        std::function<void()> during;
        QStringList reports;
    };
    const Case cases[] = {
        {"found before",
         u"n"_s,
         nullptr,
         {u"OFFLINE Demo Offline Channel"_s, u"OFFLINE Canal de Prueba Movido"_s}},
        {"typed during", {}, [&] { find(u"n"_s); }, {u"ONLINE Demo Test Card"_s}},
        {"taken back during", u"n"_s, [&] { find({}); }, {u"OFFLINE Demo Offline Channel"_s}},
        {"sorted during",
         {},
         [&] { ui->ListView1->proxy()->sort(0); },
         {u"ONLINE Demo Test Card"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        find(c.before);
        const qsizetype reportsBefore = recorded().size();
        if (c.during)
            QTimer::singleShot(20, form.get(), c.during);
        form->channelPanel().checkRun().checkAllChannels();
        EXPECT_EQ(recorded().mid(reportsBefore), c.reports);
        EXPECT_FALSE(form->channelPanel().checkRun().isRunning());
    }
}

TEST_F(WindowPlaybackTest, StatusBoxIsMirroredIntoTheStatusBar)
{
    load();
    ui->txtStatus->setText(u"Downloaded 768 bytes."_s);
    EXPECT_EQ(ui->StatusBar1Panel1->text(), u"Downloaded 768 bytes."_s);
}

TEST_F(WindowPlaybackTest, MyFilesRestoresTheFolderAndPlaysAFile)
{
    const QString folder = temp.path() + u"/files"_s;
    QFile wav(folder + u"/Tone.WAV"_s);
    ASSERT_TRUE(wav.open(QIODevice::WriteOnly));
    wav.write(makeWav(3.0));
    wav.close();
    QFile(folder + u"/readme.txt"_s).open(QIODevice::WriteOnly);
    storeSetting(SettingKey::Drive, u"/"_s);
    storeSetting(SettingKey::Dir, folder);

    load();
    EXPECT_EQ(form->myFilesPanel().view().dirPath(), folder);
    EXPECT_EQ(ui->Drive1->currentData().toString(), u"/"_s);
    ASSERT_EQ(ui->File1->count(), 1);
    EXPECT_EQ(ui->File1->item(0)->text(), u"Tone.WAV"_s);

    ui->cmdFiles->click();
    const QRect rect = ui->File1->visualItemRect(ui->File1->item(0));
    QTest::mouseClick(ui->File1->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(ui->WindowsMediaPlayer1->URL(), folder + u"/Tone.WAV"_s);
    EXPECT_TRUE(waitPlaying());
    EXPECT_TRUE(recorded().isEmpty());
}

} // namespace
