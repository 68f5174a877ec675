// Browsing the record set: states, cursor, bookmarks, fields, parameters,
// notifications.
#include "StoreTestSupport.h"
#include "platform/core/Exception.h"
#include "support/TestHome.h"
#include "tools/ContactsDatabase.h"

#include <QDate>
#include <QtTest>

namespace {
const QString kClosed = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");
QString Ad(TADOQuery &q) { return q.FieldByName(QStringLiteral("Ad"))->AsString(); }
}

class TestRecordSet : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TTestHome> FHome;
    QString Path() const { return FHome->FilePath(QStringLiteral("fihrist.mdb")); }

private Q_SLOTS:
    void init()
    {
        FHome = std::make_unique<TTestHome>();
        MakeContacts(Path(), {QStringLiteral("Deniz"), QStringLiteral("Cem"), QStringLiteral("Çağla"),
                              QStringLiteral("ahmet"), QStringLiteral("Zeynep")});
    }
    void cleanup() { FHome.reset(); }

    void openLoadsTheWholeResultWithTheCursorOnTheFirstRow()
    {
        TStoreSession s;
        QCOMPARE(s.Query.State(), rsClosed);
        QCOMPARE(s.Query.FieldCount(), 0);
        s.Query.Open();
        QCOMPARE(s.Query.State(), rsBrowse);
        QCOMPARE(s.Query.RecordCount(), 5);
        QCOMPARE(s.Query.RecNo(), 1);
        QVERIFY(s.Query.Bof());
        QVERIFY(!s.Query.Eof());
        QCOMPARE(Ad(s.Query), QStringLiteral("ahmet"));
        QCOMPARE(ColumnValues(s.Query, QStringLiteral("AD")),
                 (QStringList{"ahmet", "Cem", "Çağla", "Deniz", "Zeynep"}));

        // Opening again changes nothing.
        s.Query.Next();
        s.Query.Open();
        QCOMPARE(s.Query.RecNo(), 2);
    }

    void fieldsFollowTheTableColumns()
    {
        TStoreSession s;
        s.Query.Open();
        QStringList names;
        for (int i = 0; i < s.Query.FieldCount(); ++i)
            names << s.Query.Fields(i)->FieldName();
        QCOMPARE(names, (QStringList{"No", "Ad", "Soyad", "CTelefon", "ETelefon", "ITelefon", "Email", "Adres"}));
        TField *grid = s.Query.FieldByName(QStringLiteral("Ctelefon"));
        QCOMPARE(grid, s.Query.FieldByName(QStringLiteral("CTelefon")));
        QCOMPARE(grid, s.Query.FieldByName(QStringLiteral("CTELEFON")));
        QCOMPARE(grid->DisplayLabel(), QStringLiteral("CTelefon"));
        QCOMPARE(grid->DisplayName(), QStringLiteral("CTelefon"));
        QCOMPARE(grid->DataType(), ftString);
        QCOMPARE(grid->Size(), 20);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("No"))->DataType(), ftInteger);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("Adres"))->DataType(), ftMemo);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("Adres"))->Size(), 1000);
        QVERIFY(!s.Query.FindField(QStringLiteral("Yok")));
        QCOMPARE(ErrorOf([&] { s.Query.FieldByName(QStringLiteral("Yok")); }), QStringLiteral("Field 'Yok' not found"));
        QVERIFY(s.Query.FieldByName(QStringLiteral("Soyad"))->IsNull());
        QCOMPARE(s.Query.FieldByName(QStringLiteral("Soyad"))->AsString(), QString());
    }

    void closedRecordSetRefusesEveryOperation_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("message");
        const char *names[] = {"First", "Last", "Next", "Prior", "Append", "Edit", "Delete", "RecNo", "SetRecNo", "GotoBookmark", "Post", "SetAsString"};
        for (int i = 0; i < 12; ++i)
            QTest::newRow(names[i]) << i << (i >= 10 ? kNotEditing : kClosed);
    }
    void closedRecordSetRefusesEveryOperation()
    {
        QFETCH(int, op);
        QFETCH(QString, message);
        TStoreSession s;
        s.Query.Open();
        TField *ad = s.Query.FieldByName(QStringLiteral("Ad"));
        s.Query.Close();
        const std::function<void()> ops[] = {
            [&] { s.Query.First(); }, [&] { s.Query.Last(); }, [&] { s.Query.Next(); }, [&] { s.Query.Prior(); },
            [&] { s.Query.Append(); }, [&] { s.Query.Edit(); }, [&] { s.Query.Delete(); }, [&] { s.Query.RecNo(); },
            [&] { s.Query.SetRecNo(1); }, [&] { s.Query.GotoBookmark(1); }, [&] { s.Query.Post(); },
            [&] { ad->SetAsString(QStringLiteral("x")); }};
        QCOMPARE(ErrorOf(ops[op]), message);
        QCOMPARE(s.Query.State(), rsClosed);
        s.Query.Cancel();
        s.Query.Close();
        QCOMPARE(s.Query.State(), rsClosed);
    }

    void emptyResult()
    {
        TStoreSession s(QStringLiteral("SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD"));
        s.Query.Parameters.SetValue(0, QStringLiteral("Yok%"));
        s.Query.Open();
        QVERIFY(s.Query.Eof());
        QVERIFY(s.Query.IsEmpty());
        QCOMPARE(s.Query.RecNo(), -1);
        QCOMPARE(s.Query.CurrentDisplayRow(), -1);
        QVERIFY(!s.Query.GetBookmark());
        s.Query.First();
        QVERIFY(s.Query.Eof());
        QCOMPARE(ErrorOf([&] { s.Query.Delete(); }), QStringLiteral("Cannot perform this operation on an empty dataset"));
        s.Query.Edit();
        QCOMPARE(s.Query.State(), rsInsert);
        QCOMPARE(s.Query.RecNo(), -1);
        QVERIFY(s.Query.FieldByName(QStringLiteral("Ad"))->IsNull());
        s.Query.Cancel();
        QCOMPARE(s.Query.State(), rsBrowse);
        QVERIFY(s.Query.Eof());
    }

    void cursorMovesAndEndOfFile()
    {
        TStoreSession s;
        s.Query.Open();
        s.Query.Prior();
        QVERIFY(s.Query.Bof());
        QCOMPARE(s.Query.RecNo(), 1);
        QStringList walked;
        for (s.Query.First(); !s.Query.Eof(); s.Query.Next())
            walked << Ad(s.Query);
        QCOMPARE(walked.size(), 5);
        QCOMPARE(s.Query.RecNo(), 5);
        s.Query.Prior();
        QVERIFY(!s.Query.Eof());
        QCOMPARE(s.Query.RecNo(), 4);
        s.Query.Last();
        QCOMPARE(s.Query.RecNo(), 5);
        QCOMPARE(Ad(s.Query), QStringLiteral("Zeynep"));
        s.Query.SetRecNo(3);
        QCOMPARE(Ad(s.Query), QStringLiteral("Çağla"));
        s.Query.SetRecNo(0);
        s.Query.SetRecNo(99);
        QCOMPARE(s.Query.RecNo(), 3);
    }

    void bookmarksFindTheirRowAfterOtherRowsGo()
    {
        TStoreSession s;
        s.Query.Open();
        s.Query.SetRecNo(3);
        const TBookmark cagla = s.Query.GetBookmark();
        QVERIFY(cagla);
        s.Query.First();
        const TBookmark ahmet = s.Query.GetBookmark();
        s.Query.Delete();
        QVERIFY(s.Query.BookmarkValid(cagla));
        QVERIFY(!s.Query.BookmarkValid(ahmet));
        s.Query.Last();
        s.Query.GotoBookmark(cagla);
        QCOMPARE(Ad(s.Query), QStringLiteral("Çağla"));
        QCOMPARE(s.Query.RecNo(), 2);
        QCOMPARE(ErrorOf([&] { s.Query.GotoBookmark(ahmet); }), QStringLiteral("Record not found"));
        s.Query.Append();
        QVERIFY(!s.Query.GetBookmark());
    }

    void gridReadsRowsWithoutMovingTheCursor()
    {
        TStoreSession s;
        s.Query.Open();
        s.Query.SetRecNo(2);
        const int ad = s.Query.FieldByName(QStringLiteral("Ad"))->Index();
        QCOMPARE(s.Query.DisplayText(4, ad), QStringLiteral("Zeynep"));
        QCOMPARE(s.Query.DisplayText(5, ad), QString());
        QCOMPARE(s.Query.RecNo(), 2);
        s.Query.Append();
        s.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Yeni"));
        QCOMPARE(s.Query.DisplayRowCount(), 6);
        QCOMPARE(s.Query.CurrentDisplayRow(), 5);
        QCOMPARE(s.Query.RecNo(), -1);
        QCOMPARE(s.Query.DisplayText(5, ad), QStringLiteral("Yeni"));
        // Clicking another row finishes the new one first.
        s.Query.MoveToDisplayRow(0);
        QCOMPARE(s.Query.State(), rsBrowse);
        QCOMPARE(s.Query.RecordCount(), 6);
        QCOMPARE(s.Query.RecNo(), 1);
        QCOMPARE(s.Query.DisplayText(5, ad), QStringLiteral("Yeni"));
    }

    void notificationsAndDisabledControls()
    {
        TStoreSession s;
        s.Query.Open();
        QCOMPARE(s.Link.Count(TDataEvent::DataSetChanged), 1);
        QCOMPARE(s.Link.Count(TDataEvent::StateChanged), 1);
        s.Link.Events.clear();
        s.Query.Next();
        QCOMPARE(s.Link.Events, std::vector<TDataEvent>{TDataEvent::RecordChanged});

        s.Link.Events.clear();
        s.Query.DisableControls();
        s.Query.DisableControls();
        QVERIFY(s.Query.ControlsDisabled());
        s.Query.First();
        while (!s.Query.Eof())
            s.Query.Next();
        s.Query.EnableControls();
        QVERIFY(s.Link.Events.empty());
        s.Query.EnableControls();
        QVERIFY(!s.Query.ControlsDisabled());
        QCOMPARE(s.Link.Count(TDataEvent::DataSetChanged), 1);
        QCOMPARE(s.Link.Count(TDataEvent::RecordChanged), 0);

        s.Link.Events.clear();
        s.Query.Append();
        QCOMPARE(s.Link.Count(TDataEvent::StateChanged), 1);
        QCOMPARE(s.Link.Count(TDataEvent::DataSetChanged), 1);
        s.Link.Events.clear();
        s.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("x"));
        QCOMPARE(s.Link.Events, std::vector<TDataEvent>{TDataEvent::RecordChanged});
        s.Link.Events.clear();
        s.Query.Cancel();
        QCOMPARE(s.Link.Count(TDataEvent::StateChanged), 1);
        QCOMPARE(s.Link.Count(TDataEvent::DataSetChanged), 1);
        s.Link.Events.clear();
        s.Query.Close();
        QCOMPARE(s.Link.Count(TDataEvent::StateChanged), 1);
        QCOMPARE(s.Link.Count(TDataEvent::DataSetChanged), 1);
    }

    void parametersComeFromColonWordsOutsideQuotes_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("search") << "SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD" << QStringList{"deger"};
        QTest::newRow("none") << "SELECT * FROM DBASE ORDER BY AD" << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("quoted") << "SELECT ':a', \":b\", [:c] FROM t WHERE x = :d AND y = 'it''s :e' AND z = :f"
                                << QStringList{"d", "f"};
        QTest::newRow("time literal and repeats") << "SELECT 12:30, :x, :x" << QStringList{"x", "x"};
        QTest::newRow("turkish name") << "SELECT :değer" << QStringList{"değer"};
    }
    void parametersComeFromColonWordsOutsideQuotes()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, names);
        QCOMPARE(TParameters::ParameterNames(sql), names);
    }

    void changingTheStatementClosesAndRederivesParameters()
    {
        TStoreSession s;
        s.Query.Open();
        QCOMPARE(s.Query.Parameters.Count(), 0);
        s.Query.SQL.Clear();
        QCOMPARE(s.Query.State(), rsClosed);
        s.Query.SQL.Add(QStringLiteral("SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD"));
        QCOMPARE(s.Query.Parameters.Count(), 1);
        QCOMPARE(s.Query.Parameters[0].Name, QStringLiteral("deger"));
        QCOMPARE(ErrorOf([&] { s.Query.Parameters[1]; }), QStringLiteral("List index out of bounds (1)"));
        s.Query.Parameters.SetValue(0, QStringLiteral("c%"));
        s.Query.Open();
        QCOMPARE(ColumnValues(s.Query, QStringLiteral("Ad")), (QStringList{"Cem", "Çağla"}));
        // An unset parameter binds null, which matches nothing.
        s.Query.SQL.Clear();
        s.Query.SQL.Add(QStringLiteral("SELECT * FROM DBASE WHERE SOYAD LIKE :other ORDER BY AD"));
        s.Query.Open();
        QVERIFY(s.Query.IsEmpty());
    }

    void failingStatementsLeaveTheRecordSetClosed_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        QTest::newRow("no table") << "SELECT * FROM YOK" << "no such table: YOK";
        QTest::newRow("syntax") << "SELEC * FROM DBASE" << "near \"SELEC\": syntax error";
        QTest::newRow("two statements") << "SELECT * FROM DBASE; DELETE FROM DBASE"
                                        << "Only one statement can be run at a time";
        QTest::newRow("no result") << "DELETE FROM DBASE" << "CommandText does not return a result set";
    }
    void failingStatementsLeaveTheRecordSetClosed()
    {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        TStoreSession s(sql);
        QCOMPARE(ErrorOf([&] { s.Query.Open(); }), message);
        QCOMPARE(s.Query.State(), rsClosed);
        QCOMPARE(OtherProgramRows(Path(), QStringLiteral("SELECT count(*) FROM DBASE")), QStringList{"5"});
    }

    void fieldTypesAndValues()
    {
        OtherProgramExec(Path(), QStringLiteral(
            "CREATE TABLE T (id INTEGER PRIMARY KEY, s NVARCHAR(30), m LONGTEXT, t TEXT, i INT, f DOUBLE, n NUMERIC(10,2),"
            " b BOOLEAN, y YESNO, d DATE, tm TIME, dt DATETIME, ts TIMESTAMP, bl BLOB, u);"
            "INSERT INTO T VALUES (1, 'x', 'long', 'text', 42, 2.5, 3, 1, 'False', '2024-03-05', '13:45:10.250',"
            " '2024-03-05 13:45:10.250', 45356.5, x'00ff', 7);"
            "INSERT INTO T (id) VALUES (2);"));
        TStoreSession s(QStringLiteral("SELECT * FROM T ORDER BY id"));
        s.Query.Open();
        const struct { const char *Name; TFieldType Type; int Size; const char *Text; } expected[] = {
            {"id", ftInteger, 0, "1"}, {"s", ftString, 30, "x"}, {"m", ftMemo, 0, "long"}, {"t", ftString, 0, "text"},
            {"i", ftInteger, 0, "42"}, {"f", ftFloat, 0, "2.5"}, {"n", ftFloat, 0, "3"}, {"b", ftBoolean, 0, "True"},
            {"y", ftBoolean, 0, "False"}, {"d", ftDate, 0, "2024-03-05"}, {"tm", ftTime, 0, "13:45:10.250"},
            {"dt", ftDateTime, 0, "2024-03-05 13:45:10.250"}, {"ts", ftDateTime, 0, "45356.5"},
            {"bl", ftBlob, 0, nullptr}, {"u", ftInteger, 0, "7"}};
        for (const auto &e : expected) {
            TField *f = s.Query.FieldByName(QString::fromLatin1(e.Name));
            QCOMPARE(f->DataType(), e.Type);
            QCOMPARE(f->Size(), e.Size);
            if (e.Text)
                QCOMPARE(f->AsString(), QString::fromUtf8(e.Text));
        }
        const double day = QDate(1899, 12, 30).daysTo(QDate(2024, 3, 5));
        const double time = (13 * 3600 + 45 * 60 + 10.25) / 86400.0;
        QCOMPARE(s.Query.FieldByName(QStringLiteral("d"))->AsDateTime(), day);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("tm"))->AsDateTime(), time);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("dt"))->AsDateTime(), day + time);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("ts"))->AsDateTime(), 45356.5);
        s.Query.Next();
        QCOMPARE(s.Query.FieldByName(QStringLiteral("dt"))->AsDateTime(), 0.0);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("b"))->AsString(), QString());

        // Booleans are written as 1 and 0.
        s.Query.Edit();
        s.Query.FieldByName(QStringLiteral("b"))->SetAsString(QStringLiteral("True"));
        s.Query.Post();
        QCOMPARE(OtherProgramRows(Path(), QStringLiteral("SELECT b FROM T WHERE id = 2")), QStringList{"1"});
    }

    void snapshotHoldsAtMostTwiceTheTextBytes()
    {
        FHome.reset();
        FHome = std::make_unique<TTestHome>();
        CreateContactsDatabase(Path());
        AddSampleContacts(Path(), 3000);
        const qint64 textBytes = OtherProgramRows(Path(), QStringLiteral(
            "SELECT sum(coalesce(length(CAST(Ad AS BLOB)),0) + coalesce(length(CAST(Soyad AS BLOB)),0)"
            " + coalesce(length(CAST(CTelefon AS BLOB)),0) + coalesce(length(CAST(ETelefon AS BLOB)),0)"
            " + coalesce(length(CAST(ITelefon AS BLOB)),0) + coalesce(length(CAST(Email AS BLOB)),0)"
            " + coalesce(length(CAST(Adres AS BLOB)),0)) FROM DBASE")).value(0).toLongLong();
        TStoreSession s;
        s.Query.Open();
        QCOMPARE(s.Query.RecordCount(), 3000);
        QVERIFY2(qint64(s.Query.SnapshotBytes()) <= 2 * textBytes + 4096,
                 qPrintable(QStringLiteral("%1 bytes for %2 text bytes").arg(s.Query.SnapshotBytes()).arg(textBytes)));
    }
};

QTEST_GUILESS_MAIN(TestRecordSet)
#include "tst_recordset.moc"
