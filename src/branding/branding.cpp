#include "branding/branding.h"

#include "buildconfig.h"

namespace mavrel {

const Branding &branding()
{
    static const Branding values{
        QStringLiteral("Mavrel"),
        QStringLiteral("Brintover"),
        QStringLiteral(MAVREL_SITE_NAME),
        26,
        MAVREL_VERSION_MAJOR,
        MAVREL_VERSION_MINOR,
        true,
    };
    return values;
}

} // namespace mavrel
