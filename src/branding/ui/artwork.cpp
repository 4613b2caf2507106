#include "branding/ui/artwork.h"

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

QPixmap doubleDensity(const QString &file)
{
    QPixmap pixmap(file);
    pixmap.setDevicePixelRatio(2.0);
    return pixmap;
}

} // namespace

QPixmap splashPicture()
{
    return doubleDensity(u":/branding/splash.png"_s);
}

QPixmap aboutPicture()
{
    return doubleDensity(u":/branding/about.png"_s);
}

QPixmap offlinePicture()
{
    return doubleDensity(u":/branding/offline.png"_s);
}

} // namespace mavrel
