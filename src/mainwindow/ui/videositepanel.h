#pragma once

#include "mainwindow/layout.h"
#include "mainwindow/ui/panelcontext.h"
#include "videosite/ui/videositebrowser.h"

#include <QGroupBox>

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeView;

namespace mavrel {

class WindowControls;

// The video site ("Frame5"): listing and country boxes, the search, the video list and its
// actions menu, and the download status box. A chosen video's page shows in the player area's
// browser through the showPage hook.
class VideoSitePanel : public QGroupBox
{
    Q_OBJECT
public:
    // `loadingDisabled`: the list editing box that keeps videos from loading.
    VideoSitePanel(const QString &pagePath, const PanelContext &context,
                   std::function<bool()> loadingDisabled, QWidget *parent);

    VideoSiteBrowser &browser() const { return *m_browser; }
    QTreeView *list() const { return ListView3; }
    QMenu *actionsMenu() const { return mnuActions2; }
    QString countryCode() const { return m_countryCode; }
    // Writes the page shown before any video is chosen.
    void writePlaceholder();
    // The status box under the list, which the status line repeats.
    void setStatusBoxText(const QString &text);

    void readGeometry(ResizableControls &c) const;
    void applyGeometry(const ResizableControls &c);
    void addControls(WindowControls &c);
    void addMenuControls(WindowControls &c);

signals:
    // "Add to Favorites" on the selected video.
    void addToFavoritesChosen();

private:
    QComboBox *Combo3;
    QComboBox *Combo4;
    QLineEdit *txtYouTube;
    QPushButton *cmdSearch;
    QPushButton *Command4;
    QTreeView *ListView3;
    QLineEdit *txtStatus;
    QMenu *mnuActions2;
    QList<QAction *> mnuAction2Item;
    QString m_countryCode = QStringLiteral("en_us");
    VideoSiteBrowser *m_browser;
    PanelContext m_context;
};

} // namespace mavrel
