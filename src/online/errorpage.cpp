#include "online/errorpage.h"

#include <QByteArray>

#include <array>

namespace mavrel {

namespace {

constexpr std::array<QByteArrayView, 6> kErrorMarkers = {
    "Not Available", "404", "Has Moved", "Error", "Not Found", "No web site is configured",
};

} // namespace

bool isValidPage(QByteArrayView page)
{
    // The markers are ASCII, so folding ASCII letters alone is exact for single-byte pages.
    const QByteArray folded = page.toByteArray().toLower();
    for (QByteArrayView marker : kErrorMarkers) {
        if (folded.contains(marker.toByteArray().toLower()))
            return false;
    }
    return true;
}

} // namespace mavrel
