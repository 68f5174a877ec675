// The two providers side by side: the same Turkish order and search on the
// file and on the server, two desktops editing one contact, and the
// server's failures as the user reads them. Runs against the private
// cluster ctest starts.
#include "StoreTestSupport.h"
#include "platform/core/Exception.h"
#include "platform/core/PlatformSettings.h"
#include "platform/core/Progress.h"
#include "support/ContactsDb.h"
#include "support/TestHome.h"
#include "support/TestServer.h"
#include "support/TestTools.h"

#include <QProcess>
#include <QtTest>
#include <csignal>
#include <libpq-fe.h>

Q_DECLARE_METATYPE(TErrorKind)

namespace {

const QStringList &kSortedNames = SortedTurkishNames();

const QString kSearch = QStringLiteral("SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD");
const QString kChanged = QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read.");

// A record set on the data source name: "sunucu.mdb" is mapped to the
// server, "fihrist.mdb" is the file.
struct TSession : TStoreSession {
    explicit TSession(const QString &source, const QString &sql = QStringLiteral("SELECT * FROM DBASE ORDER BY AD")) : TStoreSession(sql)
    {
        Connection.SetConnectionString(QStringLiteral("Data Source=") + source);
    }
};

QStringList Search(const QString &source, const QString &pattern)
{
    TSession s(source, kSearch);
    s.Query.Parameters.SetValue(0, pattern);
    s.Query.Open();
    return ColumnValues(s.Query, QStringLiteral("Ad"));
}

// The second desktop: another process of this test edits or deletes the
// contact named Ad on the data source, and prints what happened.
int SecondDesktop(const QString &action, const QString &source, const QString &ad)
{
    TSession s(source, QStringLiteral("SELECT * FROM DBASE WHERE AD = :ad"));
    s.Query.Parameters.SetValue(0, ad);
    const QString error = ErrorOf([&] {
        s.Query.Open();
        if (action == QLatin1String("delete")) {
            s.Query.Delete();
            return;
        }
        s.Query.Edit();
        s.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("İkinci"));
        s.Query.Post();
    });
    std::fputs(error.toUtf8().constData(), stdout);
    return error == QLatin1String("<no error>") ? 0 : 1;
}

// Maps a data source to the test's database with more settings.
void MapSource(const QString &source, const QString &database, const QString &settings)
{
    OpenPlatformSettings(QStringLiteral("Veri"))->setValue(QStringLiteral("Sources/") + source, TestServer(database) + u' ' + settings);
}

// The cluster's postmaster stopped (SIGSTOP) while it lives; always resumed.
struct TStoppedServer {
    pid_t Pid;
    TStoppedServer()
    {
        QFile pidFile(QString::fromLocal8Bit(qgetenv("VELMORA_PG_DIR")) + QStringLiteral("/data/postmaster.pid"));
        Pid = pidFile.open(QIODevice::ReadOnly) ? pid_t(pidFile.readLine().trimmed().toInt()) : 0;
        if (Pid > 0)
            ::kill(Pid, SIGSTOP);
    }
    ~TStoppedServer()
    {
        if (Pid > 0)
            ::kill(Pid, SIGCONT);
    }
};

// A progress sink whose user asks to stop at the first update.
struct TStoppingSink : TProgressSink {
    QStringList Begun;
    void Begin(const QString &what, qint64, bool) override { Begun << what; }
    bool Update(qint64, qint64, const QString &) override { return false; }
    void End() override {}
};

void RestartCluster()
{
    QCOMPARE(QProcess::execute(QStringLiteral(PG_CLUSTER_SCRIPT),
                               {QStringLiteral("restart"), QString::fromLocal8Bit(qgetenv("VELMORA_PG_DIR"))}),
             0);
}

} // namespace

class TestProviders : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TTestHome> FHome;
    QString Server() const { return FHome->FilePath(QStringLiteral("sunucu.mdb")); }
    QString File() const { return FHome->FilePath(QStringLiteral("fihrist.mdb")); }
    static QString Tool()
    {
        return QString::fromLocal8Bit(qgetenv("VELMORA_TEST_BINARY_DIR")) + QStringLiteral("/tools/velmora-rehber-db");
    }

    void MakeBoth(const QStringList &names)
    {
        std::vector<TContactRow> rows;
        for (const QString &name : names)
            rows.push_back({name});
        MakeServerContacts(Server(), rows);
        MakeContactsDatabase(File(), rows);
    }

    QString RunSecondDesktop(const QString &action, const QString &source, const QString &ad)
    {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--second-desktop"), action, source, ad});
        if (!p.waitForFinished(60000))
            return QStringLiteral("<did not finish>");
        return QString::fromUtf8(p.readAllStandardOutput());
    }

private Q_SLOTS:
    void init() { FHome = std::make_unique<TTestHome>(); }
    void cleanup() { FHome.reset(); }

    void bothProvidersSortTheSameNamesTheSameWay()
    {
        QStringList shuffled = kSortedNames;
        std::reverse(shuffled.begin(), shuffled.end());
        std::swap(shuffled[5], shuffled[20]);
        MakeBoth(shuffled);
        TSession file(QStringLiteral("fihrist.mdb")), server(QStringLiteral("sunucu.mdb"));
        file.Query.Open();
        server.Query.Open();
        QCOMPARE(ColumnValues(server.Query, QStringLiteral("Ad")), kSortedNames);
        QCOMPARE(ColumnValues(file.Query, QStringLiteral("Ad")), kSortedNames);
    }

    void bothProvidersFindTheSameNames_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("some"); // a few of the names it must find
        QTest::newRow("sahin%") << "sahin%" << QStringList{"Şahin"};
        QTest::newRow("ış%") << "ış%" << QStringList{"ısık", "Işık"};
        QTest::newRow("ŞULE") << "ŞULE" << QStringList{"sule", "Şule"};
        QTest::newRow("i%") << "i%" << QStringList{"Ilgın", "İpek"};
        QTest::newRow("%ü%") << "%ü%" << QStringList{"Üzüm", "Nur", "Ñandú"};
        QTest::newRow("accents") << "emile" << QStringList{"Émile", "émile"};
        QTest::newRow("ö") << "o%" << QStringList{"Ödül", "omer", "O'Neil"};
        QTest::newRow("underscore") << "a_i%" << QStringList{};
        QTest::newRow("one letter") << "_" << QStringList{"A", "a", "Ğ"};
        QTest::newRow("digits") << "%numara" << QStringList{"10 Numara", "9 Numara"};
        QTest::newRow("punctuation") << "o'%" << QStringList{"O'Neil"};
        QTest::newRow("space") << "ali %" << QStringList{"Ali Can"};
        QTest::newRow("everything") << "%" << kSortedNames;
        QTest::newRow("nothing") << "" << QStringList{};
        QTest::newRow("sql text") << "' OR '1'='1" << QStringList{};
        QTest::newRow("backslash") << "ters\\b%" << QStringList{"Ters\\Bölü"};
        QTest::newRow("backslash at the end") << "ters\\" << QStringList{};
    }
    void bothProvidersFindTheSameNames()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, some);
        MakeBoth(kSortedNames + QStringList{QStringLiteral("Ters\\Bölü")});
        // The server's answer read through its indexes wherever it can be.
        MapSource(QStringLiteral("indeks.mdb"), ServerDatabaseFor(Server()), QStringLiteral("options='-c enable_seqscan=off'"));
        const QStringList onServer = Search(QStringLiteral("sunucu.mdb"), pattern);
        QCOMPARE(onServer, Search(QStringLiteral("fihrist.mdb"), pattern));
        QCOMPARE(Search(QStringLiteral("indeks.mdb"), pattern), onServer);
        for (const QString &name : some)
            QVERIFY2(onServer.contains(name), qPrintable(name));
    }

    void aNulIsRefusedAndNothingWritten()
    {
        MakeBoth({QStringLiteral("Deniz")});
        const QString nul = QStringLiteral("ab") + QChar(0) + QStringLiteral("cd");
        for (const QString &source : {QStringLiteral("sunucu.mdb"), QStringLiteral("fihrist.mdb")})
            QCOMPARE(ErrorOf([&] { Search(source, nul); }),
                     QStringLiteral("The value of deger holds a NUL character (code 0), which a search cannot hold"));
        TSession s(QStringLiteral("sunucu.mdb"));
        s.Query.Open();
        s.Query.Edit();
        s.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(nul);
        QCOMPARE(ErrorOf([&] { s.Query.Post(); }),
                 QStringLiteral("The field soyad holds a NUL character (code 0), which the database server cannot "
                                "store; nothing was written"));
        QCOMPARE(s.Query.State(), rsEdit);
        QCOMPARE(ServerRows(Server(), QStringLiteral("SELECT count(*) FROM dbase WHERE soyad IS NULL")).at(0).at(0).toInt(), 1);
    }

    void aPostFindsItsRowByItsKey()
    {
        std::vector<TContactRow> rows;
        for (int i = 0; i < 300; ++i)
            rows.push_back({QStringLiteral("Kişi %1").arg(i), QStringLiteral("Soyad")});
        MakeServerContacts(Server(), rows);
        const auto counters = [&] {
            return ServerRows(Server(),
                              QStringLiteral("SELECT seq_tup_read, n_tup_upd + n_tup_del"
                                             " FROM pg_stat_user_tables WHERE relname = 'dbase'"))
                .at(0);
        };
        // A session's counters reach the statistics when it ends.
        TSession s(QStringLiteral("sunucu.mdb"));
        s.Query.Open();
        s.Connection.Close();
        QTRY_COMPARE(counters().at(0).toInt(), 300);
        s.Query.Open();
        s.Query.Edit();
        s.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Yeni"));
        s.Query.Post();
        s.Query.Next();
        s.Query.Delete();
        s.Connection.Close();
        QTRY_COMPARE(counters().at(1).toInt(), 2);
        QCOMPARE(counters().at(0).toInt(), 600); // the second Open's reading, nothing more
    }

    void twoDesktopsChangingOneContact_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("server") << "sunucu.mdb";
        QTest::newRow("file") << "fihrist.mdb";
    }
    void twoDesktopsChangingOneContact()
    {
        QFETCH(QString, source);
        MakeBoth({QStringLiteral("Deniz"), QStringLiteral("Cem")});
        TSession s(source);
        s.Query.Open();
        // Both edit Cem: the second to confirm fails, its typing kept.
        s.Query.Edit();
        s.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Birinci"));
        QCOMPARE(RunSecondDesktop(QStringLiteral("edit"), source, QStringLiteral("Cem")), QStringLiteral("<no error>"));
        QCOMPARE(ErrorOf([&] { s.Query.Post(); }), kChanged);
        QCOMPARE(s.Query.State(), rsEdit);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("Soyad"))->AsString(), QStringLiteral("Birinci"));
        s.Query.Cancel();
        // Deniz deleted by the other desktop, then changed and confirmed here.
        s.Query.Next();
        s.Query.Edit();
        s.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Kaya"));
        QCOMPARE(RunSecondDesktop(QStringLiteral("delete"), source, QStringLiteral("Deniz")), QStringLiteral("<no error>"));
        QCOMPARE(ErrorOf([&] { s.Query.Post(); }), kChanged);
        QCOMPARE(s.Query.State(), rsEdit);
        s.Query.Close();
        s.Query.Open();
        QCOMPARE(ColumnValues(s.Query, QStringLiteral("Ad")), QStringList{"Cem"});
        QCOMPARE(ColumnValues(s.Query, QStringLiteral("Soyad")), QStringList{"İkinci"});
    }

    void theToolCopiesAFileToTheServerWhole()
    {
        const std::vector<TContactRow> rows = {{QStringLiteral("Çağla"), QVariant(), QStringLiteral("0532 111 22 33")},
                                               {QStringLiteral("Ömer"), QStringLiteral(""), QVariant(), QVariant(), QVariant(), QVariant(),
                                                QStringLiteral("Satır 1\nSatır\t2 \\ son")}};
        MakeContactsDatabase(File(), rows);
        ExecSql(File(), QStringLiteral("DELETE FROM DBASE WHERE No = 1; INSERT INTO DBASE (No, Ad) VALUES (7, 'Zeki')"));
        MakeServerContacts(Server(), {});
        const QString server = TestServer(ServerDatabaseFor(Server()));
        const QString tool = Tool();
        QCOMPARE(QProcess::execute(tool, {QStringLiteral("copy"), File(), server}), 0);
        TSession file(QStringLiteral("fihrist.mdb")), copy(QStringLiteral("sunucu.mdb"));
        file.Query.Open();
        copy.Query.Open();
        for (int i = 0; i < file.Query.FieldCount(); ++i) {
            const QString name = file.Query.Fields(i)->FieldName();
            QCOMPARE(copy.Query.Fields(i)->FieldName(), name);
            QCOMPARE(ColumnValues(copy.Query, name), ColumnValues(file.Query, name));
        }
        // The key goes on after the copied ones; a second copy or create
        // fails whole.
        copy.Query.Append();
        copy.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Yeni"));
        copy.Query.Post();
        QCOMPARE(copy.Query.FieldByName(QStringLiteral("No"))->AsString(), QStringLiteral("8"));
        QVERIFY(QProcess::execute(tool, {QStringLiteral("copy"), File(), server}) != 0);
        QVERIFY(QProcess::execute(tool, {QStringLiteral("create"), server}) != 0);
        QCOMPARE(ServerRows(Server(), QStringLiteral("SELECT count(*) FROM dbase")).at(0).at(0).toInt(), 3);
    }

    void serverFailuresReadClearlyAndNameNoSecret_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("message");
        QTest::addColumn<TErrorKind>("kind"); // what the window words in Turkish
        const QString dir = QString::fromLocal8Bit(qgetenv("VELMORA_PG_DIR"));
        QTest::newRow("refused") << "host=/nonexistent dbname=x password=Gizli-123"
                                 << "Cannot connect to the database server: connection refused" << TErrorKind::ServerUnreachable;
        QTest::newRow("wrong password") << QStringLiteral("host=%1 user=yazar dbname=postgres password=Gizli-123").arg(dir)
                                        << "Cannot connect to the database server: authentication failed" << TErrorKind::ServerAuthFailed;
        QTest::newRow("no password")
            << QStringLiteral("postgresql://yazar@%1/postgres").arg(QString(dir).replace(u'/', QLatin1String("%2F")))
            << "Cannot connect to the database server: no password was found for this server "
               "in ~/.pgpass (fe_sendauth: no password supplied)"
            << TErrorKind::ServerNoPassword;
        QTest::newRow("unknown setting") << "host=x sslmod=require password=Gizli-123"
                                         << "The server named for this data source in Veri.ini has an unknown setting "
                                            "\"sslmod\""
                                         << TErrorKind::ServerSetting;
        QTest::newRow("not prepared") << QStringLiteral("host=%1 user=velmora dbname=postgres").arg(dir)
                                      << "This server database was not prepared by \"velmora-rehber-db create\": it "
                                         "lacks the schema velmora, its Turkish collation velmora.tr_ci, its Turkish "
                                         "LIKE operator, the table dbase"
                                      << TErrorKind::ServerUnprepared;
        QTest::newRow("not a setting") << "host=x password=Gizli-123 nonsense"
                                       << "The server named for this data source in Veri.ini is not a valid PostgreSQL "
                                          "connection string"
                                       << TErrorKind::ServerSetting;
    }
    void serverFailuresReadClearlyAndNameNoSecret()
    {
        QFETCH(QString, server);
        QFETCH(QString, message);
        QFETCH(TErrorKind, kind);
        MakeServerContacts(Server(), {});
        ServerRows(Server(),
                   QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'yazar')"
                                  " THEN CREATE ROLE yazar LOGIN PASSWORD 'dogru'; END IF; END$$"));
        OpenPlatformSettings(QStringLiteral("Veri"))->setValue(QStringLiteral("Sources/sunucu.mdb"), server);
        TSession s(QStringLiteral("sunucu.mdb"));
        QCOMPARE(ErrorOf([&] { s.Query.Open(); }), message);
        QCOMPARE(KindOf([&] { s.Query.Open(); }), kind);
        QCOMPARE(s.Query.State(), rsClosed);
    }

    void serverRefusalsLeaveTheRowPending()
    {
        MakeServerContacts(Server(), {{QStringLiteral("Deniz")}});
        const QString db = ServerDatabaseFor(Server());
        ServerRows(Server(),
                   QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'okur')"
                                  " THEN CREATE ROLE okur LOGIN; END IF; END$$;"
                                  "GRANT SELECT ON dbase TO okur"));
        // A read-only role reads, and its Post is refused.
        OpenPlatformSettings(QStringLiteral("Veri"))
            ->setValue(QStringLiteral("Sources/okur.mdb"), TestServer(db) + QStringLiteral(" user=okur"));
        TSession reader(QStringLiteral("okur.mdb"));
        reader.Query.Open();
        reader.Query.Edit();
        reader.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Yazılmaz"));
        QCOMPARE(ErrorOf([&] { reader.Query.Post(); }), QStringLiteral("permission denied for table dbase"));
        QCOMPARE(KindOf([&] { reader.Query.Post(); }), TErrorKind::PermissionDenied);
        QCOMPARE(reader.Query.State(), rsEdit);

        // A statement over its time.
        OpenPlatformSettings(QStringLiteral("Veri"))
            ->setValue(QStringLiteral("Sources/yavas.mdb"), TestServer(db) + QStringLiteral(" options='-c statement_timeout=50'"));
        TSession slow(QStringLiteral("yavas.mdb"), QStringLiteral("SELECT *, pg_sleep(1) FROM DBASE"));
        QCOMPARE(ErrorOf([&] { slow.Query.Open(); }), QStringLiteral("canceling statement due to statement timeout"));
        QCOMPARE(slow.Query.State(), rsClosed);

        // Another desktop holds the row's lock longer than this one waits.
        PGconn *other = PQconnectdb(TestServer(db).toUtf8().constData());
        PQclear(PQexec(other, "BEGIN; SELECT * FROM dbase FOR UPDATE"));
        MapSource(QStringLiteral("kilit.mdb"), db, QStringLiteral("options='-c lock_timeout=100'"));
        TSession locked(QStringLiteral("kilit.mdb"));
        locked.Query.Open();
        locked.Query.Edit();
        locked.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Bekler"));
        QCOMPARE(ErrorOf([&] { locked.Query.Post(); }),
                 QStringLiteral("Another desktop is editing this contact; try again in a moment (canceling statement "
                                "due to lock timeout)"));
        QCOMPARE(KindOf([&] { locked.Query.Post(); }), TErrorKind::RowLocked);
        QCOMPARE(locked.Query.State(), rsEdit);
        PQfinish(other);
    }

    void aPendingChangeIsWrittenOnceAfterTheServerComesBack()
    {
        MakeServerContacts(Server(), {{QStringLiteral("Deniz")}});
        TSession s(QStringLiteral("sunucu.mdb"));
        s.Query.Open();
        // The server ends the session, then restarts: each time the change
        // typed meanwhile is written once, by Post alone.
        for (const bool restart : {false, true}) {
            const QString ad = restart ? QStringLiteral("Sonra") : QStringLiteral("Yeni");
            s.Query.Append();
            s.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(ad);
            if (restart)
                RestartCluster();
            else
                ServerRows(Server(),
                           QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                                          " WHERE datname = current_database() AND pid <> pg_backend_pid()"));
            s.Query.Post();
            QCOMPARE(s.Query.State(), rsBrowse);
            QCOMPARE(ServerRows(Server(), QStringLiteral("SELECT count(*) FROM dbase WHERE ad = ?"), {ad}).at(0).at(0).toInt(), 1);
        }
    }

    void aStoppedServerIsAnsweredWithinTheBound()
    {
        MakeServerContacts(Server(), {{QStringLiteral("Deniz")}});
        MapSource(QStringLiteral("durmus.mdb"), ServerDatabaseFor(Server()), QStringLiteral("connect_timeout=2"));
        TStoppedServer stopped;
        QVERIFY(stopped.Pid > 0);
        TSession s(QStringLiteral("durmus.mdb"));
        QCOMPARE(ErrorOf([&] { s.Query.Open(); }),
                 QStringLiteral("Cannot connect to the database server: the server did not answer within 2 seconds"));
        QCOMPARE(KindOf([&] { s.Query.Open(); }), TErrorKind::ServerSilent);
        QCOMPARE(s.Query.State(), rsClosed);
        // The user stops the wait: nothing shown, the record set closed.
        TStoppingSink sink;
        SetProgressSink(&sink);
        const QString error = ErrorOf([&] {
            try {
                s.Query.Open();
            } catch (const EAbort &) {
                throw EDatabaseError(QStringLiteral("<stopped>"));
            }
        });
        SetProgressSink(nullptr);
        QCOMPARE(error, QStringLiteral("<stopped>"));
        QCOMPARE(sink.Begun.size(), 1);
        QCOMPARE(s.Query.State(), rsClosed);
    }

    void aDatabaseCreateDidNotMakeIsRefused()
    {
        MakeContactsDatabase(File(), {{QStringLiteral("Deniz")}});
        MakeServerContacts(Server(), {});
        ServerRows(Server(),
                   QStringLiteral("ALTER TABLE dbase DROP CONSTRAINT dbase_pkey;"
                                  " ALTER TABLE dbase ALTER COLUMN soyad TYPE text COLLATE \"C\""));
        const QString lacks = QStringLiteral(
            "This server database was not prepared by \"velmora-rehber-db create\": it "
            "lacks the identity key no of dbase, the Turkish order on every text column "
            "of dbase");
        TSession s(QStringLiteral("sunucu.mdb"));
        QCOMPARE(ErrorOf([&] { s.Query.Open(); }), lacks);
        const QString server = TestServer(ServerDatabaseFor(Server()));
        QProcess copy;
        copy.start(Tool(), {QStringLiteral("copy"), File(), server});
        QVERIFY(copy.waitForFinished(60000));
        QVERIFY(copy.exitCode() != 0);
        QVERIFY(QString::fromUtf8(copy.readAllStandardError()).contains(lacks));
        QVERIFY(QProcess::execute(Tool(), {QStringLiteral("upgrade"), server}) != 0);
        QCOMPARE(ServerRows(Server(), QStringLiteral("SELECT count(*) FROM dbase")).at(0).at(0).toInt(), 0);
    }

    void anUpgradeBringsAnEarlierDatabaseUpToDate()
    {
        MakeBoth({QStringLiteral("Ters\\Bölü"), QStringLiteral("Tersb")});
        // As an earlier version made it: LIKE with its backslash escape, no
        // indexes, and a contact added after the others lying after them.
        ServerRows(Server(),
                   QStringLiteral("DROP INDEX dbase_ad_start, dbase_ad_trigram, dbase_list_order;"
                                  " INSERT INTO dbase (ad) VALUES ('Ahmet');"
                                  " CREATE OR REPLACE FUNCTION velmora.turkish_like(text, text) RETURNS boolean"
                                  " LANGUAGE sql IMMUTABLE STRICT RETURN velmora.turkish_fold($1)"
                                  " OPERATOR(pg_catalog.~~) velmora.turkish_fold($2)"));
        QCOMPARE(Search(QStringLiteral("sunucu.mdb"), QStringLiteral("ters\\b%")), QStringList{"Tersb"});
        const QString server = TestServer(ServerDatabaseFor(Server()));
        for (int run = 0; run < 2; ++run)
            QCOMPARE(QProcess::execute(Tool(), {QStringLiteral("upgrade"), server}), 0);
        QCOMPARE(Search(QStringLiteral("sunucu.mdb"), QStringLiteral("ters\\b%")), QStringList{"Ters\\Bölü"});
        QCOMPARE(ServerRows(Server(),
                            QStringLiteral("SELECT count(*) FROM pg_indexes WHERE tablename = 'dbase'"
                                           " AND indexname LIKE 'dbase_ad_%'"))
                     .at(0)
                     .at(0)
                     .toInt(),
                 2);
        // The rows lie in the list's order.
        QStringList names;
        for (const QVariantList &row : ServerRows(Server(), QStringLiteral("SELECT ad FROM dbase ORDER BY ctid")))
            names << row.at(0).toString();
        QCOMPARE(names, (QStringList{"Ahmet", "Ters\\Bölü", "Tersb"}));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], "--second-desktop") == 0)
        return SecondDesktop(QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3]), QString::fromUtf8(argv[4]));
    TestProviders test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_providers.moc"
