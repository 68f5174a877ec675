#include "store/DataSources.h"

#include "platform/core/PlatformSettings.h"

#include <QStringList>

std::optional<QString> ServerForDataSource(const QString &dataSource)
{
    const auto settings = OpenPlatformSettings(QStringLiteral("Veri"));
    const QVariant value = settings->value(QStringLiteral("Sources/") + dataSource);
    // An unquoted value with commas ("host=a,b") reads as a list.
    const QString server = value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString();
    if (server.trimmed().isEmpty())
        return std::nullopt;
    return server.trimmed();
}
