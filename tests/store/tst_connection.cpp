#include "StoreTestSupport.h"
#include "platform/core/Exception.h"
#include "support/TestHome.h"
#include "contacts/ContactsDatabase.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sqlite3.h>
#include <sys/stat.h>

class TestConnection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void connectionStringIsComposedFromTheKeysInOrder()
    {
        TADOConnection c;
        const QString expected = QStringLiteral(
            "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=fihrist.mdb;Mode=Share Deny None;"
            "Extended Properties=\"\";Persist Security Info=False;Jet OLEDB:System database=\"\";"
            "Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database Password=52830469;Jet OLEDB:Engine Type=5;"
            "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;"
            "Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";"
            "Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;"
            "Jet OLEDB:Don't Copy Locale on Compact=False;Jet OLEDB:Compact Without Replica Repair=False;"
            "Jet OLEDB:SFP=False");
        QCOMPARE(TADOConnection::DefaultConnectionKeys().size(), std::size_t(19));
        QCOMPARE(TADOConnection::ComposeConnectionString(TADOConnection::DefaultConnectionKeys()), expected);
        QCOMPARE(c.ConnectionString(), expected);
        QCOMPARE(c.Provider(), QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        QCOMPARE(c.LoginPrompt(), false);
        QCOMPARE(c.Mode(), cmShareDenyNone);
        QCOMPARE(c.KeepConnection(), true);
        QCOMPARE(c.CursorLocation(), clUseClient);
        QCOMPARE(TADOConnection::ConnectionStringValue(expected, QStringLiteral("data source")), QStringLiteral("fihrist.mdb"));
        QCOMPARE(TADOConnection::ConnectionStringValue(expected, QStringLiteral("Extended Properties")), QString());
        QCOMPARE(TADOConnection::ConnectionStringValue(expected, QStringLiteral("Nothing")), QString());
    }

    void dataSourceIsRelativeToTheWorkingDirectory()
    {
        TTestHome home;
        TADOConnection c;
        QCOMPARE(c.DatabasePath(), QDir(home.Path()).absoluteFilePath(QStringLiteral("fihrist.mdb")));
    }

    void missingFileIsReportedAndNotCreated()
    {
        TTestHome home;
        TADOConnection c;
        const QString path = home.FilePath(QStringLiteral("fihrist.mdb"));
        QCOMPARE(ErrorOf([&] { c.Open(); }), QStringLiteral("Could not find file '%1'.").arg(path));
        QVERIFY(!c.Connected());
        QVERIFY(!QFile::exists(path));

        // The record set opens its connection, and fails the same way.
        TADOQuery q;
        q.SetConnection(&c);
        q.SQL.Add(QStringLiteral("SELECT * FROM DBASE ORDER BY AD"));
        QCOMPARE(ErrorOf([&] { q.Open(); }), QStringLiteral("Could not find file '%1'.").arg(path));
        QCOMPARE(q.State(), rsClosed);
        QVERIFY(!QFile::exists(path));
    }

    void foreignFilesAreRefusedAndLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("hint");
        QByteArray jet(4096, '\0');
        jet.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20));
        QTest::newRow("Jet file") << jet
                                  << QStringLiteral(
                                         " It is a database of the program's earlier Windows version: in its folder, "
                                         "the command \"velmora-rehber-db convert fihrist.mdb\" converts it");
        QByteArray random;
        quint32 x = 12345;
        for (int i = 0; i < 8192; ++i) {
            x = x * 1103515245u + 12345u;
            random += char(x >> 24);
        }
        QTest::newRow("random bytes") << random << QString();
        QTest::newRow("short text") << QByteArray("not a database\n") << QString();
        QByteArray corrupt = QByteArray("SQLite format 3\0", 16) + QByteArray(84, '\x7f') + random;
        QTest::newRow("damaged SQLite header") << corrupt << QString();
    }
    void foreignFilesAreRefusedAndLeftUntouched()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, hint);
        TTestHome home;
        const QString path = home.FilePath(QStringLiteral("fihrist.mdb"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        TADOConnection c;
        QCOMPARE(ErrorOf([&] { c.Open(); }), QStringLiteral("Unrecognized database format '%1'.").arg(path) + hint);
        QVERIFY(!c.Connected());
        QCOMPARE(FileBytes(path), content);
        QCOMPARE(QDir(home.Path()).entryList(QDir::Files), QStringList{QStringLiteral("fihrist.mdb")});
    }

    // Files that would never finish opening: a named pipe blocks the read,
    // a contacts view over an endless recursive query never ends its sort.
    void filesThatWouldNotFinishOpeningFail()
    {
        TTestHome home;
        const QString path = home.FilePath(QStringLiteral("fihrist.mdb"));
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        TStoreSession pipe;
        QCOMPARE(ErrorOf([&] { pipe.Query.Open(); }), QStringLiteral("Unrecognized database format '%1'.").arg(path));
        QVERIFY(!pipe.Connection.Connected());
        QVERIFY(QFile::remove(path));

        MakeContacts(path, {QStringLiteral("Ayşe")});
        OtherProgramExec(
            path,
            QStringLiteral("DROP TABLE DBASE; CREATE VIEW DBASE AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r)"
                           " SELECT n AS No, 'Ad ' || n AS Ad, NULL AS Soyad, NULL AS CTelefon, NULL AS ETelefon, NULL AS ITelefon,"
                           " NULL AS Email, NULL AS Adres FROM r"));
        TStoreSession endless;
        QCOMPARE(ErrorOf([&] { endless.Query.Open(); }),
                 QStringLiteral("The query cannot be completed: it does far "
                                "more work than the database file calls for"));
        QCOMPARE(endless.Query.State(), rsClosed);
        // The bound holds for each statement anew: one that ends is served.
        endless.Query.SQL.Clear();
        endless.Query.SQL.Add(QStringLiteral("SELECT * FROM DBASE LIMIT 3"));
        endless.Query.Open();
        QCOMPARE(endless.Query.RecordCount(), 3);
    }

    void damagedDatabasesFailWithoutBeingWritten_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("connects");
        QTest::newRow("schema page") << 100 << false;
        QTest::newRow("contacts page") << 4096 << true;
    }
    void damagedDatabasesFailWithoutBeingWritten()
    {
        QFETCH(int, offset);
        QFETCH(bool, connects);
        TTestHome home;
        const QString path = home.FilePath(QStringLiteral("fihrist.mdb"));
        CreateContactsDatabase(path);
        AddSampleContacts(path, 200);
        QByteArray bytes = FileBytes(path);
        for (int i = 0; i < 64; ++i)
            bytes[offset + i] = char(0xA5 ^ i);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        TStoreSession s;
        QCOMPARE(ErrorOf([&] { s.Query.Open(); }), QStringLiteral("database disk image is malformed"));
        QCOMPARE(s.Connection.Connected(), connects);
        QCOMPARE(s.Query.State(), rsClosed);
        s.Connection.Close();
        QCOMPARE(FileBytes(path), bytes);
        QCOMPARE(QDir(home.Path()).entryList(QDir::Files), QStringList{QStringLiteral("fihrist.mdb")});
    }

    void openAndCloseTwiceHaveNoFurtherEffect()
    {
        TTestHome home;
        MakeContacts(home.FilePath(QStringLiteral("fihrist.mdb")), {QStringLiteral("Ali")});
        TADOConnection c;
        c.Open();
        sqlite3 *first = c.Handle();
        c.Open();
        QCOMPARE(c.Handle(), first);
        c.Close();
        c.Close();
        QVERIFY(!c.Connected());
    }

    void closingTheConnectionClosesItsRecordSets()
    {
        TTestHome home;
        MakeContacts(home.FilePath(QStringLiteral("fihrist.mdb")), {QStringLiteral("Ali")});
        TStoreSession s;
        s.Query.Open();
        s.Query.Append();
        s.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Veli"));
        s.Connection.Close();
        QCOMPARE(s.Query.State(), rsClosed);
        QCOMPARE(OtherProgramRows(home.FilePath(QStringLiteral("fihrist.mdb")), QStringLiteral("SELECT Ad FROM DBASE")),
                 QStringList{QStringLiteral("Ali")});
    }

    void turkishOrderOnlyWithoutNoCaseIndexes()
    {
        TTestHome home;
        const QString path = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContacts(path, {QStringLiteral("Çağla"), QStringLiteral("Deniz"), QStringLiteral("Cem")});
        {
            TADOConnection c;
            c.Open();
            QVERIFY(c.TurkishNoCase());
        }
        // With an index ordered by NOCASE the engine's own NOCASE stays, so
        // the index keeps the order every other program expects of it.
        OtherProgramExec(path, QStringLiteral("CREATE INDEX ad_order ON DBASE (Ad)"));
        TStoreSession s;
        s.Query.Open();
        QVERIFY(!s.Connection.TurkishNoCase());
        QCOMPARE(ColumnValues(s.Query, QStringLiteral("Ad")),
                 (QStringList{QStringLiteral("Cem"), QStringLiteral("Deniz"), QStringLiteral("Çağla")}));
        s.Query.Append();
        s.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Ömer"));
        s.Query.Post();
        QCOMPARE(OtherProgramRows(path, QStringLiteral("PRAGMA integrity_check")), QStringList{QStringLiteral("ok")});
    }

    void aWriteLockHeldByAnotherProgramFailsThePostAndKeepsTheRow()
    {
        TTestHome home;
        const QString path = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContacts(path, {QStringLiteral("Ali")});
        TStoreSession s;
        s.Query.Open();

        sqlite3 *other = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

        s.Query.Edit();
        s.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Veli"));
        QCOMPARE(ErrorOf([&] { s.Query.Post(); }), QStringLiteral("database is locked"));
        QCOMPARE(s.Query.State(), rsEdit);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("Ad"))->AsString(), QStringLiteral("Veli"));

        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        s.Query.Post();
        QCOMPARE(OtherProgramRows(path, QStringLiteral("SELECT Ad FROM DBASE")), QStringList{QStringLiteral("Veli")});
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
