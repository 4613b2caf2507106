#pragma once

#include <QString>

namespace mavrel {

// The values the product carries about itself, in one place.
struct Branding
{
    QString productName;
    QString companyName;
    QString siteName;
    int productNumber = 0;
    int versionMajor = 0;
    int versionMinor = 0;
    bool splashIcon = false;
};

const Branding &branding();

} // namespace mavrel
