#include "mainwindow/ui/mainmenus.h"

#include "localization/ui/windowcontrols.h"
#include "platform/widgets/named.h"

#include <QMenu>
#include <QMenuBar>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

// The Categories menu's items in their design order.
constexpr Category kCategoryItems[] = {
    Category::TV,     Category::Radio,  Category::Video, Category::Favorites, Category::Files,
    Category::Sports, Category::Extras, Category::Adult, Category::VideoSite, Category::Recent,
};
constexpr int kDesignCategoryItems = 9;

// Alt and a letter; the letters avoid the menus' own.
QKeySequence categoryKey(Category category)
{
    switch (category) {
    case Category::TV:
        return QKeySequence(Qt::ALT | Qt::Key_T);
    case Category::Radio:
        return QKeySequence(Qt::ALT | Qt::Key_R);
    case Category::Favorites:
        return QKeySequence(Qt::ALT | Qt::Key_V);
    case Category::Files:
        return QKeySequence(Qt::ALT | Qt::Key_M);
    case Category::VideoSite:
        return QKeySequence(Qt::ALT | Qt::Key_Y);
    case Category::Adult:
        return QKeySequence(Qt::ALT | Qt::Key_D);
    case Category::Recent:
        return QKeySequence(Qt::ALT | Qt::Key_E);
    default:
        return {};
    }
}

} // namespace

MainMenus::MainMenus(QMenuBar *bar, QWidget *window) : QObject(window), m_bar(bar)
{
    const auto addItem = [window](QMenu *menu, const QString &name, const QString &caption,
                                  const QKeySequence &key = {}) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        if (!key.isEmpty()) {
            action->setShortcut(key);
            window->addAction(action);
        }
        return action;
    };
    const auto command = [this](QAction *action, Command c) { m_commands.insert(c, action); };

    mnuFile = named(bar->addMenu(u"&File"_s), u"mnuFile"_s);
    // The design's File menu has Exit at index 2; the two before it came later.
    mnuFileItem[0] = addItem(mnuFile, u"mnuFileItem0"_s, u"&Export Favorites\u2026"_s);
    mnuFileItem[1] = addItem(mnuFile, u"mnuFileItem1"_s, u"&Import Playlist\u2026"_s);
    mnuFile->addSeparator();
    mnuFileItem[2] = addItem(mnuFile, u"mnuFileItem2"_s, u"E&xit"_s);
    command(mnuFileItem[0], Command::ExportFavorites);
    command(mnuFileItem[1], Command::ImportPlaylist);
    command(mnuFileItem[2], Command::Exit);

    mnuCat = named(bar->addMenu(u"&Categories"_s), u"mnuCat"_s);
    const QString categories[] = {u"TV/Video"_s,      u"Radio/Music"_s, u"Video"_s,  u"Favorites"_s,
                                  u"My Files"_s,      u"Live Sports"_s, u"Extras"_s, u"Adult"_s,
                                  u"YouTube\u2122"_s, u"Recent"_s};
    for (int i = 0; i < int(mnuCatItem.size()); ++i) {
        const Category category = kCategoryItems[i];
        mnuCatItem[i] =
            addItem(mnuCat, u"mnuCatItem%1"_s.arg(i), categories[i], categoryKey(category));
        connect(mnuCatItem[i], &QAction::triggered, this,
                [this, category] { emit categoryChosen(category); });
    }
    for (const int hidden : {2, 5, 6, 7})
        mnuCatItem[hidden]->setVisible(false);

    mnuView = named(bar->addMenu(u"Vie&w"_s), u"mnuView"_s);
    mnuViewItem[0] = addItem(mnuView, u"mnuViewItem0"_s, u"&Find\u2026"_s, QKeySequence::Find);
    mnuViewItem[1] = addItem(mnuView, u"mnuViewItem1"_s, u"F&ull Screen"_s, Qt::Key_F11);
    command(mnuViewItem[0], Command::Find);
    command(mnuViewItem[1], Command::FullScreen);

    mnuUpdate = named(bar->addMenu(u"&Update Channels"_s), u"mnuUpdate"_s);
    const QString updates[] = {u"Update Channels Online"_s, u"Add Channels"_s,
                               u"Download Dead Channels"_s, u"Check all channels"_s,
                               u"Catalogue Server\u2026"_s};
    const Command updateCommands[] = {Command::UpdateChannels, Command::AddChannels,
                                      Command::DownloadDeadChannels, Command::CheckAllChannels,
                                      Command::CatalogueServer};
    for (int i = 0; i < int(mnuUpdateItem.size()); ++i) {
        mnuUpdateItem[i] = addItem(mnuUpdate, u"mnuUpdateItem%1"_s.arg(i), updates[i]);
        command(mnuUpdateItem[i], updateCommands[i]);
    }
    // The staff's items.
    mnuUpdateItem[2]->setVisible(false);
    mnuUpdateItem[3]->setVisible(false);

    mnuLanguage = named(bar->addMenu(u"&Languages"_s), u"mnuLanguage"_s);
    mnuLanguageItem[0] = addItem(mnuLanguage, u"mnuLanguageItem0"_s, u"Change Language"_s);
    command(mnuLanguageItem[0], Command::ChangeLanguage);
    mnuHelp = named(bar->addMenu(u"&Help"_s), u"mnuHelp"_s);
    mnuHelpItem[0] =
        addItem(mnuHelp, u"mnuHelpItem0"_s, u"View Help"_s, QKeySequence::HelpContents);
    command(mnuHelpItem[0], Command::Help);
    mnuAbout = named(bar->addMenu(u"&About"_s), u"mnuAbout"_s);
    mnuAboutItem[0] = addItem(mnuAbout, u"mnuAboutItem0"_s, u"About this software"_s);
    command(mnuAboutItem[0], Command::About);
}

QAction *MainMenus::action(Command command) const
{
    return m_commands.value(command);
}

QAction *MainMenus::categoryItem(Category category) const
{
    for (int i = 0; i < int(mnuCatItem.size()); ++i) {
        if (kCategoryItems[i] == category)
            return mnuCatItem[i];
    }
    return nullptr;
}

void MainMenus::addPopups(const QList<QMenu *> &menus)
{
    for (QMenu *menu : menus)
        m_bar->addMenu(menu)->setVisible(false);
}

void MainMenus::applyCompanySwitch()
{
    for (const int shown : {5, 6, 7})
        mnuCatItem[shown]->setVisible(true);
}

void MainMenus::applyStaffSwitch()
{
    mnuUpdateItem[2]->setVisible(true);
    mnuUpdateItem[3]->setVisible(true);
}

void MainMenus::addControls(WindowControls &c)
{
    const auto add = [&c](QMenu *menu, const QString &name, const auto &items, int first = 0,
                          int end = -1) {
        c.addMenu(menu, name);
        for (int i = first; i < (end < 0 ? int(items.size()) : end); ++i) {
            if (items[i])
                c.addMenuItem(items[i], name + u"Item"_s, i);
        }
    };
    add(mnuFile, u"mnuFile"_s, mnuFileItem, 2);
    add(mnuCat, u"mnuCat"_s, mnuCatItem, 0, kDesignCategoryItems);
    add(mnuUpdate, u"mnuUpdate"_s, mnuUpdateItem);
    add(mnuLanguage, u"mnuLanguage"_s, mnuLanguageItem);
    add(mnuHelp, u"mnuHelp"_s, mnuHelpItem);
    add(mnuAbout, u"mnuAbout"_s, mnuAboutItem);
}

void MainMenus::addAddedControls(WindowControls &c)
{
    c.addMenu(mnuView, u"mnuView"_s);
    for (int i = 0; i < int(mnuViewItem.size()); ++i)
        c.addMenuItem(mnuViewItem[i], u"mnuViewItem"_s, i);
    c.addMenuItem(mnuFileItem[0], u"mnuFileItem"_s, 0);
    c.addMenuItem(mnuFileItem[1], u"mnuFileItem"_s, 1);
    c.addMenuItem(mnuCatItem[kDesignCategoryItems], u"mnuCatItem"_s, kDesignCategoryItems);
}

} // namespace mavrel
