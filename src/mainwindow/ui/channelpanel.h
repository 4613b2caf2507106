#pragma once

#include "catalogue/catalogueview.h"
#include "catalogue/channelrecord.h"
#include "mainwindow/layout.h"
#include "mainwindow/ui/panelcontext.h"
#include "player/playbacksession.h"

#include <QDateTime>
#include <QGroupBox>

#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;

namespace mavrel {

class CatalogueController;
class ChannelPlayback;
class ChannelListModel;
class CheckAllRun;
class FindBar;
class GuideClient;
class ListViewEnh;
class LogoStore;
class WindowControls;

// The channel list of one kind ("Frame1"): the Type and Sort boxes, the list with its find bar,
// the channel actions menu, playing a channel (the check, the offline picture, the reports) and
// the run that checks every channel. The hidden "List Editing"
// frame's check box lives here too, since only the lists read it.
class ChannelPanel : public QGroupBox
{
    Q_OBJECT
public:
    ChannelPanel(const PanelContext &context, QWidget *parent);
    ~ChannelPanel() override;

    void setCatalogueFile(const QString &path);
    bool catalogueExists() const;
    CatalogueViewState &viewState();
    ChannelListModel &model() const { return *m_model; }
    ListViewEnh *list() const { return ListView1; }
    LogoStore *logos() const { return m_logos; }
    FindBar *findBar() const { return m_find; }
    QMenu *actionsMenu() const { return mnuActions; }
    CheckAllRun &checkRun() const { return *m_checkRun; }
    ChannelPlayback &playback() const { return *m_playback; }
    GuideClient &guide() const { return *m_guide; }
    bool loadingDisabled() const;
    // The row selected, however it was chosen: a screen reader selects without moving the
    // current row.
    std::optional<ChannelRecord> selectedChannel() const;

    // Shows the channels of a kind in the language last chosen for it.
    void showKind(const QString &kind);
    void clearRows();
    void loadChannelList();
    // Start-up: the best rated come first, also in lists loaded later.
    void sortByRating();
    void applyStaffSwitch();
    // The counts in the status line, in the language now in force.
    void sayCounts();
    bool statusShowsCounts(const QString &statusText) const { return statusText == m_listStatus; }

    // The frame width, in twips, at which every column shows whole and the names keep the
    // design's column width.
    int neededWidth() const;
    void readGeometry(ResizableControls &c) const;
    void applyGeometry(const ResizableControls &c);
    void addControls(WindowControls &c);
    void addMenuControls(WindowControls &c);

signals:
    // An item of the channel actions menu: its action word.
    void actionChosen(const QByteArray &word);

private:
    void Combo1_Click();
    void cmbSortTV_Click();
    // The On Now column for a TV list that has guide data, and the catalogue's changes.
    void showGuide();
    // The guide id of what the player plays, when the list knows it.
    void followPlayer(PlaybackSession::State state);

    PanelContext m_context;
    ChannelPlayback *m_playback;
    ChannelListModel *m_model;
    LogoStore *m_logos;
    std::unique_ptr<CatalogueController> m_catalogue;
    CheckAllRun *m_checkRun;
    QLabel *lblCountry;
    QComboBox *Combo1;
    QLabel *lblSort;
    QComboBox *cmbSortTV;
    QPushButton *cmdFav;
    ListViewEnh *ListView1;
    FindBar *m_find;
    QGroupBox *Frame2;
    QCheckBox *chkLoad;
    QMenu *mnuActions;
    QList<QAction *> mnuActionItem;
    QString m_allText = QStringLiteral("All"); // the Type box's first item, in its language
    int m_catalogueTotal = 0; // the last load's count of every channel, for the find status
    QString m_listStatus;     // the counts of the list, as the status panel last showed them
    GuideClient *m_guide;
    QString m_catalogueFile;
    QDateTime m_catalogueStamp;             // the catalogue's time when now.txt was last asked for
    std::optional<ChannelRecord> m_clicked; // the row last played from the list
    QString m_followedUrl;
};

} // namespace mavrel
