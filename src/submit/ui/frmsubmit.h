#pragma once

#include "localization/ui/windowcontrols.h"
#include "submit/spidercrawl.h"

#include <QPointer>
#include <QSet>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QEventLoop;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStatusBar;

namespace mavrel {

class clsLanguages;
class FavoriteList;
class MediaPlayer;

// "Add Channels": sends a new channel to the catalogue server, finds stream links on a page and
// crawls from page to page for more. Modeless; one fetch or crawl at a time per button, the
// rest of the window stays usable meanwhile.
class frmSubmit : public QWidget
{
    Q_OBJECT
public:
    frmSubmit(clsLanguages &languages, FavoriteList &favorites, QWidget *parent = nullptr);
    ~frmSubmit() override;

    void Form_Load();

    void cmdAdd_Click();
    void cmdGo_Click();
    void List1_Click();
    void Command1_Click();

    // The text of the status bar's first panel.
    QString statusText() const;
    bool spiderRunning() const;
    void setSpiderLimits(const SpiderLimits &limits) { m_crawl = SpiderCrawl(limits); }
    const SpiderCrawl &spider() const { return m_crawl; }
    LocalizableWindow &localizable() { return m_controls; }

    QLabel *Label1;
    QLineEdit *txtName;
    QLabel *Label2;
    QComboBox *cmbType;
    QLabel *Label3;
    QLineEdit *txtLang;
    QLabel *Label4;
    QLineEdit *txtURL;
    QLabel *Label6;
    QLabel *Label5;
    QComboBox *cmbRating;
    QCheckBox *chkFavorites;
    QPushButton *cmdAdd;

    QLabel *lblStream;
    QLabel *lblStreamInfo;
    QLabel *lblURL2;
    QLineEdit *txtURL2;
    QPushButton *cmdGo;
    QLabel *lblResults;
    QListWidget *List1;
    MediaPlayer *wmp1;

    QLabel *Label9;
    QLabel *Label8;
    QLabel *Label7;
    QLineEdit *txtSpider;
    QPushButton *Command1;
    QListWidget *List2;
    QListWidget *List3;

    QStatusBar *StatusBar1;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setStatus(const QString &text);
    // Appends the stream links of a page to List1; false when the window went away meanwhile.
    bool listStreamLinks(const QByteArray &page, const PageBase &base);
    void setSpiderRunning(bool running);
    void crawl();
    // Waits out the pause before the next request to a host; false when the window went away.
    bool politeWait(const QByteArray &address);

    clsLanguages &m_languages;
    FavoriteList &m_favorites;
    WindowControls m_controls;
    QLabel *m_statusPanel;
    SpiderCrawl m_crawl;
    QPointer<QEventLoop> m_pause;
    bool m_crawling = false;
    bool m_spiderRunning = false;
    QString m_idleCaption;
    QSet<QByteArray> m_listedStreams;
};

} // namespace mavrel
