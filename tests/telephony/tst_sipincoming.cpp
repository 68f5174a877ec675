#include "platform/telephony/LineService.h"
#include "support/TestHome.h"
#include "support/SipOffice.h"

#include <QtTest>
#include <memory>

namespace {

struct TOffered {
    HCALL Call = 0;
    DWORD EndMode = 0; // the DISCONNECTED state's detail
    bool Idle = false;
    DWORD Flags = 0;
    QByteArray Number, Name;
};
QList<TOffered> Offered;

void ReadCallerId(TOffered &offered)
{
    alignas(LINECALLINFO) unsigned char buffer[1024] = {};
    auto *info = reinterpret_cast<LINECALLINFO *>(buffer);
    info->dwTotalSize = sizeof buffer;
    if (lineGetCallInfo(offered.Call, info) != 0)
        return;
    auto text = [&](DWORD size, DWORD offset) { return size ? QByteArray(reinterpret_cast<const char *>(buffer + offset)) : QByteArray(); };
    offered.Flags = info->dwCallerIDFlags;
    offered.Number = text(info->dwCallerIDSize, info->dwCallerIDOffset);
    offered.Name = text(info->dwCallerIDNameSize, info->dwCallerIDNameOffset);
}

void Record(DWORD device, DWORD msg, DWORD, DWORD p1, DWORD p2, DWORD)
{
    if (msg == LINE_APPNEWCALL) {
        TOffered offered;
        offered.Call = p2;
        Offered.push_back(offered);
    }
    for (TOffered &o : Offered) {
        if (o.Call != device)
            continue;
        if (msg == LINE_CALLINFO && (p1 & LINECALLINFOSTATE_CALLERID))
            ReadCallerId(o);
        if (msg == LINE_CALLSTATE && p1 == LINECALLSTATE_DISCONNECTED)
            o.EndMode = p2;
        if (msg == LINE_CALLSTATE && p1 == LINECALLSTATE_IDLE)
            o.Idle = true;
    }
}

} // namespace

// The calls the server offers to the user's extension, as the program's
// watching line sees them beside the desk phone.
class TestSipIncoming : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestHome> FHome;
    std::unique_ptr<TSipOffice> FOffice;
    HLINEAPP FApp = 0;

    // Calls the extension as caller does; the call the program saw.
    TOffered Offer(const QByteArray &identity, bool waitForAnswer, int *callerExit)
    {
        Offered.clear();
        TSipp caller(SippCaller(identity, waitForAnswer), 0, {QStringLiteral("-s"), TSipOffice::kDesk, FOffice->Server()});
        *callerExit = caller.Finish();
        [[maybe_unused]] const bool idle = QTest::qWaitFor([]() { return !Offered.isEmpty() && Offered.constFirst().Idle; }, 10000);
        if (Offered.size() != 1)
            return TOffered{};
        const TOffered offered = Offered.constFirst();
        lineDeallocateCall(offered.Call);
        return offered;
    }

private Q_SLOTS:
    void init()
    {
        FHome = std::make_unique<TTestHome>();
        FOffice = std::make_unique<TSipOffice>();
        QVERIFY(FOffice->Running());
        FOffice->UseAsLine(TSipOffice::kDesk);
        DWORD devices = 0;
        HLINE line = 0;
        QCOMPARE(lineInitialize(&FApp, nullptr, Record, "tst", &devices), 0);
        QCOMPARE(lineOpen(FApp, 0, &line, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr), 0);
    }
    void cleanup()
    {
        lineShutdown(FApp);
        FOffice.reset();
        FHome.reset();
    }

    // A desk phone that rings: the caller who gives up is a missed call,
    // known by the identity the server asserts, else by From; an anonymous
    // caller has a withheld number.
    void missedCallsShowTheCaller()
    {
        TDeskPhone desk(*FOffice, TSipOffice::kDesk, TSipOffice::kDeskPassword, false);
        QVERIFY2(desk.Registered(), desk.Output().constData());
        QTRY_COMPARE_WITH_TIMEOUT(FOffice->Contacts(TSipOffice::kDesk), 2, 10000);
        int exit = -1;
        TOffered asserted = Offer(
            "P-Asserted-Identity: \"Ayse Yilmaz\" <sip:+90-505-123-4567@[local_ip]>\n"
            "From: \"Santral\" <sip:trunk@[local_ip]:[local_port]>",
            false, &exit);
        QCOMPARE(asserted.Number, QByteArray("+905051234567"));
        QCOMPARE(asserted.Name, QByteArray("Ayse Yilmaz"));
        QCOMPARE(asserted.Flags, DWORD(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME));
        QCOMPARE(asserted.EndMode, DWORD(LINEDISCONNECTMODE_NOANSWER));
        QVERIFY(asserted.Idle);

        const TOffered from = Offer("From: <sip:02123334455@[local_ip]:[local_port]>", false, &exit);
        QCOMPARE(from.Number, QByteArray("02123334455"));
        QCOMPARE(from.Flags, DWORD(LINECALLPARTYID_ADDRESS));
        const TOffered anonymous = Offer("From: \"Anonymous\" <sip:anonymous@anonymous.invalid>", false, &exit);
        QCOMPARE(anonymous.Flags, DWORD(LINECALLPARTYID_BLOCKED));
        QVERIFY(anonymous.Number.isEmpty());
    }

    // The desk phone answers while the program's part only rings: the call
    // goes through and the program records it as answered.
    void theDeskPhoneAnswersBesideTheProgram()
    {
        TDeskPhone desk(*FOffice, TSipOffice::kDesk, TSipOffice::kDeskPassword, true);
        QVERIFY2(desk.Registered(), desk.Output().constData());
        QTRY_COMPARE_WITH_TIMEOUT(FOffice->Contacts(TSipOffice::kDesk), 2, 10000);
        int exit = -1;
        const TOffered answered = Offer("From: \"Mehmet\" <sip:05321112233@[local_ip]:[local_port]>", true, &exit);
        QCOMPARE(exit, 0);
        QCOMPARE(answered.Number, QByteArray("05321112233"));
        QCOMPARE(answered.EndMode, DWORD(LINEDISCONNECTMODE_PICKUP));
        QVERIFY(desk.Output().contains("Call established"));
    }
};

QTEST_MAIN(TestSipIncoming)
#include "tst_sipincoming.moc"
