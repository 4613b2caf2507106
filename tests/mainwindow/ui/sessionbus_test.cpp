// The main window on a private session bus: the desktop's media controls, driven by the bus's
// own command-line client, and the screen saver's inhibit against a stand-in service.
#include "../../player/testmedia.h"
#include "catalogue/ui/listviewenh.h"
#include "desktop/mprisservice.h"
#include "desktop/screensaverinhibitor.h"
#include "localization/clslanguages.h"
#include "mainwindow/ui/desktopsession.h"
#include "mainwindow/ui/form1.h"
#include "mainwindowui.h"
#include "platform/machinesettings.h"
#include "platform/paths.h"
#include "platform/scripteddialogs.h"
#include "platform/settings.h"
#include "player/ui/mediaplayer.h"
#include "support/cataloguefixture.h"
#include "testhttpserver.h"
#include "viewerfolders.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

constexpr int kWaitMs = 10000;

// A session bus of the test's own.
class PrivateBus
{
public:
    PrivateBus()
    {
        m_daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        if (m_daemon.waitForStarted() && m_daemon.waitForReadyRead(kWaitMs))
            m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    ~PrivateBus()
    {
        for (const QString &name : std::as_const(m_names))
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    QString address() const { return m_address; }
    QDBusConnection connect(const QString &name)
    {
        m_names << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

    // The bus's own client, run while the event loop serves the window. Its printed reply.
    QString send(const QStringList &arguments)
    {
        QProcess client;
        client.start(u"dbus-send"_s, QStringList{u"--bus="_s + m_address, u"--print-reply"_s,
                                                 u"--dest=org.mpris.MediaPlayer2.mavrel"_s,
                                                 u"/org/mpris/MediaPlayer2"_s} +
                                         arguments);
        if (!QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, kWaitMs))
            return u"timed out"_s;
        return QString::fromUtf8(client.readAllStandardOutput() + client.readAllStandardError());
    }
    QString property(const QString &name)
    {
        return send({u"org.freedesktop.DBus.Properties.Get"_s,
                     u"string:org.mpris.MediaPlayer2.Player"_s, u"string:"_s + name});
    }

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};

// The desktop's screen saver, as far as the viewer uses it.
class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QList<quint32> held;
    int inhibits = 0;
public slots:
    quint32 Inhibit(const QString &, const QString &)
    {
        ++inhibits;
        held << quint32(100 + inhibits);
        return held.last();
    }
    void UnInhibit(quint32 cookie) { held.removeAll(cookie); }
};

// The Volume values a desktop's media controls are sent.
class VolumeListener : public QObject
{
    Q_OBJECT
public:
    QList<double> sent;
public slots:
    void changed(const QString &, const QVariantMap &properties, const QStringList &)
    {
        if (properties.contains(u"Volume"_s))
            sent << properties.value(u"Volume"_s).toDouble();
    }
};

class SessionBusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
        ASSERT_TRUE(temp.isValid());
        storeSetting(SettingKey::TVLang, u"All"_s);
        storeSetting(SettingKey::RadioLang, u"All"_s);
        qputenv("MAVREL_CATALOGUE_URL", "http://127.0.0.1:9");
        // Long enough to play through every step; the extension plays it without a check.
        media = temp.path() + u"/tone.wmv"_s;
        QFile file(media);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(test::makeWav(60));
        file.close();
        ASSERT_TRUE(mavrel::testing::writeCatalogue(
            temp.path() + u"/data/Data.txt"_s,
            {{"Tone TV", "TV", "English", "4", "1", media.toUtf8()},
             {"Tone Radio", "Radio", "English", "4", "1", media.toUtf8()}}));
    }
    void TearDown() override
    {
        ui.reset();
        form.reset();
    }

    void playFirstRow()
    {
        ui->ListView1->setCurrentIndex(ui->ListView1->model()->index(0, 0));
        emit ui->ListView1->clicked(ui->ListView1->currentIndex());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return ui->WindowsMediaPlayer1->state() == MediaPlayer::State::Playing; },
            kWaitMs));
    }

    PrivateBus bus;
    test::ViewerFolders temp;
    QString media;
    ScopedScriptedDialogs boxes;
    std::unique_ptr<Form1> form;
    std::optional<test::MainWindowUi> ui;
};

} // namespace

TEST_F(SessionBusTest, MediaControlsShowTheChannelAndDriveThePlayer)
{
    form = std::make_unique<Form1>();
    ui.emplace(*form);
    ASSERT_TRUE(form->Form_Load());
    form->createSessionBus(bus.connect(u"viewer"_s));
    ASSERT_TRUE(form->desktopSession().mediaControls()->registered());

    EXPECT_TRUE(bus.send({u"org.freedesktop.DBus.Properties.Get"_s,
                          u"string:org.mpris.MediaPlayer2"_s, u"string:Identity"_s})
                    .contains(u"\"Mavrel\""_s));
    EXPECT_TRUE(bus.property(u"PlaybackStatus"_s).contains(u"\"Stopped\""_s));

    playFirstRow();
    const QString metadata = bus.property(u"Metadata"_s);
    EXPECT_TRUE(metadata.contains(u"\"Tone TV\""_s)) << metadata.toStdString();
    EXPECT_TRUE(metadata.contains(u"\"TV\""_s)) << metadata.toStdString();
    EXPECT_TRUE(bus.property(u"PlaybackStatus"_s).contains(u"\"Playing\""_s));

    struct Step
    {
        const char16_t *method;
        MediaPlayer::State state;
        const char16_t *status;
    };
    const Step steps[] = {
        {u"PlayPause", MediaPlayer::State::Paused, u"\"Paused\""},
        {u"PlayPause", MediaPlayer::State::Playing, u"\"Playing\""},
        {u"Pause", MediaPlayer::State::Paused, u"\"Paused\""},
        {u"Play", MediaPlayer::State::Playing, u"\"Playing\""},
        {u"Stop", MediaPlayer::State::Stopped, u"\"Stopped\""},
    };
    for (const Step &step : steps) {
        const QString method = QString::fromUtf16(step.method);
        bus.send({u"org.mpris.MediaPlayer2.Player."_s + method});
        EXPECT_TRUE(QTest::qWaitFor([&] { return ui->WindowsMediaPlayer1->state() == step.state; },
                                    kWaitMs))
            << method.toStdString();
        EXPECT_TRUE(bus.property(u"PlaybackStatus"_s).contains(QString::fromUtf16(step.status)))
            << method.toStdString();
    }
    EXPECT_TRUE(boxes.shown().isEmpty());
}

// A channel that turns out offline stops what played before it; the controls say Stopped.
TEST_F(SessionBusTest, AnOfflineChoiceStopsWhatPlayedBeforeIt)
{
    test::TestHttpServer server;
    ASSERT_TRUE(server.listen());
    server.serve("/dead", "<html><h1>404 Not Found</h1></html>", 404);
    ASSERT_TRUE(mavrel::testing::writeCatalogue(
        temp.path() + u"/data/Data.txt"_s,
        {{"Tone TV", "TV", "English", "4", "1", media.toUtf8()},
         {"Zulu TV", "TV", "English", "4", "1", server.url("/dead")}}));
    form = std::make_unique<Form1>();
    ui.emplace(*form);
    ASSERT_TRUE(form->Form_Load());
    form->createSessionBus(bus.connect(u"viewer"_s));
    playFirstRow();
    const QAbstractItemModel *rows = ui->ListView1->model();
    const QModelIndexList dead =
        rows->match(rows->index(0, 0), Qt::DisplayRole, u"Zulu TV"_s, 1, Qt::MatchExactly);
    ASSERT_EQ(dead.size(), 1);
    ui->ListView1->setCurrentIndex(dead.first());
    emit ui->ListView1->clicked(dead.first());
    EXPECT_EQ(ui->WindowsMediaPlayer1->state(), MediaPlayer::State::Closed);
    EXPECT_FALSE(ui->imgOffline->isHidden());
    EXPECT_EQ(ui->StatusBar1Panel1->text(), u"Zulu TV is offline"_s);
    EXPECT_TRUE(bus.property(u"PlaybackStatus"_s).contains(u"\"Stopped\""_s));
}

TEST_F(SessionBusTest, VolumeFollowsTheWindowAndTheBusBothWays)
{
    form = std::make_unique<Form1>();
    ui.emplace(*form);
    ASSERT_TRUE(form->Form_Load());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->createSessionBus(bus.connect(u"viewer"_s));
    QDBusConnection client = bus.connect(u"client"_s);
    VolumeListener listener;
    ASSERT_TRUE(client.connect(u"org.mpris.MediaPlayer2.mavrel"_s, u"/org/mpris/MediaPlayer2"_s,
                               u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s,
                               &listener, SLOT(changed(QString, QVariantMap, QStringList))));
    MediaPlayer *player = ui->WindowsMediaPlayer1;
    auto *slider = player->findChild<QSlider *>(u"volumeSlider"_s);
    auto *mute = player->findChild<QToolButton *>(u"muteButton"_s);

    const auto setFromBus = [&](const char *value) {
        bus.send({u"org.freedesktop.DBus.Properties.Set"_s,
                  u"string:org.mpris.MediaPlayer2.Player"_s, u"string:Volume"_s,
                  u"variant:double:"_s + QLatin1StringView(value)});
    };
    // Nothing plays: the volume is sent all the same. Muted is sent as 0, and a louder volume
    // set from the bus ends the mute.
    const std::pair<std::function<void()>, double> changes[] = {
        {[&] { slider->setValue(30); }, 0.30},
        {[&] { QTest::keyClick(form.get(), Qt::Key_VolumeUp); }, 0.35},
        {[&] { mute->click(); }, 0.0},
        {[&] { setFromBus("0.6"); }, 0.6},
        {[&] { setFromBus("0.8"); }, 0.8},
    };
    for (const auto &[change, sent] : changes) {
        SCOPED_TRACE(sent);
        listener.sent.clear();
        change();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !listener.sent.isEmpty(); }, kWaitMs));
        EXPECT_DOUBLE_EQ(listener.sent.last(), sent);
        if (sent > 0) {
            EXPECT_EQ(slider->value(), qRound(sent * 100));
            EXPECT_FALSE(mute->isChecked());
        }
    }
}

TEST_F(SessionBusTest, ScreenSaverIsHeldWhileAPicturePlaysAndReleasedOtherwise)
{
    QDBusConnection service = bus.connect(u"screensaver"_s);
    FakeScreenSaver saver;
    ASSERT_TRUE(service.registerObject(u"/org/freedesktop/ScreenSaver"_s, &saver,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(u"org.freedesktop.ScreenSaver"_s));

    form = std::make_unique<Form1>();
    ui.emplace(*form);
    ASSERT_TRUE(form->Form_Load());
    form->createSessionBus(bus.connect(u"viewer"_s));
    playFirstRow(); // a TV channel
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->desktopSession().screenSaver()->cookie() != 0; },
                                kWaitMs));
    EXPECT_EQ(saver.held, QList<quint32>{form->desktopSession().screenSaver()->cookie()});

    ui->WindowsMediaPlayer1->pause();
    EXPECT_TRUE(QTest::qWaitFor([&] { return saver.held.isEmpty(); }, kWaitMs));
    ui->WindowsMediaPlayer1->play();
    EXPECT_TRUE(QTest::qWaitFor([&] { return saver.held.size() == 1; }, kWaitMs));
    ui->WindowsMediaPlayer1->stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return saver.held.isEmpty(); }, kWaitMs));

    // A radio stream leaves the screen saver alone.
    ui->cmdRadio->click();
    playFirstRow();
    QTest::qWait(300);
    EXPECT_TRUE(saver.held.isEmpty());
    EXPECT_EQ(saver.inhibits, 2);

    // Back to a picture, then the window goes while the inhibit is still being granted: it is
    // released all the same.
    ui->cmdTV->click();
    playFirstRow();
    ASSERT_EQ(form->desktopSession().screenSaver()->cookie(), 0u);
    form.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return saver.held.isEmpty(); }, kWaitMs));
}

TEST_F(SessionBusTest, WithoutAScreenSaverServiceNothingHappens)
{
    form = std::make_unique<Form1>();
    ui.emplace(*form);
    ASSERT_TRUE(form->Form_Load());
    form->createSessionBus(bus.connect(u"viewer"_s));
    playFirstRow();
    QTest::qWait(300);
    EXPECT_EQ(form->desktopSession().screenSaver()->cookie(), 0u);
    EXPECT_TRUE(form->desktopSession().screenSaver()->wanted());
    ui->WindowsMediaPlayer1->stop();
    EXPECT_TRUE(boxes.shown().isEmpty());
}

#include "sessionbus_test.moc"
