#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace mavrel::testing {

// A channel as a test writes it: plain address, the figures as the file holds them.
struct FixtureChannel
{
    QByteArray name;
    QByteArray kind;
    QByteArray lang;
    QByteArray rating;
    QByteArray favorites;
    QByteArray url;
};

// Writes a catalogue file (addresses scrambled) and returns whether it succeeded.
bool writeCatalogue(const QString &path, const std::vector<FixtureChannel> &channels);

// A realistic catalogue: four kinds, some sixty languages and categories combined with "/",
// names of 10-40 characters, addresses of 40-90, ratings and favourites figures. The same seed
// gives the same catalogue.
std::vector<FixtureChannel> generateCatalogue(int count, unsigned seed = 26);

} // namespace mavrel::testing
