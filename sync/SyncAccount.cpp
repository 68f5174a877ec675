#include "sync/SyncAccount.h"

#include "store/DataSources.h"

namespace {
const QString kUrl = QStringLiteral("Sync/Url");
const QString kUser = QStringLiteral("Sync/User");
const QString kInterval = QStringLiteral("Sync/IntervalMinutes");
const QString kAddressBook = QStringLiteral("Sync/AddressBook");
const QString kFingerprint = QStringLiteral("Sync/TrustedFingerprint");
const QString kLastSync = QStringLiteral("Sync/LastSync");
} // namespace

QUrl TSyncAccount::ServerUrl() const
{
    const QString text = Url.trimmed();
    if (text.isEmpty())
        return {};
    if (text.contains(QStringLiteral("://")))
        return QUrl(text);
    return QUrl(QStringLiteral("https://") + text);
}

QString TSyncAccount::Host() const
{
    return ServerUrl().host().toLower();
}

TSyncAccount LoadSyncAccount()
{
    const auto settings = OpenDataSourceSettings();
    TSyncAccount account;
    account.Url = DataSourceSettingText(*settings, kUrl).trimmed();
    account.User = DataSourceSettingText(*settings, kUser);
    bool ok = false;
    const int interval = DataSourceSettingText(*settings, kInterval).toInt(&ok);
    if (ok && interval >= 0)
        account.IntervalMinutes = interval;
    account.AddressBook = DataSourceSettingText(*settings, kAddressBook).trimmed();
    account.TrustedFingerprint = DataSourceSettingText(*settings, kFingerprint).trimmed().toLower();
    account.LastSync = QDateTime::fromString(DataSourceSettingText(*settings, kLastSync), Qt::ISODate);
    return account;
}

void SaveSyncAccount(const TSyncAccount &account)
{
    const auto settings = OpenDataSourceSettings();
    const std::pair<const QString &, QString> values[] = {
        {kUrl, account.Url.trimmed()},
        {kUser, account.User},
        {kInterval, QString::number(std::max(0, account.IntervalMinutes))},
        {kAddressBook, account.AddressBook.trimmed()},
        {kFingerprint, account.TrustedFingerprint.trimmed().toLower()},
        {kLastSync, account.LastSync.isValid() ? account.LastSync.toUTC().toString(Qt::ISODate) : QString()}};
    for (const auto &[key, value] : values) {
        if (value.isEmpty())
            settings->remove(key);
        else
            settings->setValue(key, value);
    }
    SaveDataSourceSettings(*settings);
}
