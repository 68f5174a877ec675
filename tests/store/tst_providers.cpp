// The two providers side by side: the same Turkish order and search on the
// file and on the server, two desktops editing one contact, and the
// server's failures as the user reads them. Runs against the private
// cluster ctest starts.
#include "StoreTestSupport.h"
#include "platform/core/PlatformSettings.h"
#include "support/ContactsDb.h"
#include "support/TestHome.h"
#include "support/TestServer.h"

#include <QProcess>
#include <QtTest>

namespace {

// Turkish letters, accented Latin letters, digits, punctuation, mixed case,
// in the order both providers must give them.
const QStringList kSortedNames = {
    "_alt", "(parantez)", "#1", "10 Numara", "2. Kat", "9 Numara", "A", "a", "Adem", "Âdem", "Ahmet", "ahmet",
    "Ali Can", "Ali-Can", "AliCan", "Cem", "cigdem", "çam", "Çiğdem", "Elif", "Émile", "émile", "Gül", "Ğ", "Ilgın",
    "ısık", "Işık", "ipek", "İpek", "Ñandú", "Nur", "O Neil", "O'Neil", "omer", "Ödül", "Ömer", "sule", "Şahin",
    "Şule", "uzun", "Üzüm", "Zoe", "Zoë"};

const QString kSearch = QStringLiteral("SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD");
const QString kChanged =
    QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read.");

// A record set on the data source name: "sunucu.mdb" is mapped to the
// server, "fihrist.mdb" is the file.
struct TSession : TStoreSession {
    explicit TSession(const QString &source, const QString &sql = QStringLiteral("SELECT * FROM DBASE ORDER BY AD"))
        : TStoreSession(sql)
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

} // namespace

class TestProviders : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TTestHome> FHome;
    QString Server() const { return FHome->FilePath(QStringLiteral("sunucu.mdb")); }
    QString File() const { return FHome->FilePath(QStringLiteral("fihrist.mdb")); }

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
    }
    void bothProvidersFindTheSameNames()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, some);
        MakeBoth(kSortedNames);
        const QStringList onServer = Search(QStringLiteral("sunucu.mdb"), pattern);
        QCOMPARE(onServer, Search(QStringLiteral("fihrist.mdb"), pattern));
        for (const QString &name : some)
            QVERIFY2(onServer.contains(name), qPrintable(name));
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
        const std::vector<TContactRow> rows = {
            {QStringLiteral("Çağla"), QVariant(), QStringLiteral("0532 111 22 33")},
            {QStringLiteral("Ömer"), QStringLiteral(""), QVariant(), QVariant(), QVariant(), QVariant(),
             QStringLiteral("Satır 1\nSatır\t2 \\ son")}};
        MakeContactsDatabase(File(), rows);
        ExecSql(File(), QStringLiteral("DELETE FROM DBASE WHERE No = 1; INSERT INTO DBASE (No, Ad) VALUES (7, 'Zeki')"));
        MakeServerContacts(Server(), {});
        const QString server = TestServer(ServerDatabaseFor(Server()));
        const QString tool = QString::fromLocal8Bit(qgetenv("VELMORA_TEST_BINARY_DIR")) + QStringLiteral("/tools/velmora-rehber-db");
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
        const QString dir = QString::fromLocal8Bit(qgetenv("VELMORA_PG_DIR"));
        QTest::newRow("refused") << "host=/nonexistent dbname=x password=Gizli-123"
                                 << "Cannot connect to the database server: connection refused";
        QTest::newRow("wrong password") << QStringLiteral("host=%1 user=yazar dbname=postgres password=Gizli-123").arg(dir)
                                        << "Cannot connect to the database server: authentication failed";
        QTest::newRow("no password") << QStringLiteral("postgresql://yazar@%1/postgres").arg(QString(dir).replace(u'/', QLatin1String("%2F")))
                                     << "Cannot connect to the database server: authentication failed";
        QTest::newRow("not a setting") << "host=x password=Gizli-123 nonsense"
                                       << "The server named for this data source in Veri.ini is not a valid PostgreSQL "
                                          "connection string";
    }
    void serverFailuresReadClearlyAndNameNoSecret()
    {
        QFETCH(QString, server);
        QFETCH(QString, message);
        MakeServerContacts(Server(), {});
        ServerRows(Server(), QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'yazar')"
                                            " THEN CREATE ROLE yazar LOGIN PASSWORD 'dogru'; END IF; END$$"));
        OpenPlatformSettings(QStringLiteral("Veri"))->setValue(QStringLiteral("Sources/sunucu.mdb"), server);
        TSession s(QStringLiteral("sunucu.mdb"));
        QCOMPARE(ErrorOf([&] { s.Query.Open(); }), message);
        QCOMPARE(s.Query.State(), rsClosed);
    }

    void serverRefusalsLeaveTheRowPending()
    {
        MakeServerContacts(Server(), {{QStringLiteral("Deniz")}});
        const QString db = ServerDatabaseFor(Server());
        ServerRows(Server(), QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'okur')"
                                            " THEN CREATE ROLE okur LOGIN; END IF; END$$;"
                                            "GRANT SELECT ON dbase TO okur"));
        // A read-only role reads, and its Post is refused.
        OpenPlatformSettings(QStringLiteral("Veri"))->setValue(QStringLiteral("Sources/okur.mdb"),
                                                                TestServer(db) + QStringLiteral(" user=okur"));
        TSession reader(QStringLiteral("okur.mdb"));
        reader.Query.Open();
        reader.Query.Edit();
        reader.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Yazılmaz"));
        QCOMPARE(ErrorOf([&] { reader.Query.Post(); }), QStringLiteral("permission denied for table dbase"));
        QCOMPARE(reader.Query.State(), rsEdit);

        // A statement over its time.
        OpenPlatformSettings(QStringLiteral("Veri"))->setValue(QStringLiteral("Sources/yavas.mdb"),
                                                                TestServer(db) + QStringLiteral(" options='-c statement_timeout=50'"));
        TSession slow(QStringLiteral("yavas.mdb"), QStringLiteral("SELECT *, pg_sleep(1) FROM DBASE"));
        QCOMPARE(ErrorOf([&] { slow.Query.Open(); }), QStringLiteral("canceling statement due to statement timeout"));
        QCOMPARE(slow.Query.State(), rsClosed);

        // The server ends the session (as a restart does): the pending row
        // stays; the next Open connects again; the row is written once.
        TSession s(QStringLiteral("sunucu.mdb"));
        s.Query.Open();
        s.Query.Append();
        s.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Yeni"));
        ServerRows(Server(), QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                                            " WHERE datname = current_database() AND pid <> pg_backend_pid()"));
        QCOMPARE(ErrorOf([&] { s.Query.Post(); }), QStringLiteral("The connection to the database server was lost"));
        QCOMPARE(s.Query.State(), rsInsert);
        s.Query.Close();
        s.Query.Open();
        s.Query.Append();
        s.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Yeni"));
        s.Query.Post();
        QCOMPARE(ServerRows(Server(), QStringLiteral("SELECT count(*) FROM dbase WHERE ad = 'Yeni'")).at(0).at(0).toInt(), 1);
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
