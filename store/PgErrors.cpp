#include "store/PgErrors.h"

#include <QRegularExpression>
#include <libpq-fe.h>

namespace PgErrors {

namespace {

QString FirstLine(const char *message)
{
    return QString::fromUtf8(message).section(u'\n', 0, 0).trimmed();
}

QString WithServerText(const QString &sentence, const QString &serverText)
{
    return serverText.isEmpty() ? sentence : sentence + QStringLiteral(" (") + serverText + u')';
}

const QString kCannotConnect = QStringLiteral("Cannot connect to the database server: ");

} // namespace

QString BadConnectionString(const char *parseMessage)
{
    static const QRegularExpression unknown(QStringLiteral("^invalid (?:connection option|URI query parameter:) \"([a-z_]{1,40})\""));
    const QRegularExpressionMatch m = unknown.match(QString::fromUtf8(parseMessage ? parseMessage : ""));
    if (m.hasMatch())
        return QStringLiteral("The server named for this data source in Veri.ini has an unknown setting \"%1\"").arg(m.captured(1));
    return QStringLiteral("The server named for this data source in Veri.ini is not a valid PostgreSQL connection string");
}

QString ConnectFailed(PGconn *conn)
{
    const QString text = QString::fromUtf8(conn ? PQerrorMessage(conn) : "out of memory");
    // The server's last words: libpq lists every host it tried.
    QString reason;
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1String("  ")))
            reason = line.trimmed();
    const qsizetype failed = reason.indexOf(QLatin1String("failed: "));
    if (failed >= 0)
        reason = reason.mid(failed + 8);
    if (reason.startsWith(QLatin1String("FATAL:")))
        reason = reason.mid(6).trimmed();

    if (text.contains(QLatin1String("Connection refused")) || text.contains(QLatin1String("No such file or directory")))
        return kCannotConnect + QStringLiteral("connection refused");
    if (conn && PQconnectionNeedsPassword(conn))
        return WithServerText(kCannotConnect + QStringLiteral("no password was found for this server in ~/.pgpass"), reason);
    if (text.contains(QLatin1String("authentication failed")))
        return kCannotConnect + QStringLiteral("authentication failed");
    if (reason.contains(QLatin1String("too many clients")) || reason.contains(QLatin1String("connection slots are reserved"))
        || reason.contains(QLatin1String("too many connections")))
        return WithServerText(kCannotConnect
                                  + QStringLiteral("the server has no free connection for this desktop; "
                                                   "ask the administrator to allow more (max_connections)"),
                              reason);
    return kCannotConnect + reason;
}

QString ConnectSilent(int seconds)
{
    return kCannotConnect + QStringLiteral("the server did not answer within %1 seconds").arg(seconds);
}

QString StatementFailed(PGconn *conn, const PGresult *result)
{
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char *primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const QString serverText = primary ? QString::fromUtf8(primary) : FirstLine(PQerrorMessage(conn));
    if (state && qstrcmp(state, "55P03") == 0)
        return WithServerText(QStringLiteral("Another desktop is editing this contact; try again in a moment"), serverText);
    if (state && qstrcmp(state, "53300") == 0)
        return WithServerText(QStringLiteral("The database server has no free connection for this desktop; ask the "
                                             "administrator to allow more (max_connections)"),
                              serverText);
    return serverText;
}

QString StatementSilent(int seconds)
{
    return QStringLiteral("The database server did not answer within %1 seconds; the statement was abandoned").arg(seconds);
}

QString Lost()
{
    return QStringLiteral("The connection to the database server was lost");
}

} // namespace PgErrors
