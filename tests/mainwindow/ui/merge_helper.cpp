// Merges an update reply into a catalogue file, for the test that kills it on the way:
// merge_helper CATALOGUE REPLY. Says "ready" once the reply is read, just before merging.
#include "online/catalogueupdate.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    QFile reply(QString::fromLocal8Bit(argv[2]));
    if (!reply.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = reply.readAll();
    std::puts("ready");
    std::fflush(stdout);
    return mavrel::extractNewDefs(QString::fromLocal8Bit(argv[1]), bytes) ? 0 : 1;
}
