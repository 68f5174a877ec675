// Choosing the data source: the server setting as Veri.ini keeps it, the
// password in ~/.pgpass, and the connection test against the private
// cluster ctest starts (the three answers, and a password role that signs
// in with the line written for it).
#include "platform/core/Exception.h"
#include "store/DataSources.h"
#include "store/PgPass.h"
#include "store/ServerCheck.h"
#include "store/ServerSettings.h"
#include "contacts/ContactsServer.h"
#include "support/TestHome.h"
#include "support/TestServer.h"

#include <QFile>
#include <QtTest>
#include <libpq-fe.h>
#include <sys/stat.h>

namespace {

void Exec(const QString &database, const QString &sql)
{
    PGconn *conn = PQconnectdb(TestServer(database).toUtf8().constData());
    PGresult *r = PQexec(conn, sql.toUtf8().constData());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    const QByteArray error = PQerrorMessage(conn);
    PQclear(r);
    PQfinish(conn);
    QVERIFY2(ok, error.constData());
}

QString Socket()
{
    return QString::fromLocal8Bit(qgetenv("VELMORA_PG_DIR"));
}

TServerSettings HostSettings(const QString &database, const QString &user)
{
    TServerSettings s;
    s.Host = Socket();
    s.Database = database;
    s.User = user;
    return s;
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestDataSource : public QObject {
    Q_OBJECT
    std::unique_ptr<TTestHome> FHome;

private Q_SLOTS:
    void init()
    {
        qunsetenv("PGPASSFILE");
        FHome = std::make_unique<TTestHome>();
    }
    void cleanup() { FHome.reset(); }

    void settingReadBackAsWritten_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<QString>("composed");
        QTest::newRow("service") << "service=rehber"
                                 << "service=rehber";
        QTest::newRow("quoted values, other keys kept, password dropped")
            << "host='/run/a b' port=5433 dbname=rehber user='o\\'neil' password=gizli sslmode=verify-full"
            << "host='/run/a b' port=5433 dbname=rehber user='o\\'neil' sslmode=verify-full";
        QTest::newRow("uri") << "postgresql://yazar@sunucu:5432/rehber"
                             << "host=sunucu port=5432 dbname=rehber user=yazar";
    }
    void settingReadBackAsWritten()
    {
        QFETCH(QString, conninfo);
        QFETCH(QString, composed);
        const std::optional<TServerSettings> s = TServerSettings::Parse(conninfo);
        QVERIFY(s);
        QCOMPARE(s->Compose(), composed);
        QCOMPARE(TServerSettings::Parse(composed)->Compose(), composed);
        QVERIFY(!TServerSettings::Parse(QStringLiteral("host='unterminated")));
    }

    void passwordLineReplacedOthersKept()
    {
        const QString path = FHome->FilePath(QStringLiteral(".pgpass"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "# ofis\n"
            "diger:5432:rehber:yazar:eski\n"
            "sunucu:5432:rehber:yazar:eski\n"
            "\n"
            "*:*:*:*:joker\n");
        f.close();
        const TPgPassKey key{QStringLiteral("sunucu"), {}, QStringLiteral("rehber"), QStringLiteral("yazar")};
        StorePgPassword(path, key, QStringLiteral("yeni"));
        QCOMPARE(ReadFile(path),
                 QByteArray("# ofis\n"
                            "diger:5432:rehber:yazar:eski\n"
                            "sunucu:5432:rehber:yazar:yeni\n"
                            "\n"
                            "*:*:*:*:joker\n"));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);

        // A new server goes before the wildcard line, ':' and '\' escaped.
        StorePgPassword(path, {QStringLiteral("yeni:sunucu"), QStringLiteral("6543"), QStringLiteral("r\\b"), QStringLiteral("u")},
                        QStringLiteral("p:a\\s"));
        QVERIFY(ReadFile(path).startsWith("yeni\\:sunucu:6543:r\\\\b:u:p\\:a\\\\s\n# ofis\n"));
        QVERIFY_THROWS_EXCEPTION(EFileError, StorePgPassword(path, key, QStringLiteral("a\nb")));
    }

    void choiceSavedWithoutPassword()
    {
        TServerSettings s = HostSettings(QStringLiteral("rehber"), QStringLiteral("yazar"));
        s.Host = QStringLiteral("sunucu");
        SaveDataSourceChoice(QStringLiteral("fihrist.mdb"), s, QStringLiteral("gizli"));
        QCOMPARE(ServerForDataSource(QStringLiteral("fihrist.mdb")),
                 std::optional<QString>(QStringLiteral("host=sunucu dbname=rehber user=yazar")));
        QVERIFY(!ReadFile(FHome->FilePath(QStringLiteral(".config/Velmora/Veri.ini"))).contains("gizli"));
        QCOMPARE(ReadFile(FHome->FilePath(QStringLiteral(".pgpass"))), QByteArray("sunucu:5432:rehber:yazar:gizli\n"));

        SaveDataSourceChoice(QStringLiteral("fihrist.mdb"), std::nullopt, {});
        QVERIFY(!ServerForDataSource(QStringLiteral("fihrist.mdb")));
    }

    void connectionTestAnswers()
    {
        if (Socket().isEmpty())
            QSKIP("no private PostgreSQL cluster");
        const QString db = ServerDatabaseFor(QStringLiteral("datasource.mdb"));
        const QString empty = db + QStringLiteral("_bos");
        for (const QString &name : {db, empty}) {
            Exec(QStringLiteral("postgres"), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
            Exec(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE %1").arg(name));
        }
        CreateContactsServer(TestServer(db));
        Exec(QStringLiteral("postgres"),
             QStringLiteral("DO $$BEGIN CREATE ROLE okur LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; END$$;"
                            "DROP ROLE IF EXISTS ds_yazar; CREATE ROLE ds_yazar LOGIN PASSWORD 'p:a\\s'"));
        Exec(db,
             QStringLiteral("GRANT USAGE ON SCHEMA velmora TO okur, ds_yazar;"
                            "GRANT SELECT ON dbase TO okur;"
                            "GRANT SELECT, INSERT, UPDATE, DELETE ON dbase TO ds_yazar"));

        QCOMPARE(CheckServer(HostSettings(db, QStringLiteral("velmora")).Compose()), TServerAccess::ReadWrite);
        QCOMPARE(CheckServer(HostSettings(db, QStringLiteral("okur")).Compose()), TServerAccess::ReadOnly);
        QCOMPARE(CheckServer(HostSettings(empty, QStringLiteral("velmora")).Compose()), TServerAccess::TableMissing);

        // The password role: refused without it; a typed one works for the
        // test, and once saved libpq finds it in ~/.pgpass.
        const TServerSettings yazar = HostSettings(db, QStringLiteral("ds_yazar"));
        TErrorKind refused = TErrorKind::None;
        try {
            TestServerConnection(yazar, {});
        } catch (const EDatabaseError &e) {
            refused = e.Kind();
        }
        QCOMPARE(refused, TErrorKind::ServerNoPassword);
        QCOMPARE(TestServerConnection(yazar, QStringLiteral("p:a\\s")), TServerAccess::ReadWrite);
        SaveDataSourceChoice(QStringLiteral("fihrist.mdb"), yazar, QStringLiteral("p:a\\s"));
        QCOMPARE(CheckServer(*ServerForDataSource(QStringLiteral("fihrist.mdb"))), TServerAccess::ReadWrite);
    }
};

QTEST_MAIN(TestDataSource)
#include "tst_datasource.moc"
