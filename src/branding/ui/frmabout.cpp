#include "branding/ui/frmabout.h"

#include "branding/branding.h"
#include "branding/ui/artwork.h"
#include "branding/ui/windowicon.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text = {})
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    // Names and addresses are configured at build time; none of them is markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

frmAbout::frmAbout(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
      Label1(makeLabel(this, u"Label1"_s)), Label2(makeLabel(this, u"Label2"_s, u"Version:"_s)),
      lblVersion(makeLabel(this, u"lblVersion"_s)),
      Label3(makeLabel(this, u"Label3"_s, u"Owned By:"_s)),
      lblCompany(makeLabel(this, u"lblCompany"_s)),
      Label4(makeLabel(this, u"Label4"_s, u"Website:"_s)),
      lblWebsite(makeLabel(this, u"lblWebsite"_s)), Label5(makeLabel(this, u"Label5"_s)),
      Picture1(makeLabel(this, u"Picture1"_s)), cmdOK(new QPushButton(u"OK"_s, this)),
      m_controls(this)
{
    setObjectName(u"frmAbout"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    mavrel::setWindowIcon(this, u"AAA"_s, false);
    cmdOK->setObjectName(u"cmdOK"_s);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);

    Picture1->setPixmap(aboutPicture());
    Picture1->setAlignment(Qt::AlignTop);
    QFont title = Label1->font();
    title.setPointSizeF(title.pointSizeF() * 1.8);
    title.setBold(true);
    Label1->setFont(title);
    Label5->setWordWrap(true);
    Label5->setStyleSheet(u"color: #5f6673;"_s);
    lblWebsite->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *facts = new QGridLayout;
    facts->setHorizontalSpacing(12);
    facts->addWidget(Label2, 0, 0);
    facts->addWidget(lblVersion, 0, 1);
    facts->addWidget(Label3, 1, 0);
    facts->addWidget(lblCompany, 1, 1);
    facts->addWidget(Label4, 2, 0);
    facts->addWidget(lblWebsite, 2, 1);
    facts->setColumnStretch(1, 1);

    auto *text = new QVBoxLayout;
    text->addWidget(Label1);
    text->addSpacing(6);
    text->addLayout(facts);
    text->addSpacing(10);
    text->addWidget(Label5);
    text->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addWidget(Picture1);
    top->addSpacing(16);
    top->addLayout(text, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(16, 16, 16, 12);
    outer->addLayout(top);
    outer->addLayout(buttons);

    Form_Load();
    setFixedWidth(460);

    // The names, the version and the address stay as the build sets them.
    for (QLabel *label : {Label2, Label3, Label4, Label5})
        m_controls.addLabel(label, controlkind::Label);
    m_controls.addButton(cmdOK, controlkind::CommandButton);
}

void frmAbout::Form_Load()
{
    const Branding &b = branding();
    setWindowTitle(u"About "_s + b.productName);
    Label1->setText(b.productName);
    lblCompany->setText(b.companyName);
    lblVersion->setText(QString::number(b.versionMajor) + u'.' + QString::number(b.versionMinor));
    lblWebsite->setText(b.siteName);
    Label5->setText(u"This software is the property of %1 and is protected by copyright law. "
                    "Copying, distributing or modifying it, in whole or in part, without the "
                    "written permission of %1 is prohibited."_s.arg(b.companyName));
}

} // namespace mavrel
