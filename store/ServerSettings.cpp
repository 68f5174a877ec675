#include "store/ServerSettings.h"

#include "platform/core/Exception.h"
#include "store/DataSources.h"
#include "store/PgPass.h"
#include "store/ServerCheck.h"

#include <QStringList>
#include <libpq-fe.h>

QString QuoteConnValue(const QString &value)
{
    bool plain = !value.isEmpty();
    for (const QChar c : value)
        if (c.isSpace() || c == u'\'' || c == u'\\' || c == u'=')
            plain = false;
    if (plain)
        return value;
    QString quoted = QStringLiteral("'");
    for (const QChar c : value) {
        if (c == u'\'' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'\'';
}

std::optional<TServerSettings> TServerSettings::Parse(const QString &conninfo)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    PQfreemem(error);
    if (!options)
        return std::nullopt;
    TServerSettings s;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        const QString key = QString::fromUtf8(o->keyword);
        const QString value = QString::fromUtf8(o->val);
        if (key == u"service")
            s.Service = value;
        else if (key == u"host")
            s.Host = value;
        else if (key == u"port")
            s.Port = value;
        else if (key == u"dbname")
            s.Database = value;
        else if (key == u"user")
            s.User = value;
        else if (key != u"password")
            s.Other.emplace_back(key, value);
    }
    PQconninfoFree(options);
    return s;
}

QString TServerSettings::Compose() const
{
    std::vector<std::pair<QString, QString>> keys;
    if (UsesService())
        keys.emplace_back(QStringLiteral("service"), Service);
    else
        keys = {{QStringLiteral("host"), Host},
                {QStringLiteral("port"), Port},
                {QStringLiteral("dbname"), Database},
                {QStringLiteral("user"), User}};
    keys.insert(keys.end(), Other.begin(), Other.end());
    QStringList parts;
    for (const auto &[key, value] : keys)
        if (!value.isEmpty())
            parts << key + u'=' + QuoteConnValue(value);
    return parts.join(u' ');
}

void SaveDataSourceChoice(const QString &dataSource, const std::optional<TServerSettings> &server, const QString &password)
{
    if (server && !server->UsesService() && !password.isEmpty())
        StorePgPassword(PgPassPath(), {server->Host, server->Port, server->Database, server->User}, password);
    SetServerForDataSource(dataSource, server ? std::optional<QString>(server->Compose()) : std::nullopt);
}

TServerAccess TestServerConnection(const TServerSettings &server, const QString &password)
{
    QString conninfo = server.Compose();
    if (!password.isEmpty())
        conninfo += QStringLiteral(" password=") + QuoteConnValue(password);
    return CheckServer(conninfo);
}
