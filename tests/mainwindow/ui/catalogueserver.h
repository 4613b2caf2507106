#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

#include "catalogue/channelrecord.h"

namespace mavrel::test {

// The real catalogue server with its demo catalogue, on a database in a temporary folder and an
// ephemeral port.
class CatalogueServer
{
public:
    struct Report
    {
        QByteArray type;
        QByteArray value;
        QByteArray item;
        bool admin = false;
    };

    CatalogueServer();
    ~CatalogueServer();

    // Further options for the server, given before start().
    QStringList extraArguments;

    // Starts it; false (with error() set) when it cannot be started.
    bool start();
    QString error() const { return m_error; }
    QByteArray baseUrl() const { return m_base; }

    // The demo catalogue, as `export` writes it.
    QList<ChannelRecord> catalogue();
    const ChannelRecord *channel(const QByteArray &name);

    // The reports recorded so far, oldest first.
    QList<Report> reports() const;

    // Runs a command of the server program (import, export, remove) on its database while it
    // serves; its standard output, or nothing when it failed.
    std::optional<QByteArray> runCommand(const QString &command, const QStringList &arguments);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_base;
    QString m_error;
    QList<ChannelRecord> m_catalogue;
};

} // namespace mavrel::test
