#include "online/fetch.h"

#include "testhttpserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace mavrel::test;
using namespace Qt::StringLiterals;

namespace {

// A window whose click handler fetches into its status box, the way the main window does.
class FetchingWindow : public QWidget
{
public:
    explicit FetchingWindow(QByteArray address) : m_address(std::move(address))
    {
        setAttribute(Qt::WA_DeleteOnClose);
        auto *layout = new QVBoxLayout(this);
        txtStatus = new QLineEdit(this);
        layout->addWidget(txtStatus);
    }

    // Returns whether the handler ran to its end.
    bool cmdFetch_Click(bool *finished)
    {
        FetchOptions options;
        options.owner = this;
        options.limits = FetchLimits{1 << 20, 20'000, 20'000, 20'000};
        const FetchResult r = fetchPageWithStatus(
            m_address,
            statusTextThrottled([box = txtStatus](const QString &t) { box->setText(t); }), options);
        if (r.ownerGone)
            return false; // the window is gone: touch nothing of it
        m_body = r.body;
        txtStatus->setText(txtStatus->text() + u" done"_s);
        *finished = true;
        return true;
    }

    QLineEdit *txtStatus = nullptr;
    QByteArray m_body;

private:
    QByteArray m_address;
};

TEST(FetchWindow, ClosingTheWindowDuringItsFetch)
{
    TestHttpServer server;
    ASSERT_TRUE(server.listen());
    server.serveDrip("/slow", QByteArray(2000, 's'), 5);
    server.serve("/page", QByteArray(3000, 'p'));

    // Left open: the handler finishes and the box shows the full length.
    auto *stays = new FetchingWindow(server.url("/page"));
    stays->show();
    bool finished = false;
    EXPECT_TRUE(stays->cmdFetch_Click(&finished));
    EXPECT_TRUE(finished);
    EXPECT_EQ(stays->m_body.size(), 3000);
    QApplication::processEvents();
    EXPECT_EQ(stays->txtStatus->text(), u"Downloaded 3000 bytes. done"_s);
    delete stays;

    // Closed while the body still arrives: the window is deleted during the fetch.
    auto *closes = new FetchingWindow(server.url("/slow"));
    closes->show();
    QPointer<QWidget> guard(closes);
    QTimer::singleShot(300, closes, &QWidget::close);
    finished = false;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(closes->cmdFetch_Click(&finished));
    EXPECT_LT(clock.elapsed(), 5'000); // the body would take 10 s
    EXPECT_FALSE(finished);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(activeFetchCount(), 0);
}

} // namespace
