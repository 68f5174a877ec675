#include "platform/core/PlatformSettings.h"

std::unique_ptr<QSettings> OpenPlatformSettings(const QString &part)
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmora"), part);
}
