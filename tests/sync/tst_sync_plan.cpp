// The sync's pure parts on their own: the merge of one contact, the plan
// made from a base, a directory and a listing built here, and the reading
// of a multistatus that arrives in pieces.
#include "contacts/VCardPatch.h"
#include "sync/DavXml.h"
#include "sync/SyncMerge.h"
#include "sync/SyncPlan.h"

#include <QtTest>
#include <algorithm>

namespace {

struct TValues {
    QByteArray V[cfCount];
};

TValues Values(const QByteArray &ad, const QByteArray &soyad, const QByteArray &gsm, const QByteArray &email = QByteArray())
{
    TValues v;
    v.V[cfAd] = ad;
    v.V[cfSoyad] = soyad;
    v.V[cfCTelefon] = gsm;
    v.V[cfEmail] = email;
    return v;
}

TSyncContact Row(std::int64_t no, const TValues &v)
{
    TSyncContact row;
    row.No = no;
    std::copy(std::begin(v.V), std::end(v.V), row.Values);
    return row;
}

// A contact linked to a card as the last sync left them.
TSyncCardRow Linked(std::int64_t no, const TValues &v)
{
    const QByteArray uid = "u" + QByteArray::number(no);
    const QByteArray card = NewCard(v.V, uid, false);
    return {no, QStringLiteral("/book/%1.vcf").arg(no), "\"1\"", uid, card, ValuesDigest(v.V)};
}

const TSyncStep *StepOf(const TSyncPlan &plan, std::int64_t no)
{
    const auto it = std::find_if(plan.Steps.begin(), plan.Steps.end(), [no](const TSyncStep &s) { return s.No == no; });
    return it == plan.Steps.end() ? nullptr : &*it;
}

} // namespace

class TestSyncPlan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mergeAndJoin()
    {
        const TValues base = Values("Ali", "Kaya", "0505 000 00 01", "ali@ornek.com");
        TValues local = base, server = base;
        local.V[cfCTelefon] = "0505 111 11 11";     // here only
        server.V[cfEmail] = "yeni@ornek.com";       // there only
        local.V[cfAdres] = server.V[cfAdres] = "X"; // both, the same way
        local.V[cfAd] = "Ali Rıza";                 // both, differently
        server.V[cfAd] = "Aliş";
        const TMergeOutcome m = MergeContact(base.V, local.V, server.V);
        QCOMPARE(m.Values[cfCTelefon], QByteArray("0505 111 11 11"));
        QCOMPARE(m.Values[cfEmail], QByteArray("yeni@ornek.com"));
        QCOMPARE(m.Values[cfAdres], QByteArray("X"));
        QCOMPARE(m.Values[cfAd], QByteArray("Ali Rıza"));
        QCOMPARE(m.Conflicts, std::vector<int>{cfAd});
        // Joined on a first sync: a number or a name written another way is no conflict.
        const TValues here = Values("Ayşe", "Yılmaz", "0532 111 22 33");
        const TValues there = Values("AYŞE", "YILMAZ", "+90 532 111 22 33", "ayse@ornek.com");
        const TMergeOutcome j = JoinContact(here.V, there.V);
        QVERIFY(j.Conflicts.empty());
        QCOMPARE(j.Values[cfAd], QByteArray("Ayşe"));
        QCOMPARE(j.Values[cfEmail], QByteArray("ayse@ornek.com"));
        QCOMPARE(JoinContact(here.V, Values("Ayşe", "Yılmaz", "0532 999 99 99").V).Conflicts, std::vector<int>{cfCTelefon});
    }

    void planFromThreeStates()
    {
        const TValues a = Values("Ali", "Kaya", "0505 000 00 01", "ali@ornek.com");
        const TValues b = Values("Can", "Ak", "0505 000 00 02"), c = Values("Ece", "Su", "0505 000 00 03");
        const TValues d = Values("Efe", "Er", "0505 000 00 04"), e = Values("Nur", "Ay", "0505 000 00 05", "nur@ornek.com");
        std::map<QString, TSyncCardRow> base;
        for (const auto &[no, v] : {std::pair{1, a}, {2, b}, {3, c}, {4, d}, {5, e}}) {
            const TSyncCardRow card = Linked(no, v);
            base[card.Href] = card;
        }
        TSyncDirectory directory;
        TValues aHere = a, dHere = d;
        aHere.V[cfCTelefon] = "0505 111 11 11";
        dHere.V[cfEmail] = "efe@ornek.com";
        // 1 changed on both sides, 2 deleted here, 3 gone there, 4 changed here and gone there,
        // 5 unreadable there, 6 not linked but the same person as a new card, 7 not linked.
        for (const TSyncContact &row : {Row(1, aHere), Row(3, c), Row(4, dHere), Row(5, e), Row(6, Values("Zeki", "Tan", "0532 000 00 06")),
                                        Row(7, Values("Oya", "Ok", "0532 000 00 07"))})
            directory.Rows[row.No] = row;
        directory.Count = 6;

        TSyncListing listing;
        TValues aThere = a;
        aThere.V[cfEmail] = "yeni@ornek.com";
        listing.Cards.Push(QStringLiteral("/book/1.vcf"), "\"2\"", NewCard(aThere.V, "u1", false));
        QByteArray unreadable = base[QStringLiteral("/book/5.vcf")].Base;
        unreadable.replace("N:Ay;Nur", "N;ENCODING=QUOTED-PRINTABLE:Ay=00;Nur");
        listing.Cards.Push(QStringLiteral("/book/5.vcf"), "\"2\"", unreadable);
        listing.Cards.Push(QStringLiteral("/book/new6.vcf"), "\"1\"", NewCard(Values("ZEKİ", "TAN", "+90 532 000 00 06").V, "n6", false));
        listing.Cards.Push(QStringLiteral("/book/new8.vcf"), "\"1\"", NewCard(Values("Ada", "Yel", "0532 000 00 08").V, "n8", false));
        listing.Gone = {QStringLiteral("/book/3.vcf"), QStringLiteral("/book/4.vcf")};

        TSyncPlan plan = PlanSync(base, directory, listing, TCardColumns({50, 50, 20, 20, 20, 50, 0}, {}), {});
        QVERIFY(listing.Cards.Empty());

        const TSyncStep *one = StepOf(plan, 1);
        QVERIFY(one && one->Request == TSyncStep::TRequest::Put && one->WriteRow && one->Conflicts.empty());
        QCOMPARE(one->Row[cfCTelefon], QByteArray("0505 111 11 11"));
        QCOMPARE(one->Row[cfEmail], QByteArray("yeni@ornek.com"));
        QCOMPARE(one->IfMatch, QByteArray("\"2\""));
        QVERIFY(one->Card.contains("0505 111 11 11") && one->Card.contains("yeni@ornek.com"));

        const TSyncStep *two = StepOf(plan, 2);
        QVERIFY(two && two->Request == TSyncStep::TRequest::Delete && two->IfMatch == "\"1\"" && !two->KeepState);
        const TSyncStep *three = StepOf(plan, 3);
        QVERIFY(three && three->Request == TSyncStep::TRequest::None && three->DeleteRow);
        const TSyncStep *four = StepOf(plan, 4);
        QVERIFY(four && four->Request == TSyncStep::TRequest::Put && four->Create && !four->DeleteRow);
        QCOMPARE(four->Conflicts.size(), std::size_t(1));
        QCOMPARE(four->Conflicts[0].Kind, int(TSyncConflict::Kind::ChangedHereDeletedThere));
        QCOMPARE(plan.LocalDeletes, 1);
        QCOMPARE(plan.ServerDeletes, 1);

        // The unreadable card: a problem, the contact and its state as they are, the token kept.
        QVERIFY(plan.Unread);
        QCOMPARE(std::count_if(plan.Steps.begin(), plan.Steps.end(), [](const TSyncStep &s) { return !s.Problems.empty(); }), 1);
        QVERIFY(!StepOf(plan, 5));

        const TSyncStep *six = StepOf(plan, 6);
        QVERIFY(six && six->State.Href == QStringLiteral("/book/new6.vcf") && six->Conflicts.empty());
        QCOMPARE(six->Row[cfAd], QByteArray("Zeki"));
        QCOMPARE(plan.NewCards.Size(), std::size_t(1));
        QCOMPARE(plan.NewCards.Front().Path, QStringLiteral("/book/new8.vcf"));
        QCOMPARE(plan.NewContacts, std::vector<std::int64_t>{7});
        QVERIFY(!plan.MassLocal(6) && !plan.MassServer(5));
        plan.LocalDeletes = 11;
        QVERIFY(plan.MassLocal(21) && !plan.MassLocal(22) && !plan.MassServer(2));
        // Nothing listed: only the local side moves (1 and 4 sent, 2 deleted there).
        TSyncListing none;
        QCOMPARE(PlanSync(base, directory, none, TCardColumns(), {}).Steps.size(), std::size_t(3));
    }

    void multistatusInPieces()
    {
        const QByteArray xml =
            "<?xml version='1.0' encoding='utf-8'?>\n"
            "<x:multistatus xmlns:x='DAV:' xmlns:c='urn:ietf:params:xml:ns:carddav'>"
            "<x:response><x:href>/book/a%20b.vcf</x:href><x:propstat><x:prop><x:getetag>\"e1\"</x:getetag>"
            "<c:address-data>BEGIN:VCARD&#13;\nN:Kılıç;Ali &amp; Veli;;;&#13;\nEND:VCARD&#13;\n</c:address-data>"
            "</x:prop><x:status>HTTP/1.1 200 OK</x:status></x:propstat></x:response>"
            "<x:response><x:href>/book/gone.vcf</x:href><x:status>HTTP/1.1 404 Not Found</x:status></x:response>"
            "<x:response><x:href>/book/refused.vcf</x:href><x:propstat><x:prop><x:getetag/></x:prop>"
            "<x:status>HTTP/1.1 403 Forbidden</x:status></x:propstat></x:response>"
            "<x:sync-token>http://ornek/sync/7</x:sync-token></x:multistatus>";
        for (const int piece : {1, 7, int(xml.size())}) {
            std::vector<TDavResponse> got;
            TMultistatusReader reader([&](TDavResponse &r) {
                got.push_back(r);
                return true;
            });
            for (qsizetype at = 0; at < xml.size(); at += piece)
                QVERIFY(reader.Feed(xml.mid(at, piece)));
            QVERIFY(reader.End());
            QCOMPARE(reader.SyncToken(), QByteArray("http://ornek/sync/7"));
            QCOMPARE(got.size(), std::size_t(3));
            QCOMPARE(got[0].Href, QStringLiteral("/book/a%20b.vcf"));
            QCOMPARE(got[0].ETag, QByteArray("\"e1\""));
            QCOMPARE(got[0].AddressData, QByteArray("BEGIN:VCARD\r\nN:Kılıç;Ali & Veli;;;\r\nEND:VCARD\r\n"));
            QCOMPARE(got[1].Status, 404);
            QVERIFY(!got[2].PropsOk);
        }
        // Cut short, or not a multistatus: said so.
        TMultistatusReader cut([](TDavResponse &) { return true; });
        QVERIFY(cut.Feed(xml.left(xml.size() / 2)));
        QVERIFY(!cut.End());
        QVERIFY(!cut.Problem().isEmpty());
        TMultistatus ms;
        QString problem;
        QVERIFY(!ReadMultistatus("<error xmlns='DAV:'/>", ms, &problem));
        QVERIFY(!problem.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSyncPlan)
#include "tst_sync_plan.moc"
