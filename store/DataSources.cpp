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

std::unique_ptr<QSettings> OpenDataSourceSettings()
{
    return OpenPlatformSettings(QStringLiteral("Veri"));
}

void SaveDataSourceSettings(QSettings &settings)
{
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw EFileError(QStringLiteral("Cannot create file \"%1\".").arg(settings.fileName()),
                         {TErrorKind::FileCreate, settings.fileName(), {}, 0});
}

QString DataSourceSettingText(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    // An unquoted value with commas ("host=a,b") reads as a list.
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString();
}

std::optional<QString> ServerForDataSource(const QString &dataSource)
{
    const QString server = DataSourceSettingText(*OpenDataSourceSettings(), SourceKey(dataSource));
    if (server.trimmed().isEmpty())
        return std::nullopt;
    return server.trimmed();
}

bool NamesServer(const QString &name)
{
    return name.startsWith(QLatin1String("postgresql://")) || name.startsWith(QLatin1String("postgres://")) || name.contains(u'=');
}

void SetServerForDataSource(const QString &dataSource, const std::optional<QString> &server)
{
    const auto settings = OpenDataSourceSettings();
    if (server && !server->trimmed().isEmpty())
        settings->setValue(SourceKey(dataSource), server->trimmed());
    else
        settings->remove(SourceKey(dataSource));
    SaveDataSourceSettings(*settings);
}
