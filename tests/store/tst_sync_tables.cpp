// The sync's tables beside DBASE, on the file and on the server: the book,
// the cards, the conflicts, the contacts as the sync reads and writes them,
// the lock, the cache, and a transaction the guard takes back.
#include "StoreTestSupport.h"
#include "platform/core/Exception.h"
#include "store/Provider.h"
#include "store/RowArena.h"
#include "store/SyncTables.h"
#include "support/ContactsDb.h"
#include "support/TestHome.h"
#include "support/TestServer.h"
#include "contacts/ContactWriter.h"

#include <QtTest>
#include <algorithm>
#include <memory>

namespace {

// A connection to the test's contacts and the sync's tables on it.
struct TSyncDb {
    TADOConnection Connection;
    std::unique_ptr<TSyncTables> Tables;

    TSyncDb()
    {
        Connection.SetConnectionString(TADOConnection::ComposeConnectionString(TADOConnection::DefaultConnectionKeys()));
        Connection.Open();
        const TContactsShape shape = ReadContactsShape(Engine());
        Tables = std::make_unique<TSyncTables>(Engine(), shape.Target, shape.Columns, shape.Key);
        Tables->Create();
    }
    TProvider &Engine() { return *Connection.Engine(); }
};

TSyncCardRow Card(std::int64_t no, const QString &href, const QByteArray &etag)
{
    return {no, href, etag, "uid-" + href.toUtf8(), "BEGIN:VCARD", "digest-" + QByteArray::number(qlonglong(no))};
}

QStringList CardTexts(TSyncTables &tables)
{
    QStringList texts;
    for (const TSyncCardRow &c : tables.Cards())
        texts << QStringLiteral("%1 %2 %3 %4")
                     .arg(c.No)
                     .arg(c.Href, c.ETag.isNull() ? u"<null>"_qs : QString::fromUtf8(c.ETag), QString::fromUtf8(c.Uid + ' ' + c.Digest));
    texts.sort();
    return texts;
}

QStringList Values(const TSyncContact &row)
{
    QStringList values;
    for (const QByteArray &v : row.Values)
        values << (v.isNull() ? u"<null>"_qs : QString::fromUtf8(v));
    return values;
}

} // namespace

class TestSyncTables : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TTestHome> FHome;
    QString Path() const { return FHome->FilePath(QStringLiteral("fihrist.mdb")); }

private Q_SLOTS:
    void init()
    {
        FHome = std::make_unique<TTestHome>();
        MakeContactsDatabase(Path(), {{u"Deniz"_qs, u"Kaya"_qs}, {u"Cem"_qs}});
    }
    void cleanup() { FHome.reset(); }

    // The book and its token, the cards by key and by href, the conflicts in
    // their order; made twice, the tables keep what they hold.
    void bookCardsAndConflicts()
    {
        {
            TSyncDb db;
            TSyncTables &t = *db.Tables;
            QString url = u"x"_qs;
            QByteArray token = "x";
            t.Book(&url, &token);
            QVERIFY(url.isNull() && token.isNull());
            t.SetBook(u"https://dav.example/kişiler/"_qs, "token-1");
            t.SetBook(u"https://dav.example/kişiler/"_qs, QByteArray());

            t.PutCard(Card(1, u"/a.vcf"_qs, QByteArray()));
            t.PutCard(Card(2, u"/b.vcf"_qs, "\"e2\""));
            t.PutCard(Card(1, u"/a2.vcf"_qs, "\"e1\""));
            // The href goes with the card to the contact that takes it.
            t.PutCard(Card(3, u"/b.vcf"_qs, "\"e3\""));
            QCOMPARE(CardTexts(t), (QStringList{u"1 /a2.vcf \"e1\" uid-/a2.vcf digest-1"_qs, u"3 /b.vcf \"e3\" uid-/b.vcf digest-3"_qs}));
            t.PutCard(Card(2, u"/c.vcf"_qs, QByteArray()));
            t.RemoveCard(3);

            t.AddConflict({0, 2, u"Cem"_qs, u"Email"_qs, u"cem@ev"_qs, QString(), 1});
            t.AddConflict({0, 1, u"Deniz Kaya"_qs, u"Ad"_qs, u"Deniz"_qs, u"Dəniz"_qs, 2});
            t.AddConflict({0, 1, u"Deniz Kaya"_qs, u"Soyad"_qs, u"Kaya"_qs, u"Kayа"_qs, 2});
            const std::vector<TSyncConflictRow> conflicts = t.Conflicts();
            QCOMPARE(conflicts.size(), std::size_t(3));
            QVERIFY(conflicts[0].Id < conflicts[1].Id && conflicts[1].Id < conflicts[2].Id);
            t.RemoveConflict(conflicts[1].Id);
        }
        TSyncDb db;
        TSyncTables &t = *db.Tables;
        QString url;
        QByteArray token = "x";
        t.Book(&url, &token);
        QCOMPARE(url, u"https://dav.example/kişiler/"_qs);
        QVERIFY(token.isNull());
        QCOMPARE(CardTexts(t), (QStringList{u"1 /a2.vcf \"e1\" uid-/a2.vcf digest-1"_qs, u"2 /c.vcf <null> uid-/c.vcf digest-2"_qs}));
        const std::vector<TSyncConflictRow> conflicts = t.Conflicts();
        QCOMPARE(conflicts.size(), std::size_t(2));
        const TSyncConflictRow &c = conflicts[0];
        QCOMPARE(QStringList({QString::number(c.No), c.Name, c.Column, c.LocalValue, c.ServerValue, QString::number(c.Kind)}),
                 (QStringList{u"2"_qs, u"Cem"_qs, u"Email"_qs, u"cem@ev"_qs, QString(), u"1"_qs}));
        QCOMPARE(conflicts[1].Column, u"Soyad"_qs);
        QCOMPARE(conflicts[1].ServerValue, u"Kayа"_qs);

        t.ForgetBook();
        t.Book(&url, &token);
        QVERIFY(url.isNull());
        QVERIFY(t.Cards().empty());
    }

    // The contacts as a sync reads them, a page at a time and by key, and
    // writes them; a linked contact deleted on a file leaves its card on a
    // key no contact has, as the server's keys are never given again.
    void contactsReadAndWritten()
    {
        TSyncDb db;
        TSyncTables &t = *db.Tables;
        QByteArray values[kContactColumnCount];
        std::int64_t last = 0;
        {
            TWriteTransaction transaction = t.Transaction();
            for (int i = 0; i < 198; ++i) {
                values[0] = QByteArray::number(i);
                values[6] = i % 2 ? QByteArray("") : QByteArray();
                last = t.InsertContact(values);
            }
            transaction.Commit();
        }
        QCOMPARE(last, std::int64_t(200));
        // Exactly two pages: the third read comes back empty.
        std::vector<std::int64_t> keys;
        t.Contacts([&](TSyncContact &row) { keys.push_back(row.No); });
        QCOMPARE(keys.size(), std::size_t(200));
        QVERIFY(std::is_sorted(keys.begin(), keys.end()) && keys.front() == 1 && keys.back() == 200);

        values[0] = "Ayşe";
        values[1] = "Öztürk";
        values[6] = "Çarşı Sok. 1\nİzmir";
        t.UpdateContact(1, values);
        t.DeleteContact(2);
        TSyncContact row;
        QVERIFY(t.Contact(1, &row));
        QCOMPARE(
            Values(row),
            (QStringList{u"Ayşe"_qs, u"Öztürk"_qs, u"<null>"_qs, u"<null>"_qs, u"<null>"_qs, u"<null>"_qs, u"Çarşı Sok. 1\nİzmir"_qs}));
        QVERIFY(!t.Contact(2, &row));
        QCOMPARE(t.Contacts(std::vector<std::int64_t>{2, 200, 1, 999}).size(), std::size_t(2));
        QCOMPARE(Values(t.Contacts(std::vector<std::int64_t>{4}).front())[6], u""_qs);

        t.PutCard(Card(200, u"/z.vcf"_qs, "\"z\""));
        t.DeleteContact(200);
        const std::vector<TSyncCardRow> cards = t.Cards();
        QCOMPARE(cards.size(), std::size_t(1));
        QCOMPARE(cards.front().No, ServerTests() ? std::int64_t(200) : std::int64_t(-1));
        QCOMPARE(t.InsertContact(values), std::int64_t(ServerTests() ? 201 : 200));
    }

    // One sync at a time on a server; the page cache narrowed on a file and
    // given back; a transaction the guard ends is taken back whole.
    void lockCacheAndGuard()
    {
        TSyncDb one, two;
        QVERIFY(one.Tables->TryLock());
        QCOMPARE(two.Tables->TryLock(), !ServerTests());
        one.Tables->Unlock();
        QVERIFY(two.Tables->TryLock());
        two.Tables->Unlock();

        auto cacheSize = [&] {
            TRowArena rows;
            one.Engine().RunStatement("PRAGMA cache_size", {}, &rows);
            return rows.Cell(0, 0).Int;
        };
        if (!ServerTests()) {
            const std::int64_t before = cacheSize();
            one.Tables->NarrowCache();
            QCOMPARE(cacheSize(), std::int64_t(-256));
            one.Tables->RestoreCache();
            QCOMPARE(cacheSize(), before);
        }

        TSyncTables &t = *one.Tables;
        QByteArray values[kContactColumnCount] = {"Yeni"};
        try {
            TWriteTransaction transaction = t.Transaction();
            t.SetBook(u"https://dav.example/"_qs, "t");
            t.PutCard(Card(t.InsertContact(values), u"/y.vcf"_qs, "\"y\""));
            t.AddConflict({0, 1, u"Deniz"_qs, u"Ad"_qs, u"a"_qs, u"b"_qs, 1});
            t.UpdateContact(1, values);
            throw EDatabaseError(u"stop"_qs);
        } catch (const EDatabaseError &) {
        }
        QString url;
        QByteArray token;
        two.Tables->Book(&url, &token);
        QVERIFY(url.isNull());
        QVERIFY(two.Tables->Cards().empty());
        QVERIFY(two.Tables->Conflicts().empty());
        QCOMPARE(ContactRows(Path()), (QStringList{u"Deniz|Kaya|||||"_qs, u"Cem||||||"_qs}));
        // The connection writes on afterwards.
        t.SetBook(u"https://dav.example/"_qs, "t");
        two.Tables->Book(&url, &token);
        QCOMPARE(token, QByteArray("t"));
    }
};

QTEST_MAIN(TestSyncTables)
#include "tst_sync_tables.moc"
