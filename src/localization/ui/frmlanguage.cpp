#include "localization/ui/frmlanguage.h"

#include "branding/branding.h"
#include "localization/clslanguages.h"
#include "localization/languagedownload.h"
#include "online/fetch.h"
#include "online/serveraddress.h"
#include "platform/dialogs.h"
#include "platform/settings.h"
#include "platform/widgets/desktopopen.h"
#include "platform/widgets/named.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace mavrel {

frmLanguage::frmLanguage(clsLanguages &languages, LocalizableWindow &mainWindow, QWidget *parent)
    : QDialog(parent), m_languages(languages), m_mainWindow(mainWindow), m_controls(this)
{
    setObjectName(u"frmLanguage"_s);
    setWindowTitle(u"Language Selection"_s);

    Label1 = named(new QLabel(u"Please select the language you would like to use:"_s, this),
                   u"Label1"_s);
    Label1->setWordWrap(true);
    Combo1 = named(new QComboBox(this), u"Combo1"_s);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setEditText(QLatin1StringView(kChooseText));
    Label1->setBuddy(Combo1);
    Command1 = named(new QPushButton(u"Check for language updates"_s, this), u"Command1"_s);
    Command2 = named(new QPushButton(u"OK"_s, this), u"Command2"_s);
    Command3 = named(new QPushButton(u"Translate this program"_s, this), u"Command3"_s);
    Command2->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command3);
    buttons->addStretch(1);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    // The window grows with longer translations instead of clipping them.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addWidget(Label1);
    layout->addWidget(Combo1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    m_controls.addLabel(Label1, controlkind::SkinLabel);
    m_controls.addOther(Combo1, u"ComboBox"_s);
    m_controls.addButton(Command1, controlkind::CommandButton);
    m_controls.addButton(Command2, controlkind::CommandButton);
    m_controls.addButton(Command3, controlkind::CommandButton);

    connect(Combo1, &QComboBox::activated, this, &frmLanguage::Combo1_Click);
    connect(Command1, &QPushButton::clicked, this, &frmLanguage::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmLanguage::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmLanguage::Command3_Click);
}

void frmLanguage::Form_Load()
{
    m_languages.ChangeLanguage(m_controls, m_languages.currentLanguage());
    setWindowTitle(m_languages.getMessages(u"MSG_TITLELANGUAGE"_s));
    // A caption item of the language wins over the message.
    m_languages.ChangeLanguage(m_controls, m_languages.currentLanguage());
    fillLanguageList();
}

void frmLanguage::fillLanguageList()
{
    Combo1->clear();
    Combo1->setEditText(QString());
    const QStringList names = m_languages.languageList();
    Combo1->addItems(names);
    if (names.isEmpty())
        return;
    const QString chosen = readSetting(SettingKey::Language, u"English"_s);
    // The open list marks the chosen entry too, not the first one.
    Combo1->setCurrentIndex(Combo1->findText(chosen));
    Combo1->setEditText(chosen);
}

void frmLanguage::Combo1_Click()
{
    const QString name = Combo1->currentText();
    if (name == QLatin1StringView(kChooseText))
        return;
    storeSetting(SettingKey::Language, name);
    m_languages.ChangeLanguage(m_mainWindow, name);
    m_languages.ChangeLanguage(m_controls, name);
    emit languageChanged();
}

void frmLanguage::Command1_Click()
{
    const QByteArray address = catalogueServerAddress() + "/Languages/" +
                               QByteArray::number(branding().productNumber) + "/Localization.txt";
    FetchOptions options;
    options.owner = this;
    const FetchResult reply = fetchPage(address, options);
    if (reply.ownerGone)
        return;
    switch (storeLanguageDownload(reply.body, reply.end == FetchEnd::Complete, reply.httpStatus,
                                  clsLanguages::localizationFilePath())) {
    case DownloadOutcome::Unusable:
        return;
    case DownloadOutcome::SaveFailed:
        messageBox(m_languages.getMessages(u"MSG_LANGSAVEFAILED"_s), DialogButtons::Ok, {},
                   DialogIcon::Warning);
        return;
    case DownloadOutcome::Saved:
        break;
    }
    fillLanguageList();
    messageBox(m_languages.getMessages(u"MSG_DOWNLOADED"_s), DialogButtons::Ok);
}

void frmLanguage::Command2_Click()
{
    close();
}

void frmLanguage::Command3_Click()
{
    const QString path = clsLanguages::localizationFilePath();
    if (clsLanguages::LangFileExists(path))
        openOnDesktop(QUrl::fromLocalFile(path));
}

} // namespace mavrel
