#include "mainwindow/ui/panellayout.h"

#include "catalogue/ui/listviewenh.h"
#include "mainwindow/ui/categorybar.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/dividerhandle.h"
#include "mainwindow/ui/favoritespanel.h"
#include "mainwindow/ui/myfilespanel.h"
#include "mainwindow/ui/playerarea.h"
#include "mainwindow/ui/videositepanel.h"
#include "platform/settings.h"
#include "platform/widgets/named.h"

#include <QGuiApplication>
#include <QLabel>

#include <QScreen>
#include <QSize>
#include <QStatusBar>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

// The allowance for borders and caption that the layout's outer window size includes (a 4-pixel
// frame and a 31-pixel caption), so that the layout comes out the same whatever decorations the
// window manager draws, or none.
constexpr int kFrameAllowanceWidth = 8;
constexpr int kFrameAllowanceHeight = 39;
constexpr int kStatusBarTwips = 315;
constexpr int kClientWidthTwips = 15240;
constexpr int kClientHeightTwips = 10125;

} // namespace

PanelLayout::PanelLayout(const Panels &panels, QWidget *client)
    : QObject(client), m_panels(panels), m_divider(new DividerHandle(client))
{
    connect(m_divider, &DividerHandle::moveRequested, this, &PanelLayout::moveDivider);
    connect(m_divider, &DividerHandle::moveFinished, this,
            [this] { storeSetting(SettingKey::ListWidth, QString::number(m_frameWidth)); });
    // A list of other columns may want the lists wider, once its columns are fitted.
    const auto again = [this] {
        if (m_windowWidth > 0)
            place({m_windowWidth, m_windowHeight});
    };
    const QAbstractItemModel *shown = panels.channels->list()->model();
    connect(shown, &QAbstractItemModel::modelReset, this, again, Qt::QueuedConnection);
    connect(shown, &QAbstractItemModel::columnsInserted, this, again, Qt::QueuedConnection);
    connect(shown, &QAbstractItemModel::columnsRemoved, this, again, Qt::QueuedConnection);
}

QSize PanelLayout::designSize(int menuHeight)
{
    return {twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips) + menuHeight};
}

void PanelLayout::centre(QWidget *window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

void PanelLayout::restoreDivider()
{
    bool stored = false;
    const int width = readSetting(SettingKey::ListWidth).toInt(&stored);
    if (stored) {
        m_frameWidth = width;
        m_userWidth = true;
    }
}

void PanelLayout::place(const QSize &windowSize)
{
    const Panels &p = m_panels;
    if (p.player->pictureFullScreen())
        return;
    m_windowWidth = windowSize.width();
    m_windowHeight = windowSize.height();
    ResizableControls c;
    p.categories->readGeometry(c);
    p.channels->readGeometry(c);
    p.favorites->readGeometry(c);
    p.files->readGeometry(c);
    p.videoSite->readGeometry(c);
    p.player->readGeometry(c);
    const int outerWidth = pixelsToTwips(m_windowWidth + kFrameAllowanceWidth);
    const int outerHeight = pixelsToTwips(m_windowHeight + kFrameAllowanceHeight);
    // Until the user moves the divider, the lists get what their columns need; never less than
    // before, so that it does not jump from one list to the next.
    if (!m_userWidth && m_frameWidth < kClientWidthTwips / 2) // no measuring once at the cap
        m_frameWidth = std::max(m_frameWidth, p.channels->neededWidth());
    // ...and the player keeps half the designed window, whatever the window's size, so that a
    // resize only ever widens the player.
    const int wanted = m_userWidth ? m_frameWidth : std::min(m_frameWidth, kClientWidthTwips / 2);
    c = placeDivider(c, clampDivider(c, wanted, outerWidth));
    c = layoutControls(c, outerWidth, outerHeight);
    p.categories->applyGeometry(c);
    p.channels->applyGeometry(c);
    p.favorites->applyGeometry(c);
    p.files->applyGeometry(c);
    p.videoSite->applyGeometry(c);
    p.recent->setGeometry(p.favorites->geometry());
    p.player->applyGeometry(c);
    const QRect frame = p.channels->geometry();
    m_divider->setGeometry(frame.right() + 1, frame.top(), p.player->x() - frame.right() - 1,
                           frame.height());
    p.statusPanel->setMaximumWidth(twipsToPixels(c.statusPanelWidth));
}

void PanelLayout::showFrame(QWidget *frame)
{
    const Panels &p = m_panels;
    for (QWidget *f :
         std::initializer_list<QWidget *>{p.channels, p.favorites, p.files, p.videoSite, p.recent})
        f->setVisible(f == frame);
}

QLabel *addStatusPanel(QStatusBar *bar)
{
    auto *panel = named(new QLabel(bar), u"Panel1"_s);
    panel->setMinimumWidth(0);
    // No accessible name of its own: the name a screen reader announces is the changing text.
    panel->setAccessibleDescription(u"Status"_s);
    // Channel names and catalogue figures reach the panel: markup in them is shown as typed.
    panel->setTextFormat(Qt::PlainText);
    bar->setObjectName(u"StatusBar1"_s);
    bar->setSizeGripEnabled(true);
    bar->setFixedHeight(twipsToPixels(kStatusBarTwips));
    bar->addWidget(panel, 1);
    return panel;
}

void PanelLayout::moveDivider(int x)
{
    m_frameWidth = pixelsToTwips(x - m_panels.channels->x());
    m_userWidth = true;
    place({m_windowWidth, m_windowHeight});
    m_frameWidth = pixelsToTwips(m_panels.channels->width()); // as far as it went
}

} // namespace mavrel
