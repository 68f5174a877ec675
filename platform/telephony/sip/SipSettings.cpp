#include "platform/telephony/sip/SipSettings.h"

#include "platform/core/PlatformSettings.h"

#include <QHash>
#include <QSettings>
#include <memory>

namespace {

QHash<QString, QString> &SessionPasswords()
{
    static QHash<QString, QString> passwords;
    return passwords;
}

QString AccountKey(const TSipConfig &config)
{
    return config.AuthName() + u'@' + config.Server;
}

} // namespace

QString TSipConfig::Aor() const
{
    return QStringLiteral("sip:") + User + u'@' + Server;
}

QString TSipConfig::ServerUri() const
{
    if (Transport == u"tls")
        return QStringLiteral("sips:") + Server;
    return QStringLiteral("sip:") + Server + QStringLiteral(";transport=")
        + (Transport == u"tcp" ? QStringLiteral("tcp") : QStringLiteral("udp"));
}

TSipConfig LoadSipConfig()
{
    const std::unique_ptr<QSettings> settings = OpenPlatformSettings(QStringLiteral("Telefon"));
    TSipConfig c;
    settings->beginGroup(QStringLiteral("Sip"));
    c.Server = settings->value(QStringLiteral("Server")).toString().trimmed();
    c.User = settings->value(QStringLiteral("User")).toString().trimmed();
    c.AuthUser = settings->value(QStringLiteral("AuthUser")).toString().trimmed();
    const QString transport = settings->value(QStringLiteral("Transport"), c.Transport).toString().trimmed().toLower();
    if (transport == u"tcp" || transport == u"tls")
        c.Transport = transport;
    c.DialTimeout = qBound(5, settings->value(QStringLiteral("DialTimeout"), c.DialTimeout).toInt(), 255);
    settings->endGroup();
    return c;
}

void SaveSipConfig(const TSipConfig &config)
{
    const std::unique_ptr<QSettings> settings = OpenPlatformSettings(QStringLiteral("Telefon"));
    settings->beginGroup(QStringLiteral("Sip"));
    settings->setValue(QStringLiteral("Server"), config.Server);
    settings->setValue(QStringLiteral("User"), config.User);
    settings->setValue(QStringLiteral("AuthUser"), config.AuthUser);
    settings->setValue(QStringLiteral("Transport"), config.Transport);
    settings->setValue(QStringLiteral("DialTimeout"), config.DialTimeout);
    settings->endGroup();
    settings->sync();
}

QString SipSessionPassword(const TSipConfig &config)
{
    return SessionPasswords().value(AccountKey(config));
}

void SetSipSessionPassword(const TSipConfig &config, const QString &password)
{
    SessionPasswords().insert(AccountKey(config), password);
}
