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

EDatabaseError Error(const QString &message, TErrorKind kind, const QString &detail = {})
{
    return EDatabaseError(message, {kind, {}, detail, 0});
}

const QString kCannotConnect = QStringLiteral("Cannot connect to the database server: ");

} // namespace

EDatabaseError BadConnectionString(const char *parseMessage)
{
    static const QRegularExpression unknown(QStringLiteral("^invalid (?:connection option|URI query parameter:) \"([a-z_]{1,40})\""));
    const QRegularExpressionMatch m = unknown.match(QString::fromUtf8(parseMessage ? parseMessage : ""));
    if (m.hasMatch())
        return EDatabaseError(
            QStringLiteral("The server named for this data source in Veri.ini has an unknown setting \"%1\"").arg(m.captured(1)),
            {TErrorKind::ServerSetting, m.captured(1), {}, 0});
    return Error(QStringLiteral("The server named for this data source in Veri.ini is not a valid PostgreSQL connection string"),
                 TErrorKind::ServerSetting);
}

EDatabaseError ConnectFailed(PGconn *conn)
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

    if (text.contains(QLatin1String("Connection refused")) || text.contains(QLatin1String("No such file or directory"))) {
        const QString refused = QStringLiteral("connection refused");
        return Error(kCannotConnect + refused, TErrorKind::ServerUnreachable, refused);
    }
    if (conn && PQconnectionNeedsPassword(conn))
        return Error(WithServerText(kCannotConnect + QStringLiteral("no password was found for this server in ~/.pgpass"), reason),
                     TErrorKind::ServerNoPassword, reason);
    if (text.contains(QLatin1String("authentication failed")))
        return Error(kCannotConnect + QStringLiteral("authentication failed"), TErrorKind::ServerAuthFailed,
                     QStringLiteral("authentication failed"));
    if (reason.contains(QLatin1String("too many clients")) || reason.contains(QLatin1String("connection slots are reserved"))
        || reason.contains(QLatin1String("too many connections")))
        return Error(WithServerText(kCannotConnect
                                        + QStringLiteral("the server has no free connection for this desktop; "
                                                         "ask the administrator to allow more (max_connections)"),
                                    reason),
                     TErrorKind::ServerFull, reason);
    return Error(kCannotConnect + reason, TErrorKind::ServerUnreachable, reason);
}

EDatabaseError ConnectSilent(int seconds)
{
    return EDatabaseError(kCannotConnect + QStringLiteral("the server did not answer within %1 seconds").arg(seconds),
                          {TErrorKind::ServerSilent, {}, {}, seconds});
}

EDatabaseError StatementFailed(PGconn *conn, const PGresult *result)
{
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char *primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const QString serverText = primary ? QString::fromUtf8(primary) : FirstLine(PQerrorMessage(conn));
    if (state && qstrcmp(state, "55P03") == 0)
        return Error(WithServerText(QStringLiteral("Another desktop is editing this contact; try again in a moment"), serverText),
                     TErrorKind::RowLocked, serverText);
    if (state && qstrcmp(state, "53300") == 0)
        return Error(WithServerText(QStringLiteral("The database server has no free connection for this desktop; ask the "
                                                   "administrator to allow more (max_connections)"),
                                    serverText),
                     TErrorKind::ServerFull, serverText);
    if (state && qstrcmp(state, "42501") == 0)
        return Error(serverText, TErrorKind::PermissionDenied, serverText);
    return EDatabaseError(serverText);
}

EDatabaseError StatementSilent(int seconds)
{
    return EDatabaseError(QStringLiteral("The database server did not answer within %1 seconds; the statement was abandoned").arg(seconds),
                          {TErrorKind::ServerSilent, {}, {}, seconds});
}

EDatabaseError Lost()
{
    return Error(QStringLiteral("The connection to the database server was lost"), TErrorKind::ServerLost);
}

EDatabaseError Unprepared(const QString &missing)
{
    return Error(QStringLiteral("This server database was not prepared by \"velmora-rehber-db create\": it lacks %1").arg(missing),
                 TErrorKind::ServerUnprepared, missing);
}

} // namespace PgErrors
