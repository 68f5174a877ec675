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
    const QString key = AccountKey(config);
    if (!SessionPasswords().contains(key) && config.IsComplete()) {
        // Asked of the keyring or ~/.netrc once a session.
        const std::optional<QString> kept = LookupPassword(SipCredential(config));
        SessionPasswords().insert(key, kept.value_or(QString()));
    }
    return SessionPasswords().value(key);
}

TCredential SipCredential(const TSipConfig &config)
{
    // "host", "host:port" or "[v6]:port"
    QString host = config.Server;
    if (host.startsWith(u'['))
        host = host.mid(1, host.indexOf(u']') - 1);
    else if (host.count(u':') == 1)
        host = host.left(host.indexOf(u':'));
    return {TPasswordService::Sip, host.toLower(), config.AuthName()};
}

TPasswordPlace KeepSipPassword(const TSipConfig &config, const QString &password, bool allowNetRc)
{
    SetSipSessionPassword(config, password);
    try {
        return StorePassword(SipCredential(config), password, allowNetRc);
    } catch (const Exception &) {
        return TPasswordPlace::None; // kept for the session: the line still registers
    }
}

void SetSipSessionPassword(const TSipConfig &config, const QString &password)
{
    SessionPasswords().insert(AccountKey(config), password);
}
