#include "platform/core/PlatformSettings.h"

#include <QStandardPaths>

std::unique_ptr<QSettings> OpenPlatformSettings(const QString &part)
{
    // The folder is looked up on every call (QSettings' own user scope
    // settles it once per process).
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<QSettings>(folder + QStringLiteral("/Velmora/") + part + QStringLiteral(".ini"), QSettings::IniFormat);
}
