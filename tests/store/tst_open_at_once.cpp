// Open returns with the first rows; the rest arrives from the event loop.
// The first rows are those of the full read, in the same Turkish order; what
// the user starts while rows are still arriving (a Post, a Delete, a new
// row, a search, an export, a cancel) acts on the whole set, and nothing
// typed is lost.
#include "StoreTestSupport.h"
#include "contacts/ContactExport.h"
#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "support/ContactsDb.h"
#include "support/TestHome.h"
#include "support/TestServer.h"

#include <QSemaphore>
#include <QThread>
#include <QtTest>
#include <thread>

namespace {

// More contacts than Open reads at once and than one slice of the rest:
// the shared Turkish names, each many times over, in a scattered order.
constexpr int kContacts = 5000;

QString NameOf(int i)
{
    const QStringList &names = SortedTurkishNames();
    return names.at((i * 7) % names.size());
}

// The names as the full read must order them.
QStringList SortedNames()
{
    QStringList sorted;
    const QStringList &names = SortedTurkishNames();
    for (qsizetype k = 0; k < names.size(); ++k)
        for (int i = 0; i < kContacts; ++i)
            if ((i * 7) % names.size() == k)
                sorted << names.at(k);
    return sorted;
}

QString Ad(TADOQuery &q)
{
    return q.FieldByName(QStringLiteral("Ad"))->AsString();
}

// A user who asks to stop as soon as the progress asks: it begins slowly,
// so its first step reaches the sink.
struct TStoppingSink : TProgressSink {
    int Begun = 0;
    void Begin(const QString &, qint64, bool) override
    {
        ++Begun;
        QThread::msleep(60);
    }
    bool Update(qint64, qint64, const QString &) override { return false; }
    void End() override {}
};

int CountOf(const QString &path, const QString &where)
{
    return OtherProgramRows(path, QStringLiteral("SELECT count(*) FROM DBASE WHERE ") + where).value(0).toInt();
}

} // namespace

class TestOpenAtOnce : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TTestHome> FHome;
    QString Path() const { return FHome->FilePath(QStringLiteral("fihrist.mdb")); }

private Q_SLOTS:
    void initTestCase()
    {
        FHome = std::make_unique<TTestHome>();
        MakeContactsDatabase(Path(), {});
        QStringList rows;
        for (int i = 0; i < kContacts; ++i)
            rows << QStringLiteral("('%1', 'Soyad %2')").arg(QString(NameOf(i)).replace(u'\'', QLatin1String("''"))).arg(i);
        for (qsizetype i = 0; i < rows.size(); i += 500)
            OtherProgramExec(Path(), QStringLiteral("INSERT INTO DBASE (Ad, Soyad) VALUES ") + rows.mid(i, 500).join(u','));
    }
    void cleanupTestCase() { FHome.reset(); }
    void cleanup() { SetProgressSink(nullptr); }

    void firstRowsAreTheFullReadsFirstRows()
    {
        TStoreSession s;
        s.Query.Open();
        QVERIFY(s.Query.Fetching());
        const QStringList first = ColumnValues(s.Query, QStringLiteral("Ad"));
        QVERIFY(!first.isEmpty() && first.size() < kContacts);
        QCOMPARE(Ad(s.Query), SortedNames().constFirst());

        // The rest arrives from the event loop, after the first rows.
        QTRY_VERIFY(!s.Query.Fetching());
        QVERIFY(s.Link.Count(TDataEvent::RowsAdded) > 0);
        const QStringList all = ColumnValues(s.Query, QStringLiteral("Ad"));
        QCOMPARE(all, SortedNames());
        QCOMPARE(all.mid(0, first.size()), first);
        QCOMPARE(s.Query.RecNo(), 1);

        // Equal names keep the order the engine's own sort gives them.
        if (!ServerTests()) {
            TStoreSession engine(QStringLiteral("SELECT * FROM DBASE ORDER BY AD COLLATE NOCASE"));
            engine.Query.Open();
            engine.Query.FetchAll();
            QCOMPARE(ColumnValues(s.Query, QStringLiteral("No")), ColumnValues(engine.Query, QStringLiteral("No")));
        }
    }

    void whatNeedsTheWholeSetWaitsForIt_data()
    {
        QTest::addColumn<QString>("action");
        for (const char *action : {"last", "record count", "next past the first rows", "post", "delete", "append", "search", "export"})
            QTest::newRow(action) << QString::fromLatin1(action);
    }
    void whatNeedsTheWholeSetWaitsForIt()
    {
        QFETCH(QString, action);
        TStoreSession s;
        s.Query.Open();
        QVERIFY(s.Query.Fetching());
        const int shown = s.Query.DisplayRowCount();
        const QStringList sorted = SortedNames();
        if (action == QLatin1String("last")) {
            s.Query.Last();
            QCOMPARE(s.Query.RecNo(), kContacts);
            QCOMPARE(Ad(s.Query), sorted.constLast());
        } else if (action == QLatin1String("record count")) {
            QCOMPARE(s.Query.RecordCount(), kContacts);
        } else if (action == QLatin1String("next past the first rows")) {
            // Waits only for the rows it needs (on the file these are all).
            s.Query.SetRecNo(shown);
            s.Query.Next();
            QCOMPARE(s.Query.RecNo(), shown + 1);
            QCOMPARE(Ad(s.Query), sorted.at(shown));
            QVERIFY(!s.Query.Eof());
            return;
        } else if (action == QLatin1String("post")) {
            s.Query.Next();
            const QString key = s.Query.FieldByName(QStringLiteral("No"))->AsString();
            s.Query.Edit();
            s.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Yazıldı"));
            s.Query.Post();
            QCOMPARE(s.Query.RecNo(), 2);
            QCOMPARE(s.Query.FieldByName(QStringLiteral("No"))->AsString(), key);
            QCOMPARE(CountOf(Path(), QStringLiteral("No = %1 AND Soyad = 'Yazıldı'").arg(key)), 1);
        } else if (action == QLatin1String("delete")) {
            const QString key = s.Query.FieldByName(QStringLiteral("No"))->AsString();
            s.Query.Delete();
            QCOMPARE(CountOf(Path(), QStringLiteral("No = %1").arg(key)), 0);
            QCOMPARE(s.Query.RecordCount(), kContacts - 1);
            QVERIFY(!ColumnValues(s.Query, QStringLiteral("No")).contains(key));
            // Put back for the other rows.
            OtherProgramExec(Path(),
                             QStringLiteral("INSERT INTO DBASE (No, Ad, Soyad) VALUES (%1, '%2', 'Geri')").arg(key, sorted.constFirst()));
        } else if (action == QLatin1String("append")) {
            s.Query.Append();
            s.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Yeni"));
            s.Query.Post();
            QCOMPARE(s.Query.RecNo(), kContacts + 1);
            QCOMPARE(ColumnValues(s.Query, QStringLiteral("Ad")).mid(0, kContacts), sorted);
            s.Query.Delete();
        } else if (action == QLatin1String("search")) {
            s.Query.SQL.Clear();
            s.Query.SQL.Add(QStringLiteral("SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD"));
            s.Query.Parameters.SetValue(0, QStringLiteral("ş%"));
            s.Query.Open();
            QCOMPARE(s.Query.RecordCount(),
                     sorted.count(QStringLiteral("Şahin")) + sorted.count(QStringLiteral("Şule")) + sorted.count(QStringLiteral("sule")));
        } else {
            TExportOptions options;
            options.File = FHome->FilePath(QStringLiteral("rehber.csv"));
            options.Format = TExportOptions::Csv;
            QCOMPARE(ExportContacts(s.Query, options), std::int64_t(kContacts));
        }
        QVERIFY(!s.Query.Fetching());
    }

    void aRowDeletedByAnotherDesktopBeforeItArrives()
    {
        TStoreSession s;
        s.Query.Open();
        QVERIFY(s.Query.Fetching());
        const QString last = SortedNames().constLast();
        const QStringList taken = OtherProgramRows(Path(), QStringLiteral("SELECT No, Soyad FROM DBASE WHERE Ad = '%1'").arg(last));
        // The other desktop deletes the last contacts: on the server at
        // once, on the file once this desktop's reading lets it write.
        QString otherError;
        std::thread other([&] {
            otherError = ErrorOf([&] {
                TStoreSession desktop(QStringLiteral("SELECT * FROM DBASE WHERE AD = :ad"));
                desktop.Query.Parameters.SetValue(0, last);
                desktop.Query.Open();
                while (!desktop.Query.IsEmpty())
                    desktop.Query.Delete();
            });
        });
        if (ServerTests())
            other.join();
        s.Query.FetchAll();
        if (other.joinable())
            other.join();
        QCOMPARE(otherError, QStringLiteral("<no error>"));
        QCOMPARE(CountOf(Path(), QStringLiteral("Ad = '%1'").arg(last)), 0);
        // The snapshot holds them as read: a change to one fails and keeps
        // what was typed, a Delete finds it gone.
        s.Query.Last();
        QCOMPARE(Ad(s.Query), last);
        s.Query.Edit();
        s.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Yazılan"));
        QVERIFY(ErrorOf([&] { s.Query.Post(); }).startsWith(QLatin1String("Row cannot be located for updating")));
        QCOMPARE(s.Query.State(), rsEdit);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("Soyad"))->AsString(), QStringLiteral("Yazılan"));
        s.Query.Cancel();
        s.Query.Delete();
        QCOMPARE(s.Query.RecordCount(), kContacts - 1);
        // Put back for the other tests.
        for (const QString &row : taken)
            OtherProgramExec(Path(),
                             QStringLiteral("INSERT INTO DBASE (No, Ad, Soyad) VALUES (%1, '%2', '%3')")
                                 .arg(row.section(u'|', 0, 0), last, row.section(u'|', 1)));
    }

    void aCancelStopsTheWaitNotTheReading()
    {
        TStoreSession s;
        s.Query.Open();
        s.Query.Next();
        s.Query.Edit();
        s.Query.FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Yazılan"));
        TStoppingSink sink;
        SetProgressSink(&sink);
        // Stopping the wait abandons the action; the rows and the row being
        // edited stay as they were.
        const int shown = s.Query.DisplayRowCount();
        QVERIFY_THROWS_EXCEPTION(EAbort, s.Query.Post());
        QVERIFY(sink.Begun > 0);
        QCOMPARE(s.Query.State(), rsEdit);
        QCOMPARE(s.Query.RecNo(), 2);
        QCOMPARE(s.Query.FieldByName(QStringLiteral("Soyad"))->AsString(), QStringLiteral("Yazılan"));
        QVERIFY(s.Query.DisplayRowCount() >= shown);
        QVERIFY(s.Query.Fetching());
        SetProgressSink(nullptr);

        // The reading goes on, and the edit is written to its row.
        QTRY_VERIFY(!s.Query.Fetching());
        QCOMPARE(s.Query.State(), rsEdit);
        const QString key = s.Query.FieldByName(QStringLiteral("No"))->AsString();
        s.Query.Post();
        QCOMPARE(CountOf(Path(), QStringLiteral("No = %1 AND Soyad = 'Yazılan'").arg(key)), 1);
        QCOMPARE(s.Query.RecordCount(), kContacts);

        // Closing while rows arrive drops the rest.
        s.Query.Close();
        s.Query.Open();
        QVERIFY(s.Query.Fetching());
        s.Query.Close();
        QVERIFY(!s.Query.Fetching());
        s.Query.Open();
        QCOMPARE(s.Query.RecordCount(), kContacts);
    }

    // Cells of every size come back whole from the rows read while the rest
    // is put in order: empty, NULL, numbers, text just under and over what
    // a one-byte header holds, and longer.
    void cellsOfEverySizeComeBackWhole()
    {
        if (ServerTests())
            QSKIP("ordering the rest is the file's own");
        // 600 rows, more than Open reads at once, with their keys scattered.
        const char *const table = R"(CREATE TABLE T (id INTEGER PRIMARY KEY, k TEXT COLLATE NOCASE, v);
            WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 599)
            INSERT INTO T SELECT i, 'ad' || ((i * 7) % 100), CASE i % 8 WHEN 0 THEN NULL WHEN 1 THEN '' WHEN 2 THEN -129
                WHEN 3 THEN 9223372036854775807 WHEN 4 THEN 2.5
                ELSE substr(hex(zeroblob(70000)), 1, CASE i % 8 WHEN 5 THEN 127 WHEN 6 THEN 128 ELSE 2048 + i * 100 END) END
            FROM n)";
        OtherProgramExec(Path(), QString::fromLatin1(table));
        TStoreSession s(QStringLiteral("SELECT * FROM T ORDER BY k"));
        s.Query.Open();
        QVERIFY(s.Query.Fetching());
        s.Query.FetchAll();
        QStringList read;
        for (s.Query.First(); !s.Query.Eof(); s.Query.Next())
            read << s.Query.FieldByName(QStringLiteral("id"))->AsString() + u':' + s.Query.FieldByName(QStringLiteral("v"))->AsString();
        QStringList stored = OtherProgramRows(Path(), QStringLiteral("SELECT id || ':' || ifnull(v, '') FROM T"));
        read.sort();
        stored.sort();
        QCOMPARE(read.size(), 600);
        QCOMPARE(read, stored);
    }

    // On a busy server a large read waits for its turn: the window shows
    // the first rows and goes on meanwhile, and desktops that hold their
    // turns without reading on hold the others up only for a while.
    void aReadWaitingForItsTurnReadsOn()
    {
        if (!ServerTests())
            QSKIP("turns are taken on the server");
        constexpr int kRows = 40000;
        const QString sql = QStringLiteral("SELECT g AS n FROM generate_series(1, %1) g").arg(kRows);
        // Two desktops read far into their rows and stop there: their thread
        // has no event loop to read the rest.
        QSemaphore holding, finished;
        std::thread holders([&] {
            TStoreSession a(sql), b(sql);
            for (TStoreSession *desktop : {&a, &b}) {
                desktop->Query.Open();
                desktop->Query.SetRecNo(kRows * 3 / 4);
            }
            holding.release();
            finished.acquire();
        });
        holding.acquire();
        for (const bool dropWhileWaiting : {false, true}) {
            TStoreSession s(sql);
            s.Query.Open();
            QVERIFY(s.Query.Fetching());
            QCOMPARE(s.Query.FieldByName(QStringLiteral("n"))->AsString(), QStringLiteral("1"));
            if (dropWhileWaiting) {
                // Closed once past the rows a read takes without a turn (while
                // it waits), the connection reads again at once.
                QTRY_VERIFY_WITH_TIMEOUT(s.Query.DisplayRowCount() >= 16384, 60000);
                s.Query.Close();
                s.Query.Open();
                s.Query.Last();
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(!s.Query.Fetching(), 120000);
                s.Query.Last();
            }
            QCOMPARE(s.Query.RecNo(), kRows);
            QCOMPARE(s.Query.FieldByName(QStringLiteral("n"))->AsString(), QString::number(kRows));
        }
        finished.release();
        holders.join();
    }
};

QTEST_GUILESS_MAIN(TestOpenAtOnce)
#include "tst_open_at_once.moc"
