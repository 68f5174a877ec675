// A sync against a server that means harm: replies that trickle or never
// end, XML nested without end, ETags that carry headers, writes sent
// elsewhere by a redirect, discovery that leads to another host; on the
// file and on the server provider. The small fake plays the whole server.
#include "support/ContactsDb.h"
#include "support/DavServers.h"
#include "support/TestHome.h"
#include "store/ADOConnection.h"
#include "contacts/ContactRecord.h"
#include "contacts/ContactsDatabase.h"
#include "contacts/VCardPatch.h"
#include "sync/DavClient.h"
#include "sync/DavXml.h"
#include "sync/SyncAccount.h"
#include "sync/SyncSession.h"

#include <QtTest>
#include <map>

namespace {

QByteArray Reply(const QByteArray &status, const QByteArray &body, const QByteArray &headers = QByteArray())
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: application/xml\r\n" + headers + "Content-Length: " + QByteArray::number(body.size())
        + "\r\n\r\n" + body;
}

QByteArray Multistatus(const QByteArray &responses)
{
    return Reply("207 Multi-Status",
                 "<?xml version='1.0'?><multistatus xmlns='DAV:' xmlns:C='urn:ietf:params:xml:ns:carddav'>" + responses + "</multistatus>");
}

QByteArray Response(const QByteArray &href, const QByteArray &props)
{
    return "<response><href>" + href + "</href><propstat><prop>" + props + "</prop><status>HTTP/1.1 200 OK</status></propstat></response>";
}

const QByteArray kBook = "/alice/book/";
const QByteArray kBookType = "<resourcetype><collection/><C:addressbook/></resourcetype>";

// The fake alone as the book /alice/book/: its properties (sync-collection
// offered when token is set), its cards' ETags and data (name -> ETag as
// XML, card); empty for any other request.
QByteArray BookAnswer(const QByteArray &request, const std::map<QByteArray, QPair<QByteArray, QByteArray>> &cards,
                      const QByteArray &token = QByteArray())
{
    if (request.startsWith("PROPFIND") && request.contains("Depth: 0")) {
        const QByteArray sync =
            "<supported-report-set><supported-report><report><sync-collection/></report>"
            "</supported-report></supported-report-set><sync-token>"
            + token + "</sync-token>";
        return Multistatus(Response(kBook, kBookType + (token.isEmpty() ? QByteArray() : sync)));
    }
    const bool multiget = request.startsWith("REPORT") && request.contains("addressbook-multiget");
    if (!multiget && !(request.startsWith("PROPFIND") && request.contains("Depth: 1")))
        return QByteArray();
    QByteArray listed = Response(kBook, kBookType);
    for (const auto &[name, card] : cards)
        listed += Response(kBook + name,
                           "<getetag>" + card.first + "</getetag>"
                               + (multiget ? "<C:address-data>" + card.second + "</C:address-data>" : QByteArray()));
    return Multistatus(listed);
}

} // namespace

class TestSyncHostile : public QObject {
    Q_OBJECT

    TTestHome FHome;
    QString FDb;
    int FCount = 0;

    void Fresh(const std::vector<TContactRow> &rows)
    {
        FDb = FHome.FilePath(QStringLiteral("h%1.mdb").arg(++FCount));
        MakeContactsDatabase(FDb, rows);
    }

    // One sync of the database with the book at url (discovered from it
    // when discover is set).
    TSyncResult Sync(const QString &url, const TSyncOptions &options, bool discover = false)
    {
        TADOConnection connection;
        OpenContactsDatabase(connection, QFileInfo(FDb).fileName());
        TSyncAccount account;
        account.Url = url;
        account.AddressBook = discover ? QString() : url;
        account.User = QStringLiteral("alice");
        TSyncSession session(connection, account, QStringLiteral("x"), options);
        QSignalSpy done(&session, &TSyncSession::Finished);
        session.Start();
        if (done.isEmpty() && !done.wait(60000))
            qWarning("the sync did not finish");
        return session.Result();
    }

    static TSyncOptions Short()
    {
        TSyncOptions options;
        options.IdleTimeoutMs = 2000;
        options.TotalTimeoutMs = 4000;
        return options;
    }

    static int CountOf(const TFakeHttp &fake, const QByteArray &start)
    {
        return int(std::count_if(fake.Requests.begin(), fake.Requests.end(), [&](const QByteArray &r) { return r.startsWith(start); }));
    }

private Q_SLOTS:
    // A byte a second keeps a request from falling silent, and a server
    // that pages a listing without end never lets it close: each request
    // has its total time, and a listing its most parts.
    void withoutEnd_data()
    {
        QTest::addColumn<QByteArray>("what");
        QTest::newRow("dripped listing") << QByteArray("listing");
        QTest::newRow("dripped PUT") << QByteArray("PUT");
        QTest::newRow("endless paging") << QByteArray("paging");
    }
    void withoutEnd()
    {
        QFETCH(QByteArray, what);
        Fresh({{"Ali", "Kaya", "0505 000 00 01", {}, {}, {}, {}}});
        TFakeHttp fake;
        int token = 0;
        fake.Answer = [&](const QByteArray &request, const QByteArray &) {
            fake.DripMs = what == "listing" || (what == "PUT" && request.startsWith("PUT")) ? 1000 : 0;
            if (request.startsWith("PUT"))
                return Reply("201 Created", QByteArray(64, ' '), "ETag: \"1\"\r\n");
            if (what == "paging" && request.contains("sync-collection"))
                return Multistatus("<response><href>" + kBook + "</href><status>HTTP/1.1 507 Insufficient Storage</status></response>"
                                   + "<sync-token>t" + QByteArray::number(++token) + "</sync-token>");
            return BookAnswer(request, {}, what == "paging" ? "t0" : QByteArray());
        };
        const TSyncResult r = Sync(fake.Root() + kBook, Short());
        if (what != "paging") {
            QCOMPARE(int(r.Error.Kind), int(TSyncFailure::Timeout));
            return;
        }
        // The parts given up on, every card's ETag is listed instead.
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(r.Sent, 1);
        QVERIFY(CountOf(fake, "REPORT") <= 101); // the parts, and the check of the token after the write
        QCOMPARE(CountOf(fake, "PROPFIND"), 3);
    }

    // Elements nested ever deeper cost the XML reader room at each level:
    // refused. A card beyond any sensible size is left out and marked, the
    // rest of the listing read on; any other text that long ends it.
    void deepAndLongXml()
    {
        Fresh({});
        TFakeHttp fake;
        const int levels = 20000;
        fake.Answer = [&](const QByteArray &request, const QByteArray &) {
            if (request.contains("Depth: 1"))
                return Multistatus(
                    Response(kBook + "a.vcf",
                             "<getetag>\"1\"</getetag>" + QByteArray("<x>").repeated(levels) + QByteArray("</x>").repeated(levels)));
            return BookAnswer(request, {});
        };
        const TSyncResult r = Sync(fake.Root() + kBook, Short());
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::BadReply));
        QVERIFY2(r.Error.ServerText.contains(QLatin1String("deeper")), qPrintable(r.Error.ServerText));

        std::vector<TDavResponse> read;
        TMultistatusReader reader([&](TDavResponse &response) {
            read.push_back(std::move(response));
            return true;
        });
        const QByteArray open = "<multistatus xmlns='DAV:' xmlns:C='urn:ietf:params:xml:ns:carddav'>";
        const QByteArray huge = "BEGIN:VCARD\r\nNOTE:" + QByteArray(5 << 20, 'x') + "\r\nEND:VCARD\r\n";
        QVERIFY(reader.Feed(open + Response("/b/huge.vcf", "<getetag>\"1\"</getetag><C:address-data>" + huge + "</C:address-data>")
                            + Response("/b/small.vcf", "<C:address-data>BEGIN:VCARD</C:address-data>") + "</multistatus>"));
        QVERIFY(reader.End());
        QCOMPARE(read.size(), std::size_t(2));
        QVERIFY(read[0].CardTooLarge && read[0].AddressData.isEmpty());
        QCOMPARE(read[0].ETag, QByteArray("\"1\""));
        QVERIFY(!read[1].CardTooLarge);
        QCOMPARE(read[1].AddressData, QByteArray("BEGIN:VCARD"));
        // A card far beyond the reader's hold, in pieces, its text cut amid
        // characters and entities: passed over, the listing read on.
        read.clear();
        const QByteArray giant = "<C:address-data>BEGIN:VCARD\r\nNOTE:" + QByteArray("ç&amp;x").repeated(3 << 20) + "</C:address-data>";
        const QByteArray listing = open + Response("/b/giant.vcf", giant)
            + Response("/b/small.vcf", "<C:address-data>BEGIN:VCARD</C:address-data>") + "</multistatus>";
        TMultistatusReader pieces([&](TDavResponse &response) {
            read.push_back(std::move(response));
            return true;
        });
        for (qsizetype at = 0; at < listing.size(); at += 65521)
            QVERIFY(pieces.Feed(listing.mid(at, 65521)));
        QVERIFY(pieces.End());
        QCOMPARE(read.size(), std::size_t(2));
        QVERIFY(read[0].CardTooLarge && read[0].AddressData.isEmpty());
        QCOMPARE(read[1].AddressData, QByteArray("BEGIN:VCARD"));
        TMultistatusReader longHref([](TDavResponse &) { return true; });
        QVERIFY(!longHref.Feed(open + "<response><href>" + QByteArray(5 << 20, 'h') + "</href></response></multistatus>"));
        QVERIFY(!longHref.Problem().isEmpty());
    }

    // An ETag that carries a line break and a header of its own, from a
    // listing or from a reply's ETag header, is no ETag: never sent back in
    // If-Match, never stored. And no header of a request holds a line break.
    void etagsCarryNoHeaders()
    {
        Fresh({});
        TFakeHttp fake;
        const QByteArray card = Card("a", "Kaya", "Ali", "TEL;TYPE=CELL:0505 000 00 01\r\n");
        int puts = 0;
        fake.Answer = [&](const QByteArray &request, const QByteArray &) {
            if (request.startsWith("PUT"))
                return ++puts == 1 ? Reply("412 Precondition Failed", QByteArray())
                                   : Reply("204 No Content", QByteArray(), "ETag: \"5\"\r\n");
            if (request.startsWith("GET"))
                return Reply("200 OK", card, "ETag: \"3\"\rX-Injected: yes\r\n");
            return BookAnswer(request, {{"a.vcf", {"\"1\"&#13;&#10;X-Injected: yes", card}}});
        };
        const QString book = fake.Root() + kBook;
        TSyncResult r = Sync(book, Short());
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(r.Received, 1);
        // Changed here; the PUT meets a 412, the card is fetched and put again.
        RunSql(FDb, QStringLiteral("UPDATE DBASE SET Email = ?"), {QStringLiteral("ali@ornek.com")});
        r = Sync(book, Short());
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(r.Sent, 1);
        QCOMPARE(puts, 2);
        for (const QByteArray &request : fake.Requests)
            QVERIFY2(!request.contains("X-Injected"), request.constData());

        TDavClient client(QUrl(fake.Root()), QStringLiteral("alice"), QStringLiteral("x"));
        std::optional<TDavReply> got;
        client.Send({"PUT", QUrl(book + "b.vcf"), card, {{"If-Match", "\"1\"\r\nX-Injected: yes"}}},
                    [&](TDavReply &reply) { got = reply; });
        QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 30000);
        QCOMPARE(int(got->Error.Kind), int(TSyncFailure::BadReply));
        QCOMPARE(puts, 2);
    }

    // A redirect of a write is a refusal, not followed: nothing stored for
    // it, the next sync sends it again.
    void writeRedirectRefused()
    {
        Fresh({{"Ali", "Kaya", "0505 000 00 01", {}, {}, {}, {}}, {"Veli", "Can", "0505 000 00 02", {}, {}, {}, {}}});
        TFakeHttp fake;
        bool redirect = true;
        fake.Answer = [&](const QByteArray &request, const QByteArray &) {
            if (request.startsWith("PUT /alice/book/") && redirect)
                return Reply("307 Temporary Redirect", QByteArray(), "Location: /alice/other/x.vcf\r\n");
            if (request.startsWith("PUT"))
                return Reply("201 Created", QByteArray(), "ETag: \"1\"\r\n");
            return BookAnswer(request, {});
        };
        const QString book = fake.Root() + kBook;
        TSyncResult r = Sync(book, Short());
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::ServerError));
        QCOMPARE(r.Error.HttpStatus, 307);
        QCOMPARE(r.Sent, 0);
        QCOMPARE(CountOf(fake, "PUT /alice/other/"), 0);
        redirect = false;
        r = Sync(book, Short());
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::None));
        QCOMPARE(r.Sent, 2);
    }

    // Discovery that names a principal, a home set or a book on another
    // host is refused as a redirect there is: nothing goes there.
    void discoveryStaysOnTheHost_data()
    {
        QTest::addColumn<QByteArray>("where");
        QTest::newRow("principal") << QByteArray("principal");
        QTest::newRow("home set") << QByteArray("home set");
        QTest::newRow("book") << QByteArray("book");
    }
    void discoveryStaysOnTheHost()
    {
        QFETCH(QByteArray, where);
        Fresh({});
        TFakeHttp fake, elsewhere;
        const QByteArray other = "http://localhost:" + QByteArray::number(elsewhere.Port());
        fake.Answer = [&](const QByteArray &request, const QByteArray &) {
            if (where == "book" && request.contains("Depth: 1"))
                return Multistatus(Response(other + kBook, kBookType));
            if (where == "principal")
                return Multistatus(Response("/", "<current-user-principal><href>" + other + "/alice/</href></current-user-principal>"));
            return Multistatus(Response("/",
                                        "<C:addressbook-home-set><href>" + (where == "book" ? QByteArray() : other)
                                            + "/alice/</href></C:addressbook-home-set>"));
        };
        const TSyncResult r = Sync(fake.Root() + u'/', Short(), true);
        QCOMPARE(int(r.Error.Kind), int(TSyncFailure::ForeignRedirect));
        QCOMPARE(r.Error.RedirectHost, QStringLiteral("localhost"));
        QVERIFY(elsewhere.Requests.isEmpty());
    }

    // A card from the server with LF line breaks, some CRLF, goes back with
    // CRLF throughout, its folded lines too.
    void patchedCardsEndLinesInCrLf()
    {
        const QByteArray card =
            "BEGIN:VCARD\nVERSION:3.0\r\nUID:p\nN:Kaya;Ali;;;\r\nFN:Ali Kaya\nNOTE:a long\n  folded note\n"
            "TEL;TYPE=CELL:0505 000 00 01\nEND:VCARD";
        QByteArray was[7], now[7];
        was[cfAd] = now[cfAd] = "Ali";
        was[cfSoyad] = now[cfSoyad] = "Kaya";
        was[cfCTelefon] = "0505 000 00 01";
        now[cfCTelefon] = "0505 111 11 11";
        now[cfEmail] = "ali@ornek.com";
        const QByteArray out = PatchCard(card, was, now);
        QCOMPARE(out.count('\n'), out.count("\r\n"));
        QVERIFY(out.contains("NOTE:a long\r\n  folded note\r\n"));
        QVERIFY(out.contains("0505 111 11 11") && out.contains("ali@ornek.com"));
        QVERIFY(out.endsWith("END:VCARD\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSyncHostile)
#include "tst_sync_hostile.moc"
