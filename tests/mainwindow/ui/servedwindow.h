#pragma once

// The main window against the real catalogue server on loopback: one server with its demo
// catalogue for the whole suite, the viewer's folders in a temporary folder, and the server's
// catalogue as the viewer's Data.txt.

#include "catalogueserver.h"
#include "localization/clslanguages.h"
#include "mainwindow/ui/form1.h"
#include "mainwindowui.h"
#include "player/ui/mediaplayer.h"
#include "viewerfolders.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTest>

#include <memory>
#include <optional>

namespace mavrel::test {

class ServedWindowTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        server = new CatalogueServer;
        if (!server->start())
            FAIL() << "catalogue server: " << server->error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        qputenv("MAVREL_CATALOGUE_URL", server->baseUrl());
        qputenv("MAVREL_VIDEOSITE_URL", server->baseUrl());
        QFile data(temp.path() + QStringLiteral("/data/Data.txt"));
        ASSERT_TRUE(data.open(QIODevice::WriteOnly));
        for (const ChannelRecord &record : server->catalogue())
            data.write(record.toLine().value());
        data.close();
        m_reportsBefore = server->reports().size();
    }
    void TearDown() override
    {
        ui.reset();
        form.reset();
    }

    // Starts the window, in staff mode when asked, and waits until it is shown.
    void load(bool staff = false)
    {
        if (staff) {
            QFile admin(temp.path() + QStringLiteral("/app/admin.txt"));
            ASSERT_TRUE(admin.open(QIODevice::WriteOnly));
        }
        form = std::make_unique<Form1>();
        ui.emplace(*form);
        ASSERT_TRUE(form->Form_Load());
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    // The reports the server recorded since the test began.
    QList<CatalogueServer::Report> reportsSinceStart() const
    {
        return server->reports().mid(m_reportsBefore);
    }

    static inline CatalogueServer *server = nullptr;
    ViewerFolders temp;
    std::unique_ptr<Form1> form;
    std::optional<MainWindowUi> ui; // the controls of `form`

private:
    qsizetype m_reportsBefore = 0;
};

} // namespace mavrel::test
