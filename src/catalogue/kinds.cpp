#include "catalogue/kinds.h"

namespace mavrel {

bool isCatalogueKind(QByteArrayView kind)
{
    for (const QLatin1StringView word : {kKindTV, kKindRadio, kKindVideo, kKindAdult}) {
        if (kind == QByteArrayView(word.data(), word.size()))
            return true;
    }
    return false;
}

std::optional<SettingKey> languageSettingToRead(const QString &kind)
{
    if (kind == kKindAdult)
        return SettingKey::VideoLang;
    return languageSettingToWrite(kind);
}

std::optional<SettingKey> languageSettingToWrite(const QString &kind)
{
    if (kind == kKindTV)
        return SettingKey::TVLang;
    if (kind == kKindRadio)
        return SettingKey::RadioLang;
    if (kind == kKindVideo)
        return SettingKey::VideoLang;
    return std::nullopt;
}

} // namespace mavrel
