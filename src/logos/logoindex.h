#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>

#include <optional>

namespace mavrel {

using LogoAddresses = QHash<QByteArray, QByteArray>; // stream address (plain) -> logo address

// The logo addresses of a catalogue file's channels, by stream address: how a favourite, which
// stores no logo, finds its own. The file is read on a pool thread; until then, and for
// addresses the catalogue does not have, there is no logo.
class LogoIndex : public QObject
{
    Q_OBJECT
public:
    explicit LogoIndex(QString catalogueFile, QObject *parent = nullptr);

    QByteArray logoFor(const QByteArray &streamAddress) const
    {
        return m_addresses.value(streamAddress);
    }
    // Reads the file again when it changed since the last read (checked off this thread too).
    void refresh();
    // Whether a read was ever asked for.
    bool used() const { return m_used; }

    // The channels of a catalogue file that have a logo.
    static Result<LogoAddresses> read(const QString &catalogueFile);

signals:
    void changed();

private:
    const QString m_file;
    LogoAddresses m_addresses;
    QDateTime m_readStamp;
    bool m_used = false;
    bool m_reading = false;
    bool m_again = false;
};

} // namespace mavrel
