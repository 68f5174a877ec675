#include "platform/telephony/LineService.h"
#include "support/TestHome.h"
#include "support/SipOffice.h"

#include <QUdpSocket>
#include <QtTest>
#include <memory>

namespace {

QList<QPair<DWORD, DWORD>> States; // of the call: state, detail
HCALL Watched = 0;
int Offers = 0; // calls offered to the watching line

void Record(DWORD device, DWORD msg, DWORD, DWORD p1, DWORD p2, DWORD)
{
    Offers += msg == LINE_APPNEWCALL ? 1 : 0;
    if (msg == LINE_CALLSTATE && device == Watched)
        States.push_back({p1, p2});
}

} // namespace

// Calls placed through the desk phone of the SIP device: it answers, takes
// the transfer to the number and tells how the number answered.
class TestSipCalls : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestHome> FHome;
    std::unique_ptr<TSipOffice> FOffice;
    HLINEAPP FApp = 0;
    HLINE FLine = 0;

    void OpenLine(const QString &extension)
    {
        FOffice->UseAsLine(extension, 5);
        DWORD devices = 0;
        QCOMPARE(lineInitialize(&FApp, nullptr, Record, "tst", &devices), 0);
        QCOMPARE(lineOpen(FApp, 0, &FLine, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr), 0);
    }

    // Dials number, waits for the call's outcome and drops it, as the dial
    // box does when closed; the call's states.
    QList<QPair<DWORD, DWORD>> Dial(const char *number)
    {
        States.clear();
        HCALL call = 0;
        const LONG request = lineMakeCall(FLine, &call, number, 0, nullptr);
        Watched = call;
        if (request <= 0)
            return {};
        const DWORD final = LINECALLSTATE_CONNECTED | LINECALLSTATE_BUSY | LINECALLSTATE_DISCONNECTED;
        (void)QTest::qWaitFor([final]() { return !States.isEmpty() && (States.constLast().first & final); }, 30000);
        lineDrop(call, nullptr, 0);
        (void)QTest::qWaitFor([]() { return States.constLast().first == LINECALLSTATE_IDLE; }, 10000);
        lineDeallocateCall(call);
        return States;
    }

private Q_SLOTS:
    void init()
    {
        FHome = std::make_unique<TTestHome>();
        FOffice = std::make_unique<TSipOffice>();
        QVERIFY(FOffice->Running());
    }
    void cleanup()
    {
        lineShutdown(FApp);
        FOffice.reset();
        FHome.reset();
    }

    // The desk phone answers and calls the number as the location rules
    // make it; the number's answer, busy, declining or not answering is the
    // call's outcome.
    void dialsThroughTheDeskPhone()
    {
        OpenLine(TSipOffice::kDesk);
        using TStates = QList<QPair<DWORD, DWORD>>;
        const struct {
            QList<int> FarEnd;
            const char *Number, *Dialled;
            QPair<DWORD, DWORD> Outcome;
        } cases[] = {
            {{180, 200}, "+90 (212) 5551212", "02125551212", {LINECALLSTATE_CONNECTED, 0}},
            {{486}, "0212 555 12 13", "02125551213", {LINECALLSTATE_BUSY, LINEBUSYMODE_STATION}},
            {{180, 603}, "0212 555 12 14", "02125551214", {LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT}},
            // Rings and rings: the program stops following after twice the dial timeout.
            {{180}, "0212 555 12 15", "02125551215", {LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER}},
        };
        for (const auto &c : cases) {
            // baresip keeps the transferred call up: each case has a desk
            // phone of its own.
            TDeskPhone desk(*FOffice, TSipOffice::kDesk, TSipOffice::kDeskPassword, true);
            QVERIFY2(desk.Registered(), desk.Output().constData());
            QTRY_VERIFY_WITH_TIMEOUT(FOffice->Contacts(TSipOffice::kDesk) >= 2, 10000);
            TSipp farEnd(SippFarEnd(c.FarEnd), FOffice->GatewayPort(), {});
            const TStates states = Dial(c.Number);
            QCOMPARE(states.mid(0, 3), (TStates{{LINECALLSTATE_DIALING, 0}, {LINECALLSTATE_PROCEEDING, 0}, c.Outcome}));
            QCOMPARE(states.constLast(), (QPair<DWORD, DWORD>{LINECALLSTATE_IDLE, 0}));
            QVERIFY2(farEnd.Messages().contains("INVITE sip:" + QByteArray(c.Dialled) + '@'), farEnd.Messages().constData());
        }
        // The program's own call reaches it as a device of the extension
        // too: it is never shown as a call offered.
        QCOMPARE(Offers, 0);
    }

    // A desk phone that only rings: closing the box before it is lifted
    // cancels the call and the number is never dialled; left ringing, the
    // call ends unanswered after the dial timeout. Without the program's
    // registration nothing is placed.
    void cancelsBeforeTheDeskPhoneAnswers()
    {
        TDeskPhone desk(*FOffice, TSipOffice::kOther, TSipOffice::kOtherPassword, false);
        QVERIFY2(desk.Registered(), desk.Output().constData());
        OpenLine(TSipOffice::kOther);
        QTRY_COMPARE_WITH_TIMEOUT(FOffice->Contacts(TSipOffice::kOther), 2, 10000);
        QUdpSocket outside;
        QVERIFY(outside.bind(QHostAddress::LocalHost, FOffice->GatewayPort()));

        States.clear();
        HCALL call = 0;
        QVERIFY(lineMakeCall(FLine, &call, "0212 555 12 15", 0, nullptr) > 0);
        Watched = call;
        QVERIFY(desk.WaitFor("Incoming call"));
        QVERIFY(lineDrop(call, nullptr, 0) > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!States.isEmpty() && States.constLast().first == LINECALLSTATE_IDLE, 10000);
        QCOMPARE(States.at(States.size() - 2), (QPair<DWORD, DWORD>{LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL}));
        QCOMPARE(lineDeallocateCall(call), 0);
        QVERIFY(!desk.Output().contains("transferring"));

        QCOMPARE(Dial("0212 555 12 16").constLast(), (QPair<DWORD, DWORD>{LINECALLSTATE_IDLE, 0}));
        QCOMPARE(States.at(States.size() - 2), (QPair<DWORD, DWORD>{LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER}));
        QTest::qWait(200);
        QVERIFY(!outside.hasPendingDatagrams());
    }
};

QTEST_MAIN(TestSipCalls)
#include "tst_sipcalls.moc"
