#include "support/TestServer.h"

#include "platform/core/PlatformSettings.h"
#include "contacts/ContactsServer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>
#include <libpq-fe.h>

namespace {

std::vector<QVariantList> Run(const QString &server, const QString &sql, const QVariantList &args)
{
    PGconn *conn = PQconnectdb(server.toUtf8().constData());
    if (PQstatus(conn) != CONNECTION_OK)
        qFatal("test server: %s", PQerrorMessage(conn));
    QString numbered = sql;
    for (int n = 1; numbered.contains(u'?'); ++n)
        numbered.replace(numbered.indexOf(u'?'), 1, u'$' + QString::number(n));
    std::vector<QByteArray> texts;
    std::vector<const char *> values;
    for (const QVariant &v : args)
        texts.push_back(v.isValid() && !v.isNull() ? v.toString().toUtf8() : QByteArray());
    for (int i = 0; i < int(args.size()); ++i)
        values.push_back(args[i].isValid() && !args[i].isNull() ? texts[std::size_t(i)].constData() : nullptr);
    PGresult *r = args.isEmpty()
        ? PQexec(conn, numbered.toUtf8().constData())
        : PQexecParams(conn, numbered.toUtf8().constData(), int(args.size()), nullptr, values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        qFatal("test statement failed %s: %s", qPrintable(sql), PQerrorMessage(conn));
    std::vector<QVariantList> rows;
    for (int row = 0; row < PQntuples(r); ++row) {
        QVariantList values;
        for (int c = 0; c < PQnfields(r); ++c)
            values << (PQgetisnull(r, row, c) ? QVariant() : QVariant(QString::fromUtf8(PQgetvalue(r, row, c))));
        rows.push_back(values);
    }
    PQclear(r);
    PQfinish(conn);
    return rows;
}

} // namespace

bool ServerTests()
{
    return qgetenv("VELMORA_TEST_PROVIDER") == "postgresql";
}

QString TestServer(const QString &database)
{
    return QStringLiteral("host=%1 user=velmora dbname=%2").arg(QString::fromLocal8Bit(qgetenv("VELMORA_PG_DIR")), database);
}

QString ServerDatabaseFor(const QString &path)
{
    QString name = QCoreApplication::applicationName() + u'_' + QFileInfo(path).completeBaseName();
    name = name.toLower().replace(QRegularExpression(QStringLiteral("[^a-z0-9_]")), QStringLiteral("_"));
    return name.left(60);
}

void MakeServerContacts(const QString &path, const std::vector<std::vector<QVariant>> &rows)
{
    const QString db = ServerDatabaseFor(path);
    Run(TestServer(QStringLiteral("postgres")), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(db), {});
    Run(TestServer(QStringLiteral("postgres")), QStringLiteral("CREATE DATABASE %1").arg(db), {});
    CreateContactsServer(TestServer(db));
    for (const std::vector<QVariant> &row : rows) {
        QVariantList args(row.begin(), row.end());
        while (args.size() < 7)
            args << QVariant();
        Run(TestServer(db),
            QStringLiteral("INSERT INTO DBASE (Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)"),
            args);
    }
    OpenPlatformSettings(QStringLiteral("Veri"))->setValue(QStringLiteral("Sources/") + QFileInfo(path).fileName(), TestServer(db));
}

std::vector<QVariantList> ServerRows(const QString &path, const QString &sql, const QVariantList &args)
{
    return Run(TestServer(ServerDatabaseFor(path)), sql, args);
}
