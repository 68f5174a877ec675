#include "dialer/LineMessages.h"
#include "dialer/ModalDialog.h"
#include "dialer/ModemSimulator.h"
#include "dialer/PhoneHandler.h"
#include "platform/telephony/Tapi.h"
#include "platform/telephony/ModemLink.h"
#include "platform/telephony/ModemSettings.h"
#include "support/TestHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <cstring>
#include <memory>

class TestLineService : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestHome> FHome;
    std::unique_ptr<TModemSimulator> FModem;
    std::unique_ptr<TPhoneHandler> FPhone;
    HLINEAPP FApp = 0;
    HLINE FLine = 0;

    // One modem on the simulator's port, opened as the dialer opens it.
    void OpenLine(const TModemConfig &config)
    {
        SaveModems({config});
        DWORD devices = 0;
        QCOMPARE(lineInitialize(&FApp, nullptr, Record, "tst", &devices), 0);
        QCOMPARE(devices, DWORD(1));
        DWORD version = 0;
        LINEEXTENSIONID ext;
        QCOMPARE(lineNegotiateAPIVersion(FApp, 0, TAPI_VERSION1_4, TAPI_VERSION2_0, &version, &ext), 0);
        const LINECALLPARAMS params = VoiceParams();
        QCOMPARE(lineOpen(FApp, LINEMAPPER, &FLine, version, 0, 0, LINECALLPRIVILEGE_NONE, 0, &params), 0);
        // Opening a modem's line asks the modem whether it is there.
        const bool modem = LoadLineDevice() == TLineDevice::Modem;
        QCOMPARE(FModem->Received(), modem ? QByteArray("AT\r") : QByteArray());
        FModem->ClearReceived();
    }

    TModemConfig Modem(const QByteArray &init = "ATZ", bool pulse = false, int timeout = 1)
    {
        TModemConfig c;
        c.Port = FModem->PortName();
        c.Speed = 9600;
        c.InitString = QString::fromLatin1(init);
        c.Pulse = pulse;
        c.DialTimeout = timeout;
        return c;
    }

    // Places a call; returns its handle and request id.
    QPair<HCALL, LONG> Call(const char *number)
    {
        HCALL call = 0;
        const LINECALLPARAMS params = VoiceParams();
        InsideServiceCall = true;
        const LONG request = lineMakeCall(FLine, &call, number, 0, &params);
        InsideServiceCall = false;
        return {call, request};
    }

    void DropAndDeallocate(HCALL call)
    {
        InsideServiceCall = true;
        const LONG request = lineDrop(call, nullptr, 0);
        InsideServiceCall = false;
        QVERIFY(request > 0);
        QTRY_VERIFY(HasState(call, LINECALLSTATE_IDLE));
        QCOMPARE(ReplyTo(DWORD(request)) <= 0, true);
        QCOMPARE(lineDeallocateCall(call), 0);
        QCOMPARE(lineDeallocateCall(call), LINEERR_INVALCALLHANDLE);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The settings' folder is fixed once per process: one home for all.
        FHome = std::make_unique<TTestHome>();
        FPhone = std::make_unique<TPhoneHandler>();
    }

    void init()
    {
        Messages.clear();
        DeliveredInsideServiceCall = DeliveredOnOtherThread = false;
        FModem = std::make_unique<TModemSimulator>();
        QVERIFY(FModem->IsValid());
        SaveModems({});
        SaveDialingLocation(TDialingLocation());
        SaveLineDevice(TLineDevice::Modem);
        FPhone->Unregister();
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

    void noModemMeansNoDevices()
    {
        DWORD devices = 7;
        QCOMPARE(lineInitialize(&FApp, nullptr, Record, nullptr, &devices), 0);
        QCOMPARE(devices, DWORD(0));
        DWORD version = 0;
        LINEEXTENSIONID ext;
        QCOMPARE(lineNegotiateAPIVersion(FApp, 0, TAPI_VERSION1_4, TAPI_VERSION2_0, &version, &ext), LINEERR_BADDEVICEID);
        const LINECALLPARAMS params = VoiceParams();
        HLINE line = 0;
        QCOMPARE(lineOpen(FApp, LINEMAPPER, &line, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_NONE, 0, &params), LINEERR_LINEMAPPERFAILED);
        QCOMPARE(lineShutdown(FApp), 0);
        QCOMPARE(lineShutdown(FApp), LINEERR_INVALAPPHANDLE);
        FApp = 0;
    }

    void negotiatesHighestCommonVersion_data()
    {
        QTest::addColumn<DWORD>("low");
        QTest::addColumn<DWORD>("high");
        QTest::addColumn<LONG>("result");
        QTest::addColumn<DWORD>("version");
        QTest::newRow("1.4 to 2.0") << DWORD(0x10004) << DWORD(0x20000) << 0 << DWORD(0x20000);
        QTest::newRow("1.4 only") << DWORD(0x10004) << DWORD(0x10004) << 0 << DWORD(0x10004);
        QTest::newRow("1.4 to 3.0") << DWORD(0x10004) << DWORD(0x30000) << 0 << DWORD(0x20000);
        QTest::newRow("above") << DWORD(0x20001) << DWORD(0x30000) << LINEERR_INCOMPATIBLEAPIVERSION << DWORD(0);
        QTest::newRow("below") << DWORD(0x10000) << DWORD(0x10002) << LINEERR_INCOMPATIBLEAPIVERSION << DWORD(0);
    }
    void negotiatesHighestCommonVersion()
    {
        QFETCH(DWORD, low);
        QFETCH(DWORD, high);
        QFETCH(LONG, result);
        QFETCH(DWORD, version);
        SaveModems({Modem(), Modem()});
        DWORD devices = 0;
        QCOMPARE(lineInitialize(&FApp, nullptr, Record, nullptr, &devices), 0);
        QCOMPARE(devices, DWORD(2));
        DWORD agreed = 0;
        LINEEXTENSIONID ext;
        QCOMPARE(lineNegotiateAPIVersion(FApp, 1, low, high, &agreed, &ext), result);
        QCOMPARE(agreed, version);
        QCOMPARE(lineNegotiateAPIVersion(FApp, 2, low, high, &agreed, &ext), LINEERR_BADDEVICEID);
    }

    void mapperRefusesWhatNoModemOffers()
    {
        SaveModems({Modem()});
        DWORD devices = 0;
        QCOMPARE(lineInitialize(&FApp, nullptr, Record, nullptr, &devices), 0);
        HLINE line = 0;
        LINECALLPARAMS fax = VoiceParams(LINEMEDIAMODE_G3FAX);
        QCOMPARE(lineOpen(FApp, LINEMAPPER, &line, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_NONE, 0, &fax), LINEERR_LINEMAPPERFAILED);
        LINECALLPARAMS voice = VoiceParams(LINEMEDIAMODE_INTERACTIVEVOICE);
        QCOMPARE(lineOpen(FApp, LINEMAPPER, &line, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_NONE, 0, &voice), 0);
        QVERIFY(line != 0);
        QCOMPARE(lineClose(line), 0);
        QCOMPARE(lineClose(line), LINEERR_INVALLINEHANDLE);
    }

    void dialsTheCleanedNumberAsAVoiceCall_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<QByteArray>("init");
        QTest::addColumn<bool>("pulse");
        QTest::addColumn<QString>("outside");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("formatting dropped") << QByteArray("0212 555 12 12") << QByteArray("ATZ") << false << QString()
                                            << QByteArray("ATZ\rATDT02125551212;\r");
        QTest::newRow("all formatting") << QByteArray("(0212) 555-12.12/3") << QByteArray("AT&F") << false << QString()
                                        << QByteArray("AT&F\rATDT021255512123;\r");
        QTest::newRow("pulse, no init") << QByteArray("5551212") << QByteArray("") << true << QString() << QByteArray("AT\rATDP5551212;\r");
        QTest::newRow("outside line") << QByteArray("5551212") << QByteArray("ATZ") << false << QStringLiteral("9")
                                      << QByteArray("ATZ\rATDT9,5551212;\r");
        QTest::newRow("canonical, other area") << QByteArray("+90 (312) 1234567") << QByteArray("ATZ") << false << QString()
                                               << QByteArray("ATZ\rATDT03121234567;\r");
        QTest::newRow("canonical, abroad") << QByteArray("+49 (30) 1234567") << QByteArray("ATZ") << false << QString()
                                           << QByteArray("ATZ\rATDT0049301234567;\r");
        QTest::newRow("30 characters") << QByteArray("123456789012345678901234567890") << QByteArray("ATZ") << false << QString()
                                       << QByteArray("ATZ\rATDT123456789012345678901234567890;\r");
    }
    void dialsTheCleanedNumberAsAVoiceCall()
    {
        QFETCH(QByteArray, number);
        QFETCH(QByteArray, init);
        QFETCH(bool, pulse);
        QFETCH(QString, outside);
        QFETCH(QByteArray, bytes);
        TDialingLocation location;
        location.AreaCode = QStringLiteral("212");
        location.OutsideLine = outside;
        SaveDialingLocation(location);
        OpenLine(Modem(init, pulse));
        const auto [call, request] = Call(number.constData());
        QVERIFY(request > 0);
        QVERIFY(call != 0);
        QTRY_VERIFY(HasState(call, LINECALLSTATE_CONNECTED));
        QCOMPARE(FModem->Received(), bytes);
        QCOMPARE(ReplyTo(DWORD(request)), 0);
        const QList<QPair<DWORD, DWORD>> connected{{LINECALLSTATE_DIALING, 0}, {LINECALLSTATE_PROCEEDING, 0}, {LINECALLSTATE_CONNECTED, 0}};
        QCOMPARE(StatesOf(call), connected);

        FModem->ClearReceived();
        DropAndDeallocate(call);
        QCOMPARE(FModem->Received(), QByteArray("ATH\r"));
        const QList<QPair<DWORD, DWORD>> dropped{{LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL}, {LINECALLSTATE_IDLE, 0}};
        QCOMPARE(StatesOf(call).mid(3), dropped);
    }

    void refusesWhatIsNotADialString_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::newRow("carriage return") << QByteArray("123\rATZ");
        QTest::newRow("semicolon and escape") << QByteArray("5;+++ATH");
        QTest::newRow("AT command") << QByteArray("ATDT123");
        QTest::newRow("letters") << QByteArray("0212 ABC");
        QTest::newRow("line feed") << QByteArray("123\n");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("only formatting") << QByteArray(" - ");
        QTest::newRow("31 characters") << QByteArray("1234567890123456789012345678901");
        QTest::newRow("non-ascii") << QByteArray("５５５");
    }
    void refusesWhatIsNotADialString()
    {
        QFETCH(QByteArray, number);
        OpenLine(Modem());
        const auto [call, request] = Call(number.constData());
        QCOMPARE(request, LINEERR_INVALADDRESS);
        QCOMPARE(call, HCALL(0));
        // The address is refused before anything is queued for the modem.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(FModem->Received(), QByteArray());
        QVERIFY(Messages.isEmpty());
    }

    void modemResultCodesEndTheCall_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("busyState");
        QTest::addColumn<DWORD>("mode");
        QTest::newRow("BUSY") << QByteArray("BUSY") << true << LINEDISCONNECTMODE_BUSY;
        QTest::newRow("NO CARRIER") << QByteArray("NO CARRIER") << false << LINEDISCONNECTMODE_NORMAL;
        QTest::newRow("NO DIALTONE") << QByteArray("NO DIALTONE") << false << LINEDISCONNECTMODE_NODIALTONE;
        QTest::newRow("NO ANSWER") << QByteArray("NO ANSWER") << false << LINEDISCONNECTMODE_NOANSWER;
        QTest::newRow("ERROR") << QByteArray("ERROR") << false << LINEDISCONNECTMODE_UNAVAIL;
    }
    void modemResultCodesEndTheCall()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, busyState);
        QFETCH(DWORD, mode);
        FModem->SetEcho(true);
        FModem->SetAnswer("ATD", answer);
        OpenLine(Modem());
        const auto [call, request] = Call("5551212");
        QTRY_VERIFY(HasState(call, LINECALLSTATE_DISCONNECTED));
        QCOMPARE(ReplyTo(DWORD(request)), 0);
        QList<QPair<DWORD, DWORD>> expected{{LINECALLSTATE_DIALING, 0}, {LINECALLSTATE_PROCEEDING, 0}};
        if (busyState)
            expected.push_back({LINECALLSTATE_BUSY, LINEBUSYMODE_STATION});
        expected.push_back({LINECALLSTATE_DISCONNECTED, mode});
        QCOMPARE(StatesOf(call), expected);
        // The modem is back on hook: a drop sends nothing and ends the call.
        FModem->ClearReceived();
        DropAndDeallocate(call);
        QCOMPARE(FModem->Received(), QByteArray());
        QCOMPARE(StatesOf(call).size(), expected.size() + 1);
    }

    // A modem that is not there, stays silent or sends only noise: the line
    // is not opened, and on a line opened before, the call is refused at
    // once with nothing posted; once it answers again it dials.
    void modemThatCannotCallIsRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("port gone") << QStringLiteral("gone");
        QTest::newRow("silent") << QStringLiteral("silent");
        QTest::newRow("noise") << QStringLiteral("noise");
    }
    void modemThatCannotCallIsRefusedAtOnce()
    {
        QFETCH(QString, fault);
        auto breakModem = [&](bool broken) {
            TModemConfig config = Modem();
            if (fault == u"gone" && broken)
                config.Port = FHome->FilePath(QStringLiteral("ttyUSB9"));
            SaveModems({config});
            FModem->SetSilent(fault == u"silent" && broken);
            FModem->SetFlood("AT", fault == u"noise" && broken ? 1 << 20 : 0);
        };
        breakModem(true);
        DWORD devices = 0;
        QCOMPARE(lineInitialize(&FApp, nullptr, Record, "tst", &devices), 0);
        const LINECALLPARAMS params = VoiceParams();
        HLINE line = 0;
        QCOMPARE(lineOpen(FApp, LINEMAPPER, &line, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_NONE, 0, &params), LINEERR_LINEMAPPERFAILED);
        QCOMPARE(lineOpen(FApp, 0, &line, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_NONE, 0, &params), LINEERR_RESOURCEUNAVAIL);
        QCOMPARE(line, HLINE(0));
        lineShutdown(FApp);

        breakModem(false);
        FModem->ClearReceived();
        OpenLine(Modem());
        breakModem(true); // unplugged while the line is open
        const auto [refused, failure] = Call("5551212");
        QCOMPARE(failure, LINEERR_RESOURCEUNAVAIL);
        QCOMPARE(refused, HCALL(0));
        QVERIFY(!FModem->Received().contains("ATD"));
        QCoreApplication::processEvents();
        QVERIFY(Messages.isEmpty());

        breakModem(false); // plugged in again: the same line dials
        const auto [call, request] = Call("5551212");
        QVERIFY(request > 0);
        QTRY_VERIFY(HasState(call, LINECALLSTATE_CONNECTED));
        QVERIFY(FModem->Received().endsWith("ATZ\rATDT5551212;\r"));
        DropAndDeallocate(call);
    }

    // Noise without line ends is dropped beyond a reply's length and
    // counted; a result code after it is still understood.
    void noiseIsBoundedAndDropped()
    {
        FModem->SetFlood("ATI", 2 << 20);
        TModemLink link;
        QVERIFY(link.Open(Modem()));
        QSignalSpy timedOut(&link, &TModemLink::TimedOut);
        QSignalSpy answered(&link, &TModemLink::Answered);
        link.Command("ATI3", 1000);
        QTRY_COMPARE_WITH_TIMEOUT(timedOut.count(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(link.DroppedBytes() + link.UnfinishedBytes(), qint64(2 << 20), 20000);
        QCOMPARE(FModem->Flooded(), qint64(2 << 20));
        QCOMPARE(link.UnfinishedBytes(), TModemLink::MaxReplyLength);
        QVERIFY(answered.isEmpty());
        link.Command("AT", 1000);
        QTRY_COMPARE(answered.count(), 1);
        QCOMPARE(answered.at(0).at(1).toString(), QStringLiteral("OK"));
        QCOMPARE(link.UnfinishedBytes(), 0);
    }

    void modemSilentAfterDialingIsPutOnHook_data()
    {
        QTest::addColumn<bool>("noise");
        QTest::newRow("silence") << false;
        QTest::newRow("noise") << true;
    }
    void modemSilentAfterDialingIsPutOnHook()
    {
        QFETCH(bool, noise);
        FModem->SetAnswer("ATD", "");
        if (noise)
            FModem->SetFlood("ATD", 2 << 20);
        OpenLine(Modem("ATZ", false, 1));
        const auto [call, request] = Call("5551212");
        QTRY_VERIFY_WITH_TIMEOUT(HasState(call, LINECALLSTATE_DISCONNECTED), 20000);
        QCOMPARE(ReplyTo(DWORD(request)), 0);
        QCOMPARE(StatesOf(call).last(), qMakePair(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER));
        QTRY_COMPARE_WITH_TIMEOUT(FModem->Received(), QByteArray("ATZ\rATDT5551212;\r\rATH\r"), 20000);
        DropAndDeallocate(call);
    }

    void dropWhileDialingAbortsTheDial()
    {
        FModem->SetAnswer("ATD", "");
        OpenLine(Modem("ATZ", false, 30));
        const auto [call, request] = Call("5551212");
        QTRY_VERIFY(HasState(call, LINECALLSTATE_PROCEEDING));
        DropAndDeallocate(call);
        QCOMPARE(FModem->Received(), QByteArray("ATZ\rATDT5551212;\r\rATH\r"));
        QCOMPARE(StatesOf(call).mid(2),
                 (QList<QPair<DWORD, DWORD>>{{LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL}, {LINECALLSTATE_IDLE, 0}}));
    }

    void dropLeavesDataModeFirst()
    {
        FModem->SetAnswer("ATD", "CONNECT 9600");
        OpenLine(Modem());
        const auto [call, request] = Call("5551212");
        QTRY_VERIFY(HasState(call, LINECALLSTATE_CONNECTED));
        FModem->ClearReceived();
        DropAndDeallocate(call);
        QCOMPARE(FModem->Received(), QByteArray("+++ATH\r"));
    }

    void oneCallAtATimePerModem()
    {
        OpenLine(Modem());
        const auto [call, request] = Call("5551212");
        QVERIFY(request > 0);
        HCALL second = 0;
        const LINECALLPARAMS params = VoiceParams();
        QCOMPARE(lineMakeCall(FLine, &second, "5551213", 0, &params), LINEERR_CALLUNAVAIL);
        QTRY_VERIFY(HasState(call, LINECALLSTATE_CONNECTED));
        DropAndDeallocate(call);
        QVERIFY(lineMakeCall(FLine, &second, "5551213", 0, &params) > 0);
        QTRY_VERIFY(HasState(second, LINECALLSTATE_CONNECTED));
    }

    void callInfoCarriesTheApplicationName()
    {
        OpenLine(Modem());
        const auto [call, request] = Call("0212 555 12 12");
        QTRY_VERIFY(HasState(call, LINECALLSTATE_CONNECTED));

        alignas(LINECALLINFO) unsigned char buffer[1024];
        auto *info = reinterpret_cast<LINECALLINFO *>(buffer);
        info->dwTotalSize = sizeof buffer;
        QCOMPARE(lineGetCallInfo(call, info), 0);
        QCOMPARE(info->dwTotalSize, DWORD(sizeof buffer));
        QCOMPARE(info->hLine, FLine);
        QCOMPARE(info->dwAppNameSize, DWORD(4));
        QVERIFY(info->dwAppNameOffset >= sizeof(LINECALLINFO));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer + info->dwAppNameOffset)), QByteArray("tst"));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer + info->dwDisplayableAddressOffset)), QByteArray("02125551212"));
        QCOMPARE(info->dwUsedSize, DWORD(sizeof(LINECALLINFO) + 4 + 12));
        QCOMPARE(info->dwNeededSize, info->dwUsedSize);

        // A record with room for the fixed part only says how much it needs.
        alignas(LINECALLINFO) unsigned char small[sizeof(LINECALLINFO)];
        info = reinterpret_cast<LINECALLINFO *>(small);
        info->dwTotalSize = sizeof small;
        QCOMPARE(lineGetCallInfo(call, info), 0);
        QCOMPARE(info->dwAppNameSize, DWORD(0));
        QCOMPARE(info->dwUsedSize, DWORD(sizeof small));
        QCOMPARE(info->dwNeededSize, DWORD(sizeof(LINECALLINFO) + 4 + 12));
        info->dwTotalSize = sizeof small - 1;
        QCOMPARE(lineGetCallInfo(call, info), LINEERR_STRUCTURETOOSMALL);
    }

    void shutdownHangsUpAndStopsMessages()
    {
        OpenLine(Modem());
        const auto [call, request] = Call("5551212");
        QTRY_VERIFY(HasState(call, LINECALLSTATE_CONNECTED));
        const qsizetype before = Messages.size();
        FModem->ClearReceived();
        QCOMPARE(lineShutdown(FApp), 0);
        FApp = 0;
        QTRY_COMPARE(FModem->Received(), QByteArray("ATH\r"));
        QTest::qWait(50);
        QCOMPARE(Messages.size(), before);
        QCOMPARE(lineDrop(call, nullptr, 0), LINEERR_INVALCALLHANDLE);
        QCOMPARE(lineMakeCall(FLine, nullptr, "1", 0, nullptr), LINEERR_INVALLINEHANDLE);
    }

    void configDialogAddsTheFirstModem()
    {
        QString answer;
        WhenDialogOpens([&](QDialog *dialog) {
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Modem Ayarları"));
            // Every label has its Alt+letter; a port that is no port is told in Turkish.
            for (const QLabel *label : dialog->findChildren<QLabel *>())
                QVERIFY(!label->buddy() || label->text().contains(u'&'));
            auto *label = dialog->findChild<QLabel *>(QStringLiteral("answerLabel"));
            dialog->findChild<QComboBox *>(QStringLiteral("portBox"))->setEditText(QDir::tempPath());
            dialog->findChild<QPushButton *>(QStringLiteral("testButton"))->click();
            QCOMPARE(label->text(), QStringLiteral("Port açılamadı: bu bir klasör"));
            dialog->findChild<QComboBox *>(QStringLiteral("portBox"))->setEditText(FModem->PortName());
            dialog->findChild<QComboBox *>(QStringLiteral("speedBox"))->setCurrentText(QStringLiteral("57600"));
            dialog->findChild<QLineEdit *>(QStringLiteral("initEdit"))->setText(QStringLiteral("AT&F"));
            dialog->findChild<QRadioButton *>(QStringLiteral("pulseButton"))->setChecked(true);
            dialog->findChild<QSpinBox *>(QStringLiteral("timeoutBox"))->setValue(45);
            QVERIFY(dialog->findChild<QCheckBox *>(QStringLiteral("callerIdBox"))->isChecked());
            dialog->findChild<QLineEdit *>(QStringLiteral("callerIdEdit"))->setText(QStringLiteral("AT#CID=1"));
            dialog->findChild<QPushButton *>(QStringLiteral("testButton"))->click();
            QTRY_COMPARE(label->text(), QStringLiteral("OK"));
            answer = label->text();
            dialog->accept();
        });
        QCOMPARE(lineConfigDialog(0, nullptr, "comm/datamodem"), 0);
        QCOMPARE(answer, QStringLiteral("OK"));
        QCOMPARE(FModem->Received(), QByteArray("AT\r"));
        const QList<TModemConfig> modems = LoadModems();
        QCOMPARE(modems.size(), 1);
        QCOMPARE(modems[0].Port, FModem->PortName());
        QCOMPARE(modems[0].Speed, 57600);
        QCOMPARE(modems[0].InitString, QStringLiteral("AT&F"));
        QVERIFY(modems[0].Pulse);
        QCOMPARE(modems[0].DialTimeout, 45);
        QVERIFY(modems[0].CallerId);
        QCOMPARE(modems[0].CallerIdCommand, QStringLiteral("AT#CID=1"));

        // Cancelling keeps what was stored; an unknown class or device is refused.
        WhenDialogOpens([](QDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("initEdit"))->setText(QStringLiteral("ATX"));
            dialog->reject();
        });
        QCOMPARE(lineConfigDialog(0, nullptr, "comm/datamodem"), 0);
        QCOMPARE(LoadModems()[0].InitString, QStringLiteral("AT&F"));
        QCOMPARE(lineConfigDialog(0, nullptr, "wave/in"), LINEERR_INVALDEVICECLASS);
        QCOMPARE(lineConfigDialog(1, nullptr, "comm/datamodem"), LINEERR_BADDEVICEID);

        // The phone application chosen: the modem's settings stay as they were.
        bool portLocked = false;
        WhenDialogOpens([&](QDialog *dialog) {
            auto *device = dialog->findChild<QComboBox *>(QStringLiteral("deviceBox"));
            QCOMPARE(device->currentIndex(), 0);
            device->setCurrentIndex(1);
            portLocked = !dialog->findChild<QComboBox *>(QStringLiteral("portBox"))->isEnabled();
            dialog->accept();
        });
        QCOMPARE(lineConfigDialog(0, nullptr, "comm/datamodem"), 0);
        QVERIFY(portLocked);
        QCOMPARE(LoadLineDevice(), TLineDevice::PhoneApplication);
        QCOMPARE(LoadModems().size(), 1);
        QCOMPARE(LoadModems()[0].InitString, QStringLiteral("AT&F"));
    }

    // The phone application gets the number as a tel: link; the call is
    // then idle here, and there is nothing to hang up.
    void handsTheTelLinkToThePhoneApplication_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<QString>("area");
        QTest::addColumn<QByteArray>("uri"); // empty: refused
        const QString none;
        const QString istanbul = QStringLiteral("212");
        QTest::newRow("canonical") << QByteArray("+90 (212) 555 12 12") << none << QByteArray("tel:+902125551212");
        QTest::newRow("canonical abroad") << QByteArray("+49 (30) 1234567") << istanbul << QByteArray("tel:+49301234567");
        QTest::newRow("national") << QByteArray("0532 111 22 33") << none << QByteArray("tel:+905321112233");
        QTest::newRow("international") << QByteArray("0049-30-1234567") << none << QByteArray("tel:+49301234567");
        QTest::newRow("subscriber, area known") << QByteArray("555 12 12") << istanbul << QByteArray("tel:+902125551212");
        QTest::newRow("subscriber, no area") << QByteArray("555 12 12") << none << QByteArray("tel:5551212;phone-context=+90");
        QTest::newRow("service code") << QByteArray("*123#") << istanbul << QByteArray("tel:*123%23;phone-context=+90");
        QTest::newRow("nationwide, no area code") << QByteArray("444 1 234") << istanbul << QByteArray("tel:+904441234");
        QTest::newRow("emergency") << QByteArray("112") << istanbul << QByteArray("tel:112;phone-context=+90");
        QTest::newRow("pause") << QByteArray("9,5551212") << none << QByteArray();
        QTest::newRow("letters") << QByteArray("0212 ABC") << none << QByteArray();
        QTest::newRow("plus inside") << QByteArray("12+34") << none << QByteArray();
    }
    void handsTheTelLinkToThePhoneApplication()
    {
        QFETCH(QByteArray, number);
        QFETCH(QString, area);
        QFETCH(QByteArray, uri);
        TDialingLocation location;
        location.AreaCode = area;
        SaveDialingLocation(location);
        FPhone->Register();
        SaveLineDevice(TLineDevice::PhoneApplication);
        OpenLine(Modem()); // the modem's settings are kept, but unused
        const QByteArray before = FPhone->Received();
        const auto [call, request] = Call(number.constData());
        if (uri.isEmpty()) {
            QCOMPARE(request, LINEERR_INVALADDRESS);
            QCoreApplication::processEvents();
            QVERIFY(Messages.isEmpty());
            QCOMPARE(FPhone->Received(), before);
            return;
        }
        QVERIFY(request > 0);
        QTRY_COMPARE(FPhone->Received(), before + uri + '\n');
        QTRY_VERIFY(HasState(call, LINECALLSTATE_IDLE));
        QCOMPARE(Messages.size(), 2);
        QCOMPARE(ReplyTo(DWORD(request)), 0);
        QCOMPARE(Messages[0].Msg, LINE_REPLY);
        QCOMPARE(lineDrop(call, nullptr, 0), LINEERR_INVALCALLSTATE);
        QCOMPARE(lineDeallocateCall(call), 0);
        QCOMPARE(FModem->Received(), QByteArray());
    }

    // No application registered for tel: links, or one that cannot start:
    // the line does not open, or the call is refused at once.
    void phoneApplicationMissingFailsAtOnce()
    {
        const QByteArray before = FPhone->Received();
        SaveLineDevice(TLineDevice::PhoneApplication);
        DWORD devices = 0;
        QCOMPARE(lineInitialize(&FApp, nullptr, Record, "tst", &devices), 0);
        QCOMPARE(devices, DWORD(1));
        const LINECALLPARAMS params = VoiceParams();
        QCOMPARE(lineOpen(FApp, LINEMAPPER, &FLine, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_NONE, 0, &params), LINEERR_LINEMAPPERFAILED);
        FPhone->Register(false);
        QCOMPARE(lineOpen(FApp, LINEMAPPER, &FLine, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_NONE, 0, &params), 0);
        const auto [call, request] = Call("0532 111 22 33");
        QCOMPARE(request, LINEERR_OPERATIONFAILED);
        FPhone->Unregister();
        QCOMPARE(Call("0532 111 22 33").second, LINEERR_OPERATIONFAILED);
        QCoreApplication::processEvents();
        QVERIFY(Messages.isEmpty());
        QCOMPARE(FPhone->Received(), before);
    }

    void translateDialogKeepsTheLocation()
    {
        QString shown;
        WhenDialogOpens([&](QDialog *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Konum Seçenekleri"));
            QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("numberLabel"))->text(), QStringLiteral("+90 (212) 555 12 12"));
            dialog->findChild<QLineEdit *>(QStringLiteral("areaEdit"))->setText(QStringLiteral("312"));
            dialog->findChild<QLineEdit *>(QStringLiteral("outsideEdit"))->setText(QStringLiteral("0"));
            shown = dialog->findChild<QLabel *>(QStringLiteral("dialableLabel"))->text();
            dialog->accept();
        });
        QCOMPARE(lineTranslateDialog(0, 0, TAPI_VERSION1_4, nullptr, "+90 (212) 555 12 12"), 0);
        QCOMPARE(shown, QStringLiteral("0,02125551212"));
        const TDialingLocation location = LoadDialingLocation();
        QCOMPARE(location.AreaCode, QStringLiteral("312"));
        QCOMPARE(location.OutsideLine, QStringLiteral("0"));
        QCOMPARE(location.CountryCode, QStringLiteral("90"));
        QCOMPARE(lineTranslateDialog(0, 0, 0x00010000, nullptr, "1"), LINEERR_INCOMPATIBLEAPIVERSION);
        QCOMPARE(lineTranslateDialog(0x7777, 0, TAPI_VERSION1_4, nullptr, "1"), LINEERR_INVALAPPHANDLE);
    }
};

QTEST_MAIN(TestLineService)
#include "tst_lineservice.moc"
