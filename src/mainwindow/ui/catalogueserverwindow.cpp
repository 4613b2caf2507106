#include "mainwindow/ui/catalogueserverwindow.h"

#include "localization/clslanguages.h"
#include "online/serveraddress.h"
#include "online/serverprobe.h"
#include "platform/settings.h"
#include "platform/widgets/named.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

struct DefaultMessage
{
    const char *key;
    QString text;
};

const DefaultMessage defaultMessages[] = {
    {"MSG_SERVERASKING", u"Asking %1\u2026"_s},
    {"MSG_SERVERANSWERED", u"The server answered: %1"_s},
    {"MSG_SERVERREFUSED", u"Could not reach %1: connection refused"_s},
    {"MSG_SERVERNOHOST", u"Could not reach %1: the host name is not known"_s},
    {"MSG_SERVERTIMEOUT", u"Could not reach %1: no answer within %2 seconds"_s},
    {"MSG_SERVERFAILED", u"Could not reach %1: %2"_s},
    {"MSG_SERVERSTATUS", u"That is not a catalogue server: %1 answered with status %2"_s},
    {"MSG_SERVERNODATE", u"That is not a catalogue server: its answer is not a date"_s},
    {"MSG_SERVERBADADDRESS",
     u"Only an http:// or https:// address with a host name can be used."_s},
    {"MSG_SERVERNOTSAVED", u"The address could not be saved in your settings."_s},
    {"MSG_SERVEROVERRIDE",
     u"MAVREL_CATALOGUE_URL names the server in use. Unset it to use an address stored here."_s},
};

// The window's messages join the table the first time it opens; a language applied then
// translates them like the others.
void registerMessages(clsLanguages &languages)
{
    for (const DefaultMessage &m : defaultMessages) {
        if (languages.getMessages(QLatin1StringView(m.key)).isEmpty())
            languages.setMessage(QLatin1StringView(m.key), m.text);
    }
}

} // namespace

CatalogueServerWindow::CatalogueServerWindow(clsLanguages &languages, QWidget *parent)
    : QDialog(parent), m_languages(languages), m_controls(this), m_probe(new ServerProbe(this))
{
    setObjectName(u"frmServer"_s);
    setWindowTitle(u"Catalogue Server"_s);

    lblAddress = named(new QLabel(u"Address of the catalogue server:"_s, this), u"lblAddress"_s);
    txtAddress = named(new QLineEdit(this), u"txtAddress"_s);
    txtAddress->setMinimumWidth(320);
    lblAddress->setBuddy(txtAddress);
    lblOverride = named(new QLabel(this), u"lblOverride"_s);
    lblOverride->setWordWrap(true);
    lblOverride->setTextFormat(Qt::PlainText);
    cmdTest = named(new QPushButton(u"Test"_s, this), u"cmdTest"_s);
    // What came back from the network is shown as plain text.
    lblResult = named(new QLabel(this), u"lblResult"_s);
    lblResult->setWordWrap(true);
    lblResult->setTextFormat(Qt::PlainText);
    lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for the longest answer, so the window need not grow when it comes.
    lblResult->setMinimumHeight(3 * lblResult->fontMetrics().lineSpacing());
    cmdOK = named(new QPushButton(u"OK"_s, this), u"cmdOK"_s);
    cmdCancel = named(new QPushButton(u"Cancel"_s, this), u"cmdCancel"_s);
    cmdOK->setDefault(true);

    auto *addressRow = new QHBoxLayout;
    addressRow->addWidget(txtAddress, 1);
    addressRow->addWidget(cmdTest);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblAddress);
    layout->addLayout(addressRow);
    layout->addWidget(lblOverride);
    layout->addWidget(lblResult);
    layout->addStretch(1);
    layout->addLayout(buttons);

    m_controls.addLabel(lblAddress, controlkind::Label);
    m_controls.addOther(txtAddress, u"TextBox"_s);
    // Their texts come from the message table as they change: no caption to translate.
    m_controls.addOther(lblOverride, u"MessageLabel"_s);
    m_controls.addButton(cmdTest, controlkind::CommandButton);
    m_controls.addOther(lblResult, u"MessageLabel"_s);
    m_controls.addButton(cmdOK, controlkind::CommandButton);
    m_controls.addButton(cmdCancel, controlkind::CommandButton);

    registerMessages(m_languages);
    m_languages.ChangeLanguage(m_controls, m_languages.currentLanguage());

    const ServerAddress inUse = catalogueServerAddressInUse();
    txtAddress->setText(QString::fromUtf8(inUse.address));
    m_overridden = inUse.source == AddressSource::Environment;
    // The environment wins over any stored address: editing here would change nothing.
    txtAddress->setReadOnly(m_overridden);
    lblOverride->setVisible(m_overridden);
    if (m_overridden)
        lblOverride->setText(message("MSG_SERVEROVERRIDE"));

    connect(cmdTest, &QPushButton::clicked, this, &CatalogueServerWindow::cmdTest_Click);
    connect(cmdOK, &QPushButton::clicked, this, &CatalogueServerWindow::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    connect(m_probe, &ServerProbe::finished, this, &CatalogueServerWindow::showProbeResult);
}

QString CatalogueServerWindow::message(const char *key) const
{
    return m_languages.getMessages(QLatin1StringView(key));
}

void CatalogueServerWindow::cmdTest_Click()
{
    const Result<QByteArray> address = normalizeServerAddress(txtAddress->text());
    if (!address) {
        lblResult->setText(message("MSG_SERVERBADADDRESS"));
        return;
    }
    m_testedAddress = QString::fromUtf8(address.value());
    cmdTest->setEnabled(false);
    lblResult->setText(message("MSG_SERVERASKING").arg(m_testedAddress));
    m_probe->start(address.value());
}

void CatalogueServerWindow::showProbeResult(const ServerProbeResult &result)
{
    using Kind = ServerProbeResult::Kind;
    cmdTest->setEnabled(true);
    // The address as a user would type it back: host and port.
    const QString where = QUrl(m_testedAddress).authority();
    QString text;
    switch (result.kind) {
    case Kind::Answered:
        text = message("MSG_SERVERANSWERED").arg(result.detail);
        break;
    case Kind::Refused:
        text = message("MSG_SERVERREFUSED").arg(where);
        break;
    case Kind::HostNotFound:
        text = message("MSG_SERVERNOHOST").arg(where);
        break;
    case Kind::TimedOut:
        text = message("MSG_SERVERTIMEOUT").arg(where).arg(m_probe->timeout() / 1000);
        break;
    case Kind::Unreachable:
        text = message("MSG_SERVERFAILED").arg(where, result.detail);
        break;
    case Kind::HttpStatus:
        text = message("MSG_SERVERSTATUS").arg(where).arg(result.httpStatus);
        break;
    case Kind::NotADate:
        text = message("MSG_SERVERNODATE");
        break;
    }
    lblResult->setText(text);
}

void CatalogueServerWindow::cmdOK_Click()
{
    if (m_overridden) {
        close();
        return;
    }
    QString stored;
    // An emptied field goes back to the address the product was built with.
    if (!txtAddress->text().trimmed().isEmpty()) {
        const Result<QByteArray> address = normalizeServerAddress(txtAddress->text());
        if (!address) {
            lblResult->setText(message("MSG_SERVERBADADDRESS"));
            return;
        }
        stored = QString::fromUtf8(address.value());
    }
    const SettingSpec &spec = settingSpec(SettingKey::CatalogueServer);
    if (!saveSetting(settingsApplication(), settingsSection, spec.name, stored)) {
        lblResult->setText(message("MSG_SERVERNOTSAVED"));
        return;
    }
    close();
}

} // namespace mavrel
