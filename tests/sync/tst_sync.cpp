// Two-way sync with real CardDAV servers (Radicale and Xandikos, started
// here on loopback), on the file and on the server provider; and the
// replies no real server gives, from a small fake.
#include "support/ContactsDb.h"
#include "support/DavServers.h"
#include "support/TestHome.h"
#include "store/ADOConnection.h"
#include "contacts/ContactsDatabase.h"
#include "sync/SyncAccount.h"
#include "sync/SyncSession.h"

#include <QtTest>
#include <algorithm>
#include <memory>

namespace {

// n contacts, each with a number of its own.
std::vector<TContactRow> Many(int n)
{
    std::vector<TContactRow> rows;
    for (int i = 0; i < n; ++i)
        rows.push_back(
            {QStringLiteral("Kişi%1").arg(i), QStringLiteral("Soyad"), QStringLiteral("0505 000 %1").arg(1000 + i), {}, {}, {}, {}});
    return rows;
}

// An upstream reply with its body changed by edit, its length set anew.
QByteArray Edited(const QByteArray &reply, const std::function<QByteArray(const QByteArray &)> &edit)
{
    const qsizetype head = reply.indexOf("\r\n\r\n");
    const QByteArray body = edit(reply.mid(head + 4));
    QString top = QString::fromLatin1(reply.left(head));
    top.replace(QRegularExpression(QStringLiteral("(?i)content-length:\\s*\\d+")), QStringLiteral("Content-Length: %1").arg(body.size()));
    return top.toLatin1() + "\r\n\r\n" + body;
}

} // namespace

class TestSync : public QObject {
    Q_OBJECT

    TTestHome FHome;
    std::unique_ptr<TDavServer> FServers[2];
    int FCount = 0;
    QString FBook, FDb;

    TSyncResult Sync(const QString &book, const TSyncOptions &options = {}, const std::function<void(TSyncSession &)> &hook = {})
    {
        TSyncAccount account;
        account.Url = account.AddressBook = book;
        return SyncWith(account, options, hook);
    }
    TSyncResult SyncWith(TSyncAccount account, const TSyncOptions &options = {}, const std::function<void(TSyncSession &)> &hook = {})
    {
        TADOConnection connection;
        OpenContactsDatabase(connection, QFileInfo(FDb).fileName());
        account.User = QStringLiteral("alice");
        TSyncSession session(connection, account, QStringLiteral("x"), options);
        connect(
            &session, &TSyncSession::MassDeleteAsked, &session, [&session] { session.ConfirmMassDelete(false); }, Qt::QueuedConnection);
        if (hook)
            hook(session);
        QSignalSpy done(&session, &TSyncSession::Finished);
        session.Start();
        if (done.isEmpty() && !done.wait(120000))
            qWarning("the sync did not finish");
        return session.Result();
    }
    TSyncResult Sync() { return Sync(FBook); }

    // A new database and a new address book for the test's row.
    void Fresh(const std::vector<TContactRow> &rows)
    {
        QFETCH(int, server);
        if (!FServers[server] || !FServers[server]->Running())
            QSKIP("the server did not start");
        ++FCount;
        FDb = FHome.FilePath(QStringLiteral("s%1.mdb").arg(FCount));
        MakeContactsDatabase(FDb, rows);
        FBook = FServers[server]->NewAddressBook(QStringLiteral("book%1").arg(FCount));
    }

    void Servers()
    {
        QTest::addColumn<int>("server");
        QTest::newRow("radicale") << 0;
        QTest::newRow("xandikos") << 1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        FServers[0] = std::make_unique<TDavServer>(TDavServer::Radicale);
        FServers[1] = std::make_unique<TDavServer>(TDavServer::Xandikos);
    }
    void cleanupTestCase()
    {
        FServers[0].reset();
        FServers[1].reset();
    }

    void firstSyncBothWays_data() { Servers(); }
    void firstSyncBothWays()
    {
        Fresh({{"Ayşe", "Yılmaz", "0532 111 22 33", {}, {}, {}, {}}, {"Mehmet", "Demir", "0533 444 55 66", {}, {}, {}, {}}});
        PutCard(FBook, Card("s1", "YILMAZ", "Ayşe", "TEL;TYPE=CELL:+90 532 111 22 33\r\nEMAIL:ayse@ornek.com\r\n"));
        PutCard(FBook, Card("s2", "Kaya", "Ali", "TEL;TYPE=CELL:0505 000 00 01\r\n"));
        TSyncResult r = Sync();
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(r.NewConflicts.size(), std::size_t(0));
        const QStringList rows = ContactRows(FDb, QStringLiteral("Ad"));
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows.contains(QStringLiteral("Ayşe|Yılmaz|0532 111 22 33||||")) == false);
        QVERIFY(rows.filter(QStringLiteral("ayse@ornek.com")).size() == 1);
        QCOMPARE(Cards(FBook).size(), 3);
        // Again: nothing to do, nothing doubled.
        r = Sync();
        QCOMPARE(r.Received + r.Sent + r.Deleted, 0);
        QCOMPARE(ContactRows(FDb, QStringLiteral("Ad")), rows);
        QCOMPARE(Cards(FBook).size(), 3);
        // The probe finds the book from the server's address alone.
        TSyncAccount account;
        account.Url = FServers[0]->Root();
        QFETCH(int, server);
        account.Url = FServers[server]->Root() + u'/';
        account.User = QStringLiteral("alice");
        TSyncProbe probe(account, QStringLiteral("x"));
        QSignalSpy found(&probe, &TSyncProbe::Finished);
        probe.Start();
        QVERIFY(found.wait(30000));
        QCOMPARE(int(probe.Error().Kind), int(TSyncFailure::None));
        bool listed = false;
        for (const TAddressBookInfo &b : probe.AddressBooks())
            listed = listed || (QUrl(b.Url).path() == QUrl(FBook).path() && b.CardCount == 3);
        QVERIFY(listed);
        // From the server's address alone, among several books: the one this
        // directory is linked to; a directory not yet linked is asked to choose.
        FServers[server]->NewAddressBook(QStringLiteral("other%1").arg(FCount));
        TSyncAccount byServer;
        byServer.Url = FServers[server]->Root() + u'/';
        QCOMPARE(int(SyncWith(byServer).Error.Kind), int(TSyncFailure::None));
        FDb = FHome.FilePath(QStringLiteral("s%1-unlinked.mdb").arg(FCount));
        MakeContactsDatabase(FDb, {});
        const TSyncResult several = SyncWith(byServer);
        QCOMPARE(int(several.Error.Kind), int(TSyncFailure::SeveralBooks));
        QVERIFY(several.Error.Books.size() >= 2);
    }

    // The first sync's listing brings the cards along; from a server that
    // leaves their data out (Xandikos answers it with 404 in a listing), or
    // beyond one reply's cap, they are fetched. An expired token lists
    // every card again: a card gone there goes here.
    void firstDownload_data()
    {
        QTest::addColumn<int>("server");
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<bool>("fetches");
        QTest::newRow("radicale") << 0 << QByteArray() << false;
        QTest::newRow("radicale, without data") << 0 << QByteArray("without data") << true;
        QTest::newRow("radicale, too large") << 0 << QByteArray("too large") << true;
        QTest::newRow("xandikos") << 1 << QByteArray() << true;
        QTest::newRow("xandikos, too large") << 1 << QByteArray("too large") << true;
    }
    void firstDownload()
    {
        QFETCH(int, server);
        QFETCH(QByteArray, mode);
        Fresh({});
        QStringList urls;
        for (const char *name : {"Ali", "Veli", "Can"})
            urls << PutCard(FBook, Card(name, "Kaya", name, "TEL:0505 000 00 01\r\n"));
        TFakeHttp proxy;
        proxy.Upstream = FServers[server]->Port();
        proxy.Answer = [&](const QByteArray &request, const QByteArray &upstream) {
            if (mode.isEmpty() || !request.contains("sync-collection") || !upstream.left(upstream.indexOf('\r')).contains(" 207 "))
                return upstream;
            return Edited(upstream, [&](const QByteArray &body) {
                if (mode == "too large")
                    return QByteArray(body).insert(body.lastIndexOf("</"), QByteArray(70000, ' '));
                static const QRegularExpression data(QStringLiteral("<([\\w.-]+:)?address-data[^>]*>.*</([\\w.-]+:)?address-data>"),
                                                     QRegularExpression::InvertedGreedinessOption
                                                         | QRegularExpression::DotMatchesEverythingOption);
                return QString::fromUtf8(body).remove(data).toUtf8();
            });
        };
        const QString book = proxy.Root() + QUrl(FBook).path();
        TSyncOptions options;
        options.MaxReplyBytes = 64 * 1024;
        TSyncResult r = Sync(book, options);
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(r.Received, 3);
        QCOMPARE(ContactRows(FDb).size(), 3);
        const bool fetched = std::any_of(proxy.Requests.begin(), proxy.Requests.end(),
                                         [](const QByteArray &request) { return request.contains("addressbook-multiget"); });
        QTEST(fetched, "fetches");

        Http("DELETE", urls.first());
        RunSql(FDb, QStringLiteral("UPDATE sync_book SET token = ?"), {QStringLiteral("http://radicale.org/ns/sync/0123456789abcdef")});
        r = Sync(book, options);
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(r.Deleted, 1);
        QCOMPARE(ContactRows(FDb).size(), 2);
        r = Sync(book, options);
        QCOMPARE(r.Received + r.Sent + r.Deleted, 0);
        QCOMPARE(Cards(FBook).size(), 2);
    }

    void mergeAndConflicts_data() { Servers(); }
    void mergeAndConflicts()
    {
        Fresh({{"Ayşe", "Yılmaz", "0532 111 22 33", "0212 000 00 00", {}, "a@ornek.com", {}}});
        QCOMPARE(Sync().Sent, 1);
        const QString url = CardWith(FBook, "Yılmaz");
        // Different columns on each side: both kept.
        EditCard(url, "EMAIL", "EMAIL;TYPE=INTERNET:yeni@ornek.com");
        RunSql(FDb, QStringLiteral("UPDATE DBASE SET ETelefon = ?"), {QStringLiteral("0216 999 99 99")});
        QCOMPARE(int(Sync().Error.Kind), int(TSyncFailure::None));
        QCOMPARE(ContactRows(FDb).value(0), QStringLiteral("Ayşe|Yılmaz|0532 111 22 33|0216 999 99 99||yeni@ornek.com|"));
        QVERIFY(Http("GET", url).Body.contains("0216 999 99 99"));
        // The same column both ways: the directory's value stays and is sent; the server's is listed.
        EditCard(url, "TEL;TYPE=CELL", "TEL;TYPE=CELL:0555 222 22 22");
        RunSql(FDb, QStringLiteral("UPDATE DBASE SET CTelefon = ?"), {QStringLiteral("0555 111 11 11")});
        const TSyncResult r = Sync();
        QCOMPARE(r.NewConflicts.size(), std::size_t(1));
        QCOMPARE(r.NewConflicts[0].LocalValue, QStringLiteral("0555 111 11 11"));
        QCOMPARE(r.NewConflicts[0].ServerValue, QStringLiteral("0555 222 22 22"));
        QVERIFY(Http("GET", url).Body.contains("0555 111 11 11"));
        // Taken over: written to the contact, sent by the next sync.
        {
            TADOConnection connection;
            OpenContactsDatabase(connection, QFileInfo(FDb).fileName());
            const std::vector<TSyncConflict> pending = PendingConflicts(connection);
            QCOMPARE(pending.size(), std::size_t(1));
            QCOMPARE(pending[0].Column, QStringLiteral("CTelefon"));
            TakeServerValue(connection, pending[0].Id);
            QCOMPARE(PendingConflicts(connection).size(), std::size_t(0));
        }
        QVERIFY(ContactRows(FDb).value(0).contains(QStringLiteral("0555 222 22 22")));
        QCOMPARE(Sync().Sent, 1);
        QVERIFY(Http("GET", url).Body.contains("0555 222 22 22"));
    }

    void deleteAgainstChange_data() { Servers(); }
    void deleteAgainstChange()
    {
        Fresh({{"Ali", "Kaya", "0505 000 00 01", {}, {}, {}, {}}, {"Veli", "Can", "0505 000 00 02", {}, {}, {}, {}}});
        QCOMPARE(Sync().Sent, 2);
        const QString ali = CardWith(FBook, "Kaya"), veli = CardWith(FBook, "Can");
        // Deleted here, changed there; changed here, deleted there: the change wins both times.
        RunSql(FDb, QStringLiteral("DELETE FROM DBASE WHERE Ad = ?"), {QStringLiteral("Ali")});
        EditCard(ali, "EMAIL", "EMAIL:ali@ornek.com");
        RunSql(FDb, QStringLiteral("UPDATE DBASE SET Email = ? WHERE Ad = ?"), {QStringLiteral("veli@ornek.com"), QStringLiteral("Veli")});
        QCOMPARE(Http("DELETE", veli).Status / 100, 2);
        const TSyncResult r = Sync();
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(r.NewConflicts.size(), std::size_t(2));
        QCOMPARE(ContactRows(FDb, QStringLiteral("Ad")),
                 QStringList({QStringLiteral("Ali|Kaya|0505 000 00 01|||ali@ornek.com|"),
                              QStringLiteral("Veli|Can|0505 000 00 02|||veli@ornek.com|")}));
        QVERIFY(!CardWith(FBook, "veli@ornek.com").isEmpty());
        // A plain deletion on each side goes through.
        RunSql(FDb, QStringLiteral("DELETE FROM DBASE WHERE Ad = ?"), {QStringLiteral("Veli")});
        QCOMPARE(Http("DELETE", CardWith(FBook, "Kaya")).Status / 100, 2);
        QCOMPARE(Sync().Deleted, 2);
        QCOMPARE(ContactRows(FDb).size(), 0);
        QCOMPARE(Cards(FBook).size(), 0);
        // A new contact that takes a deleted one's key before the next sync: a deletion and a new card.
        RunSql(FDb, QStringLiteral("INSERT INTO DBASE (Ad, Soyad) VALUES ('Ali', 'Kaya')"));
        QCOMPARE(Sync().Sent, 1);
        const QString old = CardWith(FBook, "Kaya");
        RunSql(FDb, QStringLiteral("DELETE FROM DBASE"));
        RunSql(FDb, QStringLiteral("INSERT INTO DBASE (Ad, Soyad) VALUES ('Zeynep', 'Ak')"));
        QCOMPARE(Sync().Deleted, 1);
        QCOMPARE(Http("GET", old).Status, 404);
        QCOMPARE(Cards(FBook).size(), 1);
    }

    void propertiesKept_data() { Servers(); }
    void propertiesKept()
    {
        Fresh({});
        const QByteArray longNumber = "0090 212 555 55 55 ext 12345";
        PutCard(FBook,
                Card("p1", "Şahin", "Çağla",
                     "TEL;TYPE=CELL:0532 000 00 00\r\nTEL;TYPE=HOME:" + longNumber
                         + "\r\nitem1.TEL:0212 111 11 11\r\nitem1.X-ABLabel:Yazlık\r\nEMAIL;TYPE=WORK:c@is.com\r\n"
                           "EMAIL;TYPE=HOME:c@ev.com\r\nBDAY:1990-01-02\r\nX-FOO;X-P=1:bar\r\nPHOTO;ENCODING=b;TYPE=JPEG:QUJDREVG\r\n"));
        const TSyncResult first = Sync();
        QCOMPARE(first.Received, 1);
        QCOMPARE(first.Problems.size(), std::size_t(1)); // the long number: left out here
        QCOMPARE(ContactRows(FDb).value(0), QStringLiteral("Çağla|Şahin|0532 000 00 00||0212 111 11 11|c@is.com|"));
        const QString url = CardWith(FBook, "Şahin");
        const QStringList before = Lines(Http("GET", url).Body);
        RunSql(FDb, QStringLiteral("UPDATE DBASE SET Ad = ?, Email = ?"), {QStringLiteral("Çağla Nur"), QStringLiteral("cn@is.com")});
        QCOMPARE(Sync().Sent, 1);
        const QStringList after = Lines(Http("GET", url).Body);
        for (const QString &line : before)
            if (!line.startsWith(u'N') && !line.startsWith(QLatin1String("FN")) && !line.contains(QLatin1String("c@is.com")))
                QVERIFY2(after.contains(line), qPrintable(line));
        QVERIFY(after.filter(QStringLiteral("cn@is.com")).size() == 1);
        QVERIFY(after.filter(QString::fromUtf8(longNumber)).size() == 1);
    }

    void race412_data() { Servers(); }
    void race412()
    {
        Fresh({{"Ali", "Kaya", "0505 000 00 01", {}, {}, {}, {}}});
        TFakeHttp proxy;
        QFETCH(int, server);
        proxy.Upstream = FServers[server]->Port();
        const QString book = proxy.Root() + QUrl(FBook).path();
        QCOMPARE(Sync(book).Sent, 1);
        const QString direct = CardWith(FBook, "Kaya");
        RunSql(FDb, QStringLiteral("UPDATE DBASE SET CTelefon = ?"), {QStringLiteral("0505 111 11 11")});
        // Another client changes the card between the listing and the PUT.
        bool raced = false;
        proxy.BeforeForward = [&](const QByteArray &request) {
            if (request.startsWith("PUT") && !raced) {
                raced = true;
                EditCard(direct, "EMAIL", "EMAIL:ali@ornek.com");
            }
        };
        const TSyncResult r = Sync(book);
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QVERIFY(raced);
        const QByteArray card = Http("GET", direct).Body;
        QVERIFY(card.contains("0505 111 11 11"));
        QVERIFY(card.contains("ali@ornek.com"));
        QCOMPARE(ContactRows(FDb).value(0), QStringLiteral("Ali|Kaya|0505 111 11 11|||ali@ornek.com|"));
    }

    // A linked card comes back with a value that cannot be read, in the
    // listing or in the GET after a 412: listed as a problem, the contact and
    // the card's last synced state left as they are, the card read again next time.
    void unreadableValues_data()
    {
        QTest::addColumn<int>("server");
        QTest::addColumn<bool>("race");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("radicale, quoted-printable NUL") << 0 << false << QByteArray("N;ENCODING=QUOTED-PRINTABLE:Kaya=00;Ali;;;");
        QTest::newRow("xandikos, unknown charset") << 1 << false << QByteArray("N;CHARSET=X-BILINMEZ:Kaya;Ali;;;");
        QTest::newRow("radicale, 412, NUL") << 0 << true << QByteArray("N:Ka\0ya;Ali;;;", 14);
        QTest::newRow("xandikos, 412, not UTF-8") << 1 << true << QByteArray("N:Ka\xFEya;Ali;;;");
    }
    void unreadableValues()
    {
        QFETCH(int, server);
        QFETCH(bool, race);
        QFETCH(QByteArray, line);
        Fresh({{"Ali", "Kaya", "0505 000 00 01", {}, {}, "ali@ornek.com", {}}});
        TFakeHttp proxy;
        proxy.Upstream = FServers[server]->Port();
        const QString book = proxy.Root() + QUrl(FBook).path();
        QCOMPARE(Sync(book).Sent, 1);
        const QString direct = CardWith(FBook, "Kaya");
        if (race)
            RunSql(FDb, QStringLiteral("UPDATE DBASE SET CTelefon = ?"), {QStringLiteral("0505 111 11 11")});
        else
            EditCard(direct, "EMAIL", "EMAIL:yeni@ornek.com");
        const QStringList before = ContactRows(FDb);
        bool spoil = true;
        proxy.BeforeForward = [&](const QByteArray &request) {
            if (race && spoil && request.startsWith("PUT"))
                EditCard(direct, "EMAIL", "EMAIL:yeni@ornek.com");
        };
        proxy.Answer = [&](const QByteArray &request, const QByteArray &upstream) {
            if (!spoil || !request.startsWith(race ? "GET" : "REPORT"))
                return upstream;
            return Edited(upstream, [&](const QByteArray &body) {
                // The N line, up to its line break (CR, raw or as XML writes it).
                const qsizetype at = body.indexOf("\nN:") + 1;
                if (at == 0)
                    return body; // a listing without the cards' data
                qsizetype end = body.indexOf('\n', at);
                end = body.lastIndexOf(body.at(end - 1) == '\r' ? "\r" : "&#13;", end);
                return QByteArray(body).replace(at, end - at, line);
            });
        };
        const TSyncResult r = Sync(book);
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(r.Received, 0);
        QCOMPARE(r.Problems.size(), std::size_t(1));
        QCOMPARE(int(r.Problems[0].What), int(TCardProblem::Kind::Unparsable));
        QCOMPARE(ContactRows(FDb), before);
        // Readable again: merged against the state it had, nothing lost on either side.
        spoil = false;
        const TSyncResult again = Sync(book);
        QCOMPARE(int(again.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(again.NewConflicts.size(), std::size_t(0));
        const QString phone = race ? QStringLiteral("0505 111 11 11") : QStringLiteral("0505 000 00 01");
        QCOMPARE(ContactRows(FDb).value(0), QStringLiteral("Ali|Kaya|%1|||yeni@ornek.com|").arg(phone));
        QVERIFY(Http("GET", direct).Body.contains(phone.toUtf8()));
    }

    // An ETag kept by an earlier version that is no entity-tag (a header
    // after it) is never sent back: the card is matched again, then sent.
    void storedBadETag_data() { Servers(); }
    void storedBadETag()
    {
        Fresh({{"Ali", "Kaya", "0505 000 00 01", {}, {}, {}, {}}});
        QCOMPARE(Sync().Sent, 1);
        RunSql(FDb, QStringLiteral("UPDATE sync_card SET etag = ?"), {QStringLiteral("\"1\"\r\nX-Injected: yes")});
        RunSql(FDb, QStringLiteral("UPDATE DBASE SET Email = ?"), {QStringLiteral("ali@ornek.com")});
        QCOMPARE(int(Sync().Error.Kind), int(TSyncFailure::None));
        const TSyncResult r = Sync();
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QVERIFY(Http("GET", CardWith(FBook, "Kaya")).Body.contains("ali@ornek.com"));
        QCOMPARE(Cards(FBook).size(), 1);
    }

    void invalidSyncToken_data() { Servers(); }
    void invalidSyncToken()
    {
        Fresh({{"Ali", "Kaya", "0505 000 00 01", {}, {}, {}, {}}});
        QCOMPARE(Sync().Sent, 1);
        PutCard(FBook, Card("t2", "Can", "Veli", "TEL:0505 000 00 02\r\n"));
        RunSql(FDb, QStringLiteral("UPDATE sync_book SET token = ?"), {QStringLiteral("http://radicale.org/ns/sync/0123456789abcdef")});
        const TSyncResult r = Sync();
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(r.Received, 1);
        QCOMPARE(ContactRows(FDb).size(), 2);
        QCOMPARE(Cards(FBook).size(), 2);
    }

    void massDeleteGuard_data() { Servers(); }
    void massDeleteGuard()
    {
        Fresh(Many(12));
        QCOMPARE(Sync().Sent, 12);
        for (const auto &[href, card] : Cards(FBook))
            Http("DELETE", QUrl(FBook).resolved(QUrl(href)).toString());
        TSyncSide side = TSyncSide::Server;
        TSyncResult r = Sync(FBook, {}, [&side](TSyncSession &session) {
            connect(&session, &TSyncSession::MassDeleteAsked, &session, [&side](int, TSyncSide asked) { side = asked; });
        });
        QCOMPARE(int(side), int(TSyncSide::Local)); // the contacts here would go
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::MassDelete));
        QCOMPARE(r.Error.MassDeleteCount, 12);
        QCOMPARE(ContactRows(FDb).size(), 12);
        // İptal while the question waits: the sync ends at once, nothing changed.
        r = Sync(FBook, {}, [](TSyncSession &session) {
            connect(&session, &TSyncSession::MassDeleteAsked, &session, [s = &session] { s->Cancel(); });
        });
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::Cancelled));
        QCOMPARE(r.NewConflicts.size() + r.Deleted, std::size_t(0));
        QCOMPARE(ContactRows(FDb).size(), 12);
        TSyncOptions allow;
        allow.AllowMassDelete = true;
        r = Sync(FBook, allow);
        QCOMPARE(r.Deleted, 12);
        QCOMPARE(ContactRows(FDb).size(), 0);
    }

    // A PUT the server stores but whose answer is an error, or whose
    // connection drops while other PUTs are in flight: those are answered
    // and stored, and the next sync makes no duplicate.
    void storedButNotAnswered_data()
    {
        QTest::addColumn<int>("server");
        QTest::addColumn<bool>("drop");
        QTest::newRow("radicale, 500") << 0 << false;
        QTest::newRow("xandikos, 500") << 1 << false;
        QTest::newRow("radicale, dropped") << 0 << true;
        QTest::newRow("xandikos, dropped") << 1 << true;
    }
    void storedButNotAnswered()
    {
        QFETCH(bool, drop);
        Fresh(Many(30));
        TFakeHttp proxy;
        QFETCH(int, server);
        proxy.Upstream = FServers[server]->Port();
        int puts = 0;
        QByteArray failing; // its request line: the transport tries it again on a new connection
        proxy.Answer = [&](const QByteArray &request, const QByteArray &upstream) {
            const QByteArray line = request.left(request.indexOf('\r'));
            if (request.startsWith("PUT") && ++puts == 2)
                failing = line;
            if (line != failing)
                return upstream;
            return drop ? TFakeHttp::kDrop : QByteArray("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
        };
        const QString book = proxy.Root() + QUrl(FBook).path();
        TSyncResult r = Sync(book);
        QCOMPARE(int(r.Error.Kind), int(drop ? TSyncFailure::Network : TSyncFailure::ServerError));
        QCOMPARE(int(Cards(FBook).size()), drop ? r.Sent + 1 : 30); // stored all the same
        r = Sync(book);
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(Cards(FBook).size(), 30);
        QCOMPARE(ContactRows(FDb).size(), 30);
        QCOMPARE(Sync(book).Sent, 0);
    }

    // More contacts than one batch of writes and one page of reading.
    void cancelThenFull_data() { Servers(); }
    void cancelThenFull()
    {
        Fresh(Many(120));
        TSyncResult r = Sync(FBook, {}, [](TSyncSession &session) {
            connect(&session, &TSyncSession::Progress, &session, [&session](qint64 done, qint64) {
                if (done >= 3)
                    session.Cancel();
            });
        });
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::Cancelled));
        QVERIFY(r.Sent < 20);
        QCOMPARE(Cards(FBook).size(), r.Sent);
        r = Sync();
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(Cards(FBook).size(), 120);
        QCOMPARE(ContactRows(FDb).size(), 120);
        QCOMPARE(Sync().Sent, 0);
    }

    void twoDesktopsAtOnce_data() { Servers(); }
    void twoDesktopsAtOnce()
    {
        Fresh({{"Ali", "Kaya", "0505 000 00 01", {}, {}, {}, {}}});
        TADOConnection one, two;
        OpenContactsDatabase(one, QFileInfo(FDb).fileName());
        OpenContactsDatabase(two, QFileInfo(FDb).fileName());
        TSyncAccount account;
        account.Url = account.AddressBook = FBook;
        account.User = QStringLiteral("alice");
        TSyncSession first(one, account, QStringLiteral("x"), {}), second(two, account, QStringLiteral("x"), {});
        QSignalSpy firstDone(&first, &TSyncSession::Finished), secondDone(&second, &TSyncSession::Finished);
        first.Start();
        second.Start();
        QVERIFY(firstDone.wait(60000) || !firstDone.isEmpty());
        QVERIFY(!secondDone.isEmpty() || secondDone.wait(60000));
        QCOMPARE(int(first.Result().Error.Kind), int(TSyncFailure::None));
        QCOMPARE(int(second.Result().Error.Kind), int(TSyncFailure::Busy));
        QCOMPARE(int(Sync().Error.Kind), int(TSyncFailure::None));
        QCOMPARE(Cards(FBook).size(), 1);
        QCOMPARE(ContactRows(FDb).size(), 1);
    }

    void certificate()
    {
        ++FCount;
        FDb = FHome.FilePath(QStringLiteral("c%1.mdb").arg(FCount));
        MakeContactsDatabase(FDb, {});
        TFakeHttp fake(true);
        fake.Answer = [](const QByteArray &, const QByteArray &) {
            return QByteArray("HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n");
        };
        const QString book = fake.Root() + QStringLiteral("/alice/book/");
        // Refused, with the fingerprint to confirm; the password was never sent.
        TSyncResult r = Sync(book);
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::Certificate));
        QCOMPARE(r.Error.Fingerprint, fake.Fingerprint());
        QVERIFY(fake.Requests.isEmpty());
        // Trusted by that fingerprint: the server is reached.
        r = Sync(book, {}, [&](TSyncSession &session) { session.TrustFingerprint(fake.Fingerprint()); });
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::Unauthorized));
        QCOMPARE(fake.Requests.size(), 1);
    }

    void hostileServer_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("failure");
        const QByteArray head = "HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\nContent-Length: ";
        const auto ms = [&](const QByteArray &body) { return head + QByteArray::number(body.size()) + "\r\n\r\n" + body; };
        QTest::newRow("not XML") << ms("hello, this is not XML") << int(TSyncFailure::BadReply);
        QTest::newRow("not a multistatus") << ms("<?xml version='1.0'?><error xmlns='DAV:'/>") << int(TSyncFailure::BadReply);
        QTest::newRow("href outside") << QByteArray("outside") << int(TSyncFailure::HrefOutside);
        QTest::newRow("unparsable card") << QByteArray("unparsable") << int(TSyncFailure::None);
        QTest::newRow("redirect to another host") << QByteArray("redirect") << int(TSyncFailure::ForeignRedirect);
        QTest::newRow("too large") << ms("<?xml version='1.0'?><multistatus xmlns='DAV:'>" + QByteArray(200000, ' ') + "</multistatus>")
                                   << int(TSyncFailure::ReplyTooLarge);
        QTest::newRow("silent") << QByteArray() << int(TSyncFailure::Timeout);
        QTest::newRow("401") << QByteArray("HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n") << int(TSyncFailure::Unauthorized);
        QTest::newRow("plain http elsewhere") << QByteArray("insecure") << int(TSyncFailure::InsecureHttp);
    }
    void hostileServer()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, failure);
        ++FCount;
        FDb = FHome.FilePath(QStringLiteral("h%1.mdb").arg(FCount));
        MakeContactsDatabase(FDb, {});
        TFakeHttp fake, elsewhere;
        const QString book = fake.Root() + QStringLiteral("/alice/book/");
        const QByteArray bookXml =
            "<?xml version='1.0'?><multistatus xmlns='DAV:' xmlns:C='urn:ietf:params:xml:ns:carddav'><response><href>"
            "/alice/book/</href><propstat><prop><resourcetype><collection/><C:addressbook/></resourcetype></prop>"
            "<status>HTTP/1.1 200 OK</status></propstat></response></multistatus>";
        const auto answer = [](const QByteArray &body) {
            return "HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\nContent-Length: " + QByteArray::number(body.size())
                + "\r\n\r\n" + body;
        };
        const auto item = [](const QByteArray &href, const QByteArray &data) {
            return "<response><href>" + href + "</href><propstat><prop><getetag>\"1\"</getetag>"
                + (data.isEmpty() ? QByteArray() : "<C:address-data>" + data + "</C:address-data>")
                + "</prop><status>HTTP/1.1 200 OK</status></propstat></response>";
        };
        fake.Answer = [&](const QByteArray &request, const QByteArray &) -> QByteArray {
            if (reply == "redirect")
                return "HTTP/1.1 301 Moved\r\nLocation: http://localhost:" + QByteArray::number(elsewhere.Port())
                    + "/alice/book/\r\nContent-Length: 0\r\n\r\n";
            if (reply != "outside" && reply != "unparsable")
                return reply;
            if (request.contains("Depth: 0"))
                return answer(bookXml);
            const QByteArray open = "<?xml version='1.0'?><multistatus xmlns='DAV:' xmlns:C='urn:ietf:params:xml:ns:carddav'>";
            if (reply == "outside")
                return answer(open + item("/bob/secret.vcf", QByteArray()) + "</multistatus>");
            const QByteArray good = "BEGIN:VCARD\nVERSION:3.0\nUID:g\nN:Kaya;Ali;;;\nTEL:0505\nEND:VCARD\n";
            const bool multiget = request.startsWith("REPORT");
            return answer(open + item("/alice/book/good.vcf", multiget ? good : QByteArray())
                          + item("/alice/book/bad.vcf", multiget ? QByteArray("garbage, not a card") : QByteArray()) + "</multistatus>");
        };
        TSyncOptions options;
        options.IdleTimeoutMs = 300;
        options.MaxReplyBytes = 64 * 1024;
        const TSyncResult r = Sync(reply == "insecure" ? QStringLiteral("http://192.0.2.1/alice/book/") : book, options);
        QCOMPARE(int(r.Error.Kind), failure);
        QVERIFY(elsewhere.Requests.isEmpty()); // the password never went there
        if (reply == "redirect")
            QCOMPARE(r.Error.RedirectHost, QStringLiteral("localhost"));
        if (reply == "unparsable") {
            QCOMPARE(r.Received, 1);
            QCOMPARE(r.Problems.size(), std::size_t(1));
            QCOMPARE(r.Problems[0].Href, QStringLiteral("/alice/book/bad.vcf"));
        } else {
            QCOMPARE(ContactRows(FDb).size(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestSync)
#include "tst_sync.moc"
