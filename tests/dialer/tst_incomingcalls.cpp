#include "dialer/LineMessages.h"
#include "dialer/ModemSimulator.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/ModemListener.h"
#include "platform/telephony/ModemSettings.h"
#include "support/TestHome.h"

#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

const QByteArray Ring = "\r\nRING\r\n";

QList<HCALL> OfferedCalls(HLINE line)
{
    QList<HCALL> calls;
    for (const TMessage &m : Messages) {
        if (m.Msg == LINE_APPNEWCALL && m.Device == line)
            calls.push_back(m.Param2);
    }
    return calls;
}

// How many RING reports came, and the count of RINGs the last one gave.
QPair<int, DWORD> RingReports(HLINE line)
{
    QPair<int, DWORD> reports{0, 0};
    for (const TMessage &m : Messages) {
        if (m.Msg == LINE_LINEDEVSTATE && m.Device == line && m.Param1 == LINEDEVSTATE_RINGING)
            reports = {reports.first + 1, m.Param3};
    }
    return reports;
}

bool Has(const TMessage &message)
{
    return Messages.contains(message);
}

struct TCallInfo {
    DWORD Flags = 0xFFFFFFFF;
    QByteArray Number, Name;
};

TCallInfo InfoOf(HCALL call)
{
    alignas(LINECALLINFO) unsigned char buffer[1024] = {};
    auto *info = reinterpret_cast<LINECALLINFO *>(buffer);
    info->dwTotalSize = sizeof buffer;
    TCallInfo result;
    if (lineGetCallInfo(call, info) != 0)
        return result;
    auto text = [&](DWORD size, DWORD offset) { return size ? QByteArray(reinterpret_cast<const char *>(buffer + offset)) : QByteArray(); };
    result.Flags = info->dwCallerIDFlags;
    result.Number = text(info->dwCallerIDSize, info->dwCallerIDOffset);
    result.Name = text(info->dwCallerIDNameSize, info->dwCallerIDNameOffset);
    return result;
}

} // namespace

// The calls a modem offers, as a line opened to watch them sees them.
class TestIncomingCalls : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestHome> FHome;
    std::unique_ptr<TModemSimulator> FModem;
    HLINEAPP FApp = 0;
    HLINE FLine = 0;

    TModemConfig Modem(bool callerId = true, const QString &command = QStringLiteral("AT+VCID=1"))
    {
        TModemConfig c;
        c.Port = FModem->PortName();
        c.Speed = 9600;
        c.InitString = QStringLiteral("ATZ");
        c.DialTimeout = 2;
        c.CallerId = callerId;
        c.CallerIdCommand = command;
        return c;
    }

    // Opens the watching line; returns once the modem got what sets it up
    // after the line check.
    void OpenLine(const TModemConfig &config, const QByteArray &setup)
    {
        SaveModems({config});
        DWORD devices = 0;
        QCOMPARE(lineInitialize(&FApp, nullptr, Record, "tst", &devices), 0);
        const LINECALLPARAMS params = VoiceParams();
        QCOMPARE(lineOpen(FApp, LINEMAPPER, &FLine, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_MONITOR, 0, &params), 0);
        QTRY_COMPARE(FModem->Received(), "AT\r" + setup); // the line check first
        FModem->ClearReceived();
    }

    // The modem rings; returns the call it offers.
    HCALL Rang()
    {
        const qsizetype before = OfferedCalls(FLine).size();
        FModem->Send(Ring);
        [&]() { QTRY_COMPARE(OfferedCalls(FLine).size(), before + 1); }();
        const HCALL call = OfferedCalls(FLine).value(before);
        [&]() { QTRY_VERIFY(Has({call, LINE_CALLSTATE, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE})); }();
        return call;
    }

private Q_SLOTS:
    void initTestCase() { FHome = std::make_unique<TTestHome>(); }

    void init()
    {
        Messages.clear();
        DeliveredInsideServiceCall = DeliveredOnOtherThread = false;
        FModem = std::make_unique<TModemSimulator>();
        QVERIFY(FModem->IsValid());
        SaveDialingLocation(TDialingLocation());
        SaveLineDevice(TLineDevice::Modem);
    }

    void cleanup()
    {
        if (FApp)
            lineShutdown(FApp);
        FApp = FLine = 0;
        QCoreApplication::processEvents();
        FModem.reset();
        QVERIFY(!DeliveredInsideServiceCall);
        QVERIFY(!DeliveredOnOtherThread);
    }

    // The caller ID block between the first two RINGs, in either form.
    void callerIdReachesTheCallInformation_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<DWORD>("flags");
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<QByteArray>("name");
        const QByteArray mdmf = QByteArray(
            "\x01\x08"
            "12080930"
            "\x02\x0B"
            "02123334455"
            "\x07\x06"
            "ALI VE",
            31);
        const QByteArray sdmf =
            "12080930"
            "05051234567";
        auto mesg = [](const QByteArray &hex) { return "MESG = " + hex + "\r\n"; };
        QTest::newRow("formatted") << QByteArray("DATE = 1208\r\nTIME = 0930\r\nNMBR = 05321112233\r\nNAME = AYSE Y\r\n")
                                   << (LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME) << QByteArray("05321112233") << QByteArray("AYSE Y");
        QTest::newRow("withheld") << QByteArray("DATE = 1208\r\nTIME = 0930\r\nNMBR = P\r\n") << LINECALLPARTYID_BLOCKED << QByteArray()
                                  << QByteArray();
        QTest::newRow("unavailable") << QByteArray("NMBR = O\r\n") << LINECALLPARTYID_UNAVAIL << QByteArray() << QByteArray();
        QTest::newRow("not a number") << QByteArray("NMBR = 0532;DROP\r\n") << LINECALLPARTYID_UNKNOWN << QByteArray() << QByteArray();
        QTest::newRow("MDMF") << mesg(TModemSimulator::CallerIdMessage(0x80, mdmf)) << (LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME)
                              << QByteArray("02123334455") << QByteArray("ALI VE");
        QTest::newRow("MDMF, bad checksum") << mesg(TModemSimulator::CallerIdMessage(0x80, mdmf, 1)) << LINECALLPARTYID_UNKNOWN
                                            << QByteArray() << QByteArray();
        QTest::newRow("MDMF, withheld") << mesg(TModemSimulator::CallerIdMessage(0x80, QByteArray("\x04\x01P", 3)))
                                        << LINECALLPARTYID_BLOCKED << QByteArray() << QByteArray();
        QTest::newRow("MDMF, length past the end") << mesg(TModemSimulator::CallerIdMessage(0x80,
                                                                                            QByteArray("\x02\x0B"
                                                                                                       "0212",
                                                                                                       6)))
                                                   << LINECALLPARTYID_UNKNOWN << QByteArray() << QByteArray();
        QTest::newRow("SDMF") << mesg(TModemSimulator::CallerIdMessage(0x04, sdmf)) << LINECALLPARTYID_ADDRESS << QByteArray("05051234567")
                              << QByteArray();
        QTest::newRow("SDMF, cut short") << mesg(TModemSimulator::CallerIdMessage(0x04, sdmf).chopped(2)) << LINECALLPARTYID_UNKNOWN
                                         << QByteArray() << QByteArray();
    }
    void callerIdReachesTheCallInformation()
    {
        QFETCH(QByteArray, block);
        QFETCH(DWORD, flags);
        QFETCH(QByteArray, number);
        QFETCH(QByteArray, name);
        OpenLine(Modem(), "ATZ\rAT+VCID=1\r");
        const HCALL call = Rang();
        QCOMPARE(InfoOf(call).Flags, DWORD(0)); // nothing known yet
        FModem->Send(block + Ring);
        QTRY_VERIFY(Has({call, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID, 0}));
        QTRY_COMPARE(RingReports(FLine).second, DWORD(2));
        const TCallInfo info = InfoOf(call);
        QCOMPARE(info.Flags, flags);
        QCOMPARE(info.Number, number);
        QCOMPARE(info.Name, name);
        QCOMPARE(OfferedCalls(FLine).size(), 1);
        // Only watched: the call cannot be dropped, nor let go while it rings.
        QCOMPARE(lineDrop(call, nullptr, 0), LINEERR_NOTOWNER);
        QCOMPARE(lineDeallocateCall(call), LINEERR_INVALCALLSTATE);
        QCOMPARE(FModem->Received(), QByteArray());
    }

    // Caller ID before the first RING offers the call with it; a part that
    // comes later adds to what is known.
    void callerIdBeforeTheFirstRingAndInParts()
    {
        OpenLine(Modem(), "ATZ\rAT+VCID=1\r");
        FModem->Send("\r\nNMBR = 4441234\r\n");
        QTRY_COMPARE(OfferedCalls(FLine).size(), 1);
        const HCALL call = OfferedCalls(FLine).first();
        QCOMPARE(InfoOf(call).Number, QByteArray("4441234"));
        FModem->Send("\r\nNAME = ECE K\r\n" + Ring);
        QTRY_COMPARE(RingReports(FLine).second, DWORD(1));
        QTRY_VERIFY(Has({call, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID, 0}));
        const TCallInfo info = InfoOf(call);
        QCOMPARE(info.Flags, LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME);
        QCOMPARE(info.Number + '/' + info.Name, QByteArray("4441234/ECE K"));
        QCOMPARE(OfferedCalls(FLine).size(), 1);
    }

    // A flood of RINGs and garbage is counted, not reported line by line;
    // when the RINGs stop the call is idle, and the next RING is a new call.
    void ringFloodIsBoundedAndTheCallEnds()
    {
        OpenLine(Modem(), "ATZ\rAT+VCID=1\r");
        QByteArray flood;
        for (int i = 0; i < 5000; ++i)
            flood += i % 10 == 0 ? QByteArray("\r\nxyzzy = plugh\r\n") + QByteArray(400, 'x') + "\r\n" : Ring;
        FModem->Send(flood);
        QTRY_COMPARE_WITH_TIMEOUT(RingReports(FLine).second, DWORD(4500), 20000);
        QVERIFY(RingReports(FLine).first < 500);
        QCOMPARE(OfferedCalls(FLine).size(), 1);
        const HCALL call = OfferedCalls(FLine).first();
        QCOMPARE(InfoOf(call).Flags, DWORD(0));

        QTRY_VERIFY_WITH_TIMEOUT(HasState(call, LINECALLSTATE_IDLE), 3 * TModemListener::RingGapMs);
        QCOMPARE(lineDeallocateCall(call), 0);
        QCOMPARE(lineDeallocateCall(call), LINEERR_INVALCALLHANDLE);
        QVERIFY(Rang() != call);
    }

    // The caller ID command: the default, one typed by the user, and one the
    // modem refuses, which leaves the line ringing without caller ID and
    // the dial as it always was; after the call the modem is set up again.
    void callerIdCommandAndTheDial_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("refused");
        const QString vcid = QStringLiteral("AT+VCID=1");
        QTest::newRow("default") << vcid << QByteArray("AT+VCID=1") << QByteArray("OK") << false;
        QTest::newRow("typed") << QStringLiteral(" #CID=1 ") << QByteArray("AT#CID=1") << QByteArray("OK") << false;
        QTest::newRow("refused") << vcid << QByteArray("AT+VCID=1") << QByteArray("ERROR") << true;
        QTest::newRow("silent") << vcid << QByteArray("AT+VCID=1") << QByteArray() << true;
    }
    void callerIdCommandAndTheDial()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, answer);
        QFETCH(bool, refused);
        FModem->SetAnswer(sent, answer);
        // RINGs come while the modem dials: the dial goes on undisturbed.
        FModem->SetAnswer("ATD", "RING\r\n\r\nRING\r\n\r\nOK");
        OpenLine(Modem(true, command), "ATZ\r" + sent + '\r');
        const TMessage refusal{FLine, LINE_DEVSPECIFIC, LineCallerIdRefused, 0};
        QTRY_COMPARE_WITH_TIMEOUT(Has(refusal), refused, 10000);

        HCALL call = 0;
        const LINECALLPARAMS params = VoiceParams();
        QVERIFY(lineMakeCall(FLine, &call, "5551212", 0, &params) > 0);
        QTRY_VERIFY(HasState(call, LINECALLSTATE_CONNECTED));
        QCOMPARE(FModem->Received(), QByteArray("ATZ\rATDT5551212;\r"));
        QVERIFY(OfferedCalls(FLine).isEmpty());
        QVERIFY(lineDrop(call, nullptr, 0) > 0);
        QTRY_VERIFY(HasState(call, LINECALLSTATE_IDLE));
        QTRY_COMPARE(FModem->Received(), "ATZ\rATDT5551212;\rATH\rATZ\r" + sent + '\r');
        QCOMPARE(lineDeallocateCall(call), 0);
        QCOMPARE(InfoOf(Rang()).Flags, DWORD(0));
        QCOMPARE(Messages.count(refusal), refused ? 1 : 0); // said once, not after every call
    }

    // Without caller ID the line only listens: the modem gets nothing.
    void withoutCallerIdTheModemIsOnlyListenedTo()
    {
        OpenLine(Modem(false), QByteArray());
        QCOMPARE(InfoOf(Rang()).Flags, DWORD(0));
        QCOMPARE(FModem->Received(), QByteArray());
    }

    // A silent modem is waited for with the event loop running: timers
    // fire (windows paint), while the line's messages wait their turn.
    void waitingForTheModemKeepsTheLoopRunning()
    {
        OpenLine(Modem(false), QByteArray());
        const HCALL offered = Rang();
        Messages.clear();
        FModem->SetSilent(true);
        FModem->Send(Ring);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks]() { ++ticks; });
        ticker.start(10);
        HCALL call = 0;
        const LINECALLPARAMS params = VoiceParams();
        InsideServiceCall = true;
        QCOMPARE(lineMakeCall(FLine, &call, "5551212", 0, &params), LINEERR_RESOURCEUNAVAIL);
        InsideServiceCall = false;
        QVERIFY(ticks > 0);
        QCOMPARE(FModem->Received(), QByteArray("ATZ\r"));
        QTRY_VERIFY(HasState(offered, LINECALLSTATE_IDLE)); // it rang while the modem was ours
    }
};

QTEST_MAIN(TestIncomingCalls)
#include "tst_incomingcalls.moc"
