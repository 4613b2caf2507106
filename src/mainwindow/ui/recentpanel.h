#pragma once

#include "mainwindow/ui/panelcontext.h"
#include "recent/recentmodel.h"

#include <QGroupBox>

class QAction;
class QMenu;
class QTreeView;

namespace mavrel {

class WindowControls;

// "Recent": the channels, favourites and files played lately, newest first. A click or Enter
// plays an item again the way its list played it; the context menu clears the list.
class RecentPanel : public QGroupBox
{
    Q_OBJECT
public:
    RecentPanel(const QString &filePath, const PanelContext &context, QWidget *parent);

    RecentModel &model() const { return *m_model; }
    QTreeView *list() const { return m_list; }
    QMenu *contextMenu() const { return m_menu; }

    // Takes the words of the interface language.
    void retranslate();
    // Keeps an item played; a list that cannot be saved is said in the status line.
    void add(const RecentItem &item);
    // Asks, then empties the list and its file.
    void clearList();
    // Added after the design's controls, so that the localisation file keeps its order.
    void addControls(WindowControls &c);

signals:
    void replayRequested(const mavrel::RecentItem &item);

private:
    void replayCurrent();
    void saved(const Result<void> &result);

    PanelContext m_context;
    RecentModel *m_model;
    QTreeView *m_list;
    QMenu *m_menu;
    QAction *m_clear;
};

} // namespace mavrel
