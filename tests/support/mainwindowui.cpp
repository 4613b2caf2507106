#include "mainwindowui.h"

#include "catalogue/ui/listviewenh.h"
#include "mainwindow/ui/findbar.h"
#include "player/ui/mediaplayer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QWebEngineView>

namespace mavrel::test {

namespace {

template<typename T> T *named(const QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        ADD_FAILURE() << "the main window has no " << T::staticMetaObject.className() << " named "
                      << name.toStdString();
    return found;
}

template<typename T> void find(const QWidget &window, T *&control, const char *name)
{
    control = named<T>(window, QString::fromLatin1(name));
}

template<std::size_t N>
void findItems(const QWidget &window, std::array<QAction *, N> &items, const char *prefix)
{
    for (std::size_t i = 0; i < N; ++i)
        items[i] = named<QAction>(window, QString::fromLatin1(prefix) + QString::number(i));
}

// The pop-up menus' items, however many there are: numbered from 0 without a gap.
QList<QAction *> numberedItems(const QWidget &window, const char *prefix)
{
    QList<QAction *> items;
    while (QAction *a = window.findChild<QAction *>(QString::fromLatin1(prefix) +
                                                    QString::number(items.size())))
        items << a;
    if (items.isEmpty())
        ADD_FAILURE() << "the main window has no " << prefix << "0";
    return items;
}

} // namespace

MainWindowUi::MainWindowUi(const QWidget &window) : m_window(&window)
{
    find(window, cmdTV, "cmdTV");
    find(window, cmdRadio, "cmdRadio");
    find(window, cmdYouTube, "cmdYouTube");
    find(window, cmdFavorites, "cmdFavorites");
    find(window, cmdFiles, "cmdFiles");
    find(window, cmdUpdate, "cmdUpdate");
    find(window, cmdWebsite, "cmdWebsite");
    find(window, cmdExtras, "cmdExtras");
    find(window, cmdSports, "cmdSports");
    find(window, cmdXXX, "cmdXXX");
    find(window, cmdVideo, "cmdVideo");
    find(window, Frame1, "Frame1");
    find(window, Frame2, "Frame2");
    find(window, Frame3, "Frame3");
    find(window, Frame4, "Frame4");
    find(window, Frame5, "Frame5");
    find(window, lblCountry, "lblCountry");
    find(window, Combo1, "Combo1");
    find(window, lblSort, "lblSort");
    find(window, cmbSortTV, "cmbSortTV");
    find(window, ListView1, "ListView1");
    find(window, ListView2, "ListView2");
    find(window, ListView3, "ListView3");
    find(window, txtStatus, "txtStatus");
    find(window, chkLoad, "chkLoad");
    find(window, Drive1, "Drive1");
    find(window, Dir1, "Dir1");
    find(window, File1, "File1");
    find(window, WindowsMediaPlayer1, "WindowsMediaPlayer1");
    find(window, imgOffline, "imgOffline");
    find(window, StatusBar1Panel1, "Panel1");

    find(window, mnuFile, "mnuFile");
    find(window, mnuCat, "mnuCat");
    find(window, mnuUpdate, "mnuUpdate");
    find(window, mnuLanguage, "mnuLanguage");
    find(window, mnuHelp, "mnuHelp");
    find(window, mnuAbout, "mnuAbout");
    findItems(window, mnuFileItem, "mnuFileItem");
    findItems(window, mnuCatItem, "mnuCatItem");
    findItems(window, mnuUpdateItem, "mnuUpdateItem");
    findItems(window, mnuLanguageItem, "mnuLanguageItem");
    findItems(window, mnuHelpItem, "mnuHelpItem");
    findItems(window, mnuAboutItem, "mnuAboutItem");

    find(window, fraRecent, "fraRecent");
    find(window, lvwRecent, "lvwRecent");
    find(window, mnuRecentItem0, "mnuRecentItem0");

    find(window, cmdFav, "cmdFav");
    find(window, Command1, "Command1");
    find(window, Command4, "Command4");
    find(window, mnuActions, "mnuActions");
    find(window, mnuActions2, "mnuActions2");
    mnuActionItem = numberedItems(window, "mnuActionItem");
    mnuAction2Item = numberedItems(window, "mnuAction2Item");

    find(window, Combo3, "Combo3");
    find(window, Combo4, "Combo4");
    find(window, txtYouTube, "txtYouTube");
    find(window, cmdSearch, "cmdSearch");

    // The bars take their names from their boxes.
    find(window, findChannels, "txtFindBar");
    find(window, findFavorites, "txtFindFavoritesBar");
}

QWebEngineView *MainWindowUi::wbyoutube() const
{
    return named<QWebEngineView>(*m_window, QStringLiteral("wbyoutube"));
}

void clickHeaderSection(QTreeView *list, int section)
{
    const QHeaderView *header = list->header();
    const int left = header->sectionViewportPosition(section);
    ASSERT_GE(left, 0) << "section " << section << " is not shown";
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      {left + header->sectionSize(section) / 2, header->height() / 2});
}

} // namespace mavrel::test
