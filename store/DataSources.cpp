#include "store/DataSources.h"

#include "platform/core/Exception.h"
#include "platform/core/PlatformSettings.h"

#include <QStringList>

namespace {
QString SourceKey(const QString &dataSource)
{
    return QStringLiteral("Sources/") + dataSource;
}
} // namespace

std::optional<QString> ServerForDataSource(const QString &dataSource)
{
    const auto settings = OpenPlatformSettings(QStringLiteral("Veri"));
    const QVariant value = settings->value(SourceKey(dataSource));
    // An unquoted value with commas ("host=a,b") reads as a list.
    const QString server = value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString();
    if (server.trimmed().isEmpty())
        return std::nullopt;
    return server.trimmed();
}

void SetServerForDataSource(const QString &dataSource, const std::optional<QString> &server)
{
    const auto settings = OpenPlatformSettings(QStringLiteral("Veri"));
    if (server && !server->trimmed().isEmpty())
        settings->setValue(SourceKey(dataSource), server->trimmed());
    else
        settings->remove(SourceKey(dataSource));
    settings->sync();
    if (settings->status() != QSettings::NoError)
        throw EFileError(QStringLiteral("Cannot create file \"%1\".").arg(settings->fileName()),
                         {TErrorKind::FileCreate, settings->fileName(), {}, 0});
}
