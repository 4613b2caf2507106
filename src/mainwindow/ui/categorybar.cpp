#include "mainwindow/ui/categorybar.h"

#include "localization/ui/windowcontrols.h"
#include "platform/widgets/named.h"

#include <QPushButton>

using namespace Qt::StringLiterals;

namespace mavrel {

CategoryBar::CategoryBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"categoryBar"_s);
    const auto add = [this](const QString &name, const QString &caption, Category category) {
        auto *button = named(new QPushButton(caption, this), name);
        QFont font = button->font();
        font.setBold(true);
        button->setFont(font);
        connect(button, &QPushButton::clicked, this, [this, category] { emit chosen(category); });
        return button;
    };
    cmdTV = add(u"cmdTV"_s, u"TV/Video"_s, Category::TV);
    cmdRadio = add(u"cmdRadio"_s, u"Radio/Music"_s, Category::Radio);
    cmdYouTube = add(u"cmdYouTube"_s, u"YouTube\u2122"_s, Category::VideoSite);
    cmdFavorites = add(u"cmdFavorites"_s, u"Favorites"_s, Category::Favorites);
    cmdFiles = add(u"cmdFiles"_s, u"My Files"_s, Category::Files);
    cmdUpdate = add(u"cmdUpdate"_s, u"Update"_s, Category::Update);
    cmdWebsite = add(u"cmdWebsite"_s, QString(), Category::Website);
    cmdExtras = add(u"cmdExtras"_s, u"Extras"_s, Category::Extras);
    cmdSports = add(u"cmdSports"_s, u"Live Sports"_s, Category::Sports);
    cmdXXX = add(u"cmdXXX"_s, u"Adult"_s, Category::Adult);
    cmdVideo = add(u"cmdVideo"_s, u"Video"_s, Category::Video);
    cmdTV->setGeometry(toPixels({60, 60, 1335, 915}));
    cmdRadio->setGeometry(toPixels({1440, 60, 1435, 915}));
    cmdYouTube->setGeometry(toPixels({2880, 60, 1275, 915}));
    cmdFavorites->setGeometry(toPixels({4200, 60, 1275, 915}));
    cmdFiles->setGeometry(toPixels({5520, 60, 1275, 915}));
    cmdUpdate->setGeometry(toPixels({6840, 60, 1275, 915}));
    cmdWebsite->setGeometry(toPixels({8160, 60, 2775, 915}));
    cmdExtras->setGeometry(toPixels({9000, 60, 1275, 915}));
    cmdSports->setGeometry(toPixels({9120, 60, 1275, 915}));
    cmdXXX->setGeometry(toPixels({9720, 0, 1275, 915}));
    cmdVideo->setGeometry(toPixels({10440, 0, 1275, 915}));
    for (QPushButton *hidden : {cmdExtras, cmdSports, cmdXXX, cmdVideo})
        hidden->hide();
    resize(cmdWebsite->geometry().right() + 1, cmdTV->geometry().bottom() + 1);
}

QPushButton *CategoryBar::button(Category category) const
{
    switch (category) {
    case Category::TV:
        return cmdTV;
    case Category::Radio:
        return cmdRadio;
    case Category::Video:
        return cmdVideo;
    case Category::Favorites:
        return cmdFavorites;
    case Category::Files:
        return cmdFiles;
    case Category::Sports:
        return cmdSports;
    case Category::Extras:
        return cmdExtras;
    case Category::Adult:
        return cmdXXX;
    case Category::VideoSite:
        return cmdYouTube;
    case Category::Website:
        return cmdWebsite;
    case Category::Update:
        return cmdUpdate;
    case Category::Recent:
        break;
    }
    return nullptr;
}

void CategoryBar::applyCompanySwitch()
{
    // The three extra buttons continue the row after Update; the website button follows them.
    cmdSports->setGeometry(toPixels({8160, 60, 1275, 915}));
    cmdExtras->setGeometry(toPixels({9480, 60, 1275, 915}));
    cmdXXX->setGeometry(toPixels({10800, 60, 1275, 915}));
    for (QPushButton *shown : {cmdSports, cmdExtras, cmdXXX})
        shown->show();
    QRect website = cmdWebsite->geometry();
    website.moveLeft(cmdXXX->geometry().right() + 1 + twipsToPixels(60));
    cmdWebsite->setGeometry(website);
}

void CategoryBar::readGeometry(ResizableControls &c) const
{
    const QRect r = cmdWebsite->geometry();
    c.cmdWebsite = {pixelsToTwips(r.x()), pixelsToTwips(r.y()), pixelsToTwips(r.width()),
                    pixelsToTwips(r.height())};
}

void CategoryBar::applyGeometry(const ResizableControls &c)
{
    cmdWebsite->setGeometry(toPixels(c.cmdWebsite));
    const QRect website = cmdWebsite->geometry();
    setGeometry(0, 0, website.right() + 1, qMax(website.bottom(), cmdTV->geometry().bottom()) + 1);
}

void CategoryBar::addControls(WindowControls &c)
{
    for (QPushButton *button : {cmdTV, cmdRadio, cmdYouTube, cmdFavorites, cmdFiles, cmdUpdate,
                                cmdWebsite, cmdExtras, cmdSports, cmdXXX, cmdVideo})
        c.addButton(button, controlkind::CommandButton);
}

} // namespace mavrel
