// What desktop users expect of a viewer beyond its design: find-as-you-type in the lists.
#include "catalogue/catalogueview.h"
#include "catalogue/ui/modlistviewenh.h"
#include "catalogue/ui/sortproxy.h"
#include "localization/clslanguages.h"
#include "localization/ui/windowcontrols.h"
#include "mainwindow/ui/findbar.h"
#include "mainwindow/ui/form1.h"

#include <QLabel>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace mavrel {

void Form1::createDesktop()
{
    findChannels = new FindBar(ListView1, u"lblFind"_s, u"txtFind"_s);
    findFavorites = new FindBar(ListView2, u"lblFindFavorites"_s, u"txtFindFavorites"_s);
    connect(findChannels, &FindBar::findChanged, this, &Form1::showFindStatus);
}

void Form1::addDesktopControls(WindowControls &c)
{
    c.addLabel(findChannels->label(), controlkind::Label);
    c.addOther(findChannels->box(), u"TextBox"_s);
    c.addLabel(findFavorites->label(), controlkind::Label);
    c.addOther(findFavorites->box(), u"TextBox"_s);
}

void Form1::showFindStatus()
{
    StatusBar1Panel1->setText(catalogueStatusLine(
        [this](const QString &key) { return m_languages->getMessages(key); }, m_catalogueTotal,
        ListView1->proxy()->rowCount(), viewState().langCount));
}

} // namespace mavrel
