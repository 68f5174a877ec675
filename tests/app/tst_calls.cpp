// Incoming calls in the window: "Gelen Arama" for each kind of caller, the
// grid at the caller, a new contact from the number, the log of received
// calls (a user who may only read logs nothing), the desktop notification
// on a private session bus; and a tel: link handed over by a second start
// of the program, dialled through the simulated modem.
#include "FormFixture.h"

#include "app/CallLog.h"
#include "app/IncomingCallForm.h"
#include "app/SingleInstance.h"
#include "app/TelLink.h"
#include "dialer/ModemSimulator.h"
#include "dialer/PhoneHandler.h"
#include "dialer/TapiStatus.h"
#include "platform/core/PlatformSettings.h"
#include "platform/telephony/LineServiceState.h"
#include "platform/telephony/ModemSettings.h"
#include "platform/telephony/sip/SipTexts.h"
#include "platform/widgets/DBEdit.h"
#include "platform/widgets/Edit.h"
#include "platform/widgets/RadioGroup.h"
#include "store/ADOQuery.h"
#include "support/PrivateBus.h"
#include "support/SipOffice.h"
#include "support/TestServer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLabel>
#include <QPushButton>
#include <QProcess>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::vector<TContactRow> Contacts = {
    {QStringLiteral("Ayşe"), QStringLiteral("Kaya"), QStringLiteral("0532 111 22 33"), QString(), QStringLiteral("(0212) 444-55-66")},
    {QStringLiteral("Burak"), QStringLiteral("Demir"), QStringLiteral("0533 000 00 01"), QStringLiteral("333 44 55")},
};

TIncomingCall Call(std::uint32_t handle, TIncomingCall::TCaller caller, const QString &number = QString())
{
    TIncomingCall call;
    call.Call = handle;
    call.Caller = caller;
    call.Number = number;
    call.Time = QDateTime(QDate(2026, 3, 14), QTime(9, 30, 5));
    call.Rings = 1;
    return call;
}

void SetAreaCode(const QString &area)
{
    TDialingLocation location;
    location.AreaCode = area;
    SaveDialingLocation(location);
}

// The rows "İşlemler > Gelen Aramalar..." lists: time, number, name (and
// with outcome, how the call ended).
QList<QStringList> ListedCalls(TForm1 *form, bool outcome = false)
{
    form->GelenAramalar1->trigger();
    auto *table = form->findChild<QTableWidget *>(QStringLiteral("callTable"));
    QList<QStringList> rows;
    if (!table)
        return rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        rows << QStringList{table->item(r, 0)->text(), table->item(r, 1)->text(), table->item(r, 2)->text()};
        if (outcome)
            rows.last() << table->item(r, 3)->text();
    }
    return rows;
}

// Answers the question of a dial with Yes and closes the dial box once the
// call is connected (or after a while).
void AnswerYesAndWaitForTheCall(TFormFixture &f)
{
    f.App->SetMessageBoxHandler([&f](const TMessageBoxRequest &box) -> int {
        f.Boxes << box;
        if (box.Kind == TMessageKind::Question)
            return IDYES;
        QDeadlineTimer deadline(10000); // the dial box stays while the call goes on
        while (!LastStatus.startsWith(QStringLiteral("Connected: ")) && !deadline.hasExpired())
            QTest::qWait(10);
        return IDOK;
    });
}

} // namespace

class TestCalls : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void gelenAramaShowsTheCaller_data()
    {
        QTest::addColumn<QString>("area");
        QTest::addColumn<int>("caller");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("numberLine");
        QTest::addColumn<QString>("logged");
        const int number = TIncomingCall::icNumber;
        QTest::newRow("mobile, national without 0") << "" << number << "5321112233"
                                                    << "Ayşe Kaya"
                                                    << "GSM No: 5321112233"
                                                    << "5321112233";
        QTest::newRow("home, local number at area 212") << "212" << number << "02123334455"
                                                        << "Burak Demir"
                                                        << "Ev Tlf.: 02123334455"
                                                        << "02123334455";
        QTest::newRow("mobile, international without +") << "" << number << "905330000001"
                                                         << "Burak Demir"
                                                         << "GSM No: 905330000001"
                                                         << "905330000001";
        QTest::newRow("work, international") << "" << number << "+902124445566"
                                             << "Ayşe Kaya"
                                             << "İş Tlf.: +902124445566"
                                             << "+902124445566";
        QTest::newRow("same local number, other area") << "212" << number << "03123334455"
                                                       << "Rehberde kayıtlı değil"
                                                       << "03123334455"
                                                       << "03123334455";
        QTest::newRow("withheld") << "" << int(TIncomingCall::icWithheld) << ""
                                  << "Gizli numara"
                                  << ""
                                  << "Gizli numara";
        QTest::newRow("unavailable") << "" << int(TIncomingCall::icUnavailable) << ""
                                     << "Numara yok"
                                     << ""
                                     << "Numara yok";
        QTest::newRow("unreadable") << "" << int(TIncomingCall::icUnreadable) << ""
                                    << "Numara okunamadı"
                                    << ""
                                    << "Numara okunamadı";
    }
    void gelenAramaShowsTheCaller()
    {
        QFETCH(QString, area);
        QFETCH(int, caller);
        QFETCH(QString, number);
        QFETCH(QString, shown);
        QFETCH(QString, numberLine);
        QFETCH(QString, logged);
        TFormFixture f;
        SetAreaCode(area);
        f.Start(Contacts);
        // An edit in progress keeps the keyboard while the call is shown.
        f.Form->Button1Click(f.Form->Button1);
        f.Type(f.Form->DBEdit1, QStringLiteral("Ce"));

        f.Form->IncomingCall(Call(7, TIncomingCall::TCaller(caller), number));
        TIncomingCallForm *window = f.Form->IncomingCallForm;
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Gelen Arama"));
        QCOMPARE(window->CallerText(), shown);
        QCOMPARE(window->NumberText(), numberLine);
        QCOMPARE(window->TimeLabel->text(), QStringLiteral("14.03.2026 09:30:05"));
        const bool known = numberLine.contains(u':');
        QCOMPARE(window->ShowButton->isVisibleTo(window), known);
        QCOMPARE(window->AddButton->isVisibleTo(window), !known && caller == TIncomingCall::icNumber);
        QTRY_VERIFY(f.Form->isActiveWindow());
        QTRY_COMPARE(QApplication::focusWidget(), f.Form->DBEdit1);
        f.Type(f.Form->DBEdit1, QStringLiteral("m"));
        QCOMPARE(f.Form->DBEdit1->Text(), QStringLiteral("Cem"));
        f.Form->Button9Click(f.Form->Button9);

        // A further RING of the same call: the same window, the same row.
        TIncomingCall ring = Call(7, TIncomingCall::TCaller(caller), number);
        ring.Rings = 2;
        f.Form->IncomingCall(ring);
        QCOMPARE(f.Form->IncomingCallForm, window);
        const QString name = known ? shown : QString();
        QCOMPARE(ListedCalls(f.Form.get()), (QList<QStringList>{{QStringLiteral("14.03.2026 09:30:05"), logged, name}}));

        // A new call replaces it.
        f.Form->IncomingCall(Call(8, TIncomingCall::icWithheld));
        QCOMPARE(window->CallerText(), QStringLiteral("Gizli numara"));
        QCOMPARE(ListedCalls(f.Form.get()).size(), 2);
        QVERIFY(f.ErrorTexts().isEmpty());
    }

    void callerIdArrivingAfterTheFirstRingCompletesTheRow()
    {
        TFormFixture f;
        f.Start(Contacts);
        f.Form->IncomingCall(Call(3, TIncomingCall::icPending));
        f.Form->IncomingCall(Call(3, TIncomingCall::icNumber, QStringLiteral("05330000001")));
        QCOMPARE(f.Form->IncomingCallForm->CallerText(), QStringLiteral("Burak Demir"));
        QCOMPARE(
            ListedCalls(f.Form.get()),
            (QList<QStringList>{{QStringLiteral("14.03.2026 09:30:05"), QStringLiteral("05330000001"), QStringLiteral("Burak Demir")}}));
    }

    void showContactOpensAllRecordsWhenTheSearchHidesIt()
    {
        TFormFixture f;
        f.Start(Contacts);
        f.Form->Edit1->setText(QStringLiteral("Burak"));
        QChar enter = u'\r';
        f.Form->Edit1KeyPress(f.Form->Edit1, enter);
        QCOMPARE(f.Form->ADOQuery1->RecordCount(), 1);
        f.Form->IncomingCall(Call(1, TIncomingCall::icNumber, QStringLiteral("0532 111 2233")));

        // While a contact is being changed the grid stays; the window says why.
        f.Form->Button2Click(f.Form->Button2);
        QTest::mouseClick(f.Form->IncomingCallForm->ShowButton, Qt::LeftButton);
        QCOMPARE(f.BoxTexts(), QStringList{QStringLiteral("Bir kayıt düzenleniyor: önce Onay ya da Vazgeç ile bitirin.")});
        QVERIFY(f.Form->ADOQuery1->RowPending());
        f.Form->Button9Click(f.Form->Button9);

        QTest::mouseClick(f.Form->IncomingCallForm->ShowButton, Qt::LeftButton);
        QCOMPARE(f.Form->ADOQuery1->RecordCount(), 2);
        QCOMPARE(f.Form->DBEdit1->Text(), QStringLiteral("Ayşe"));
        QCOMPARE(f.Form->Edit1->text(), QStringLiteral("Burak")); // the pattern stays, as with "Tüm Kayıtlar"
    }

    void unknownNumberBecomesANewContact_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("field");
        QTest::newRow("mobile") << "+90 544 999 88 77"
                                << "CTelefon";
        QTest::newRow("landline") << "03123334455"
                                  << "ETelefon";
    }
    void unknownNumberBecomesANewContact()
    {
        QFETCH(QString, number);
        QFETCH(QString, field);
        TFormFixture f;
        f.Start(Contacts);
        f.Form->IncomingCall(Call(1, TIncomingCall::icNumber, number));
        QTest::mouseClick(f.Form->IncomingCallForm->AddButton, Qt::LeftButton);
        QVERIFY(f.EditingConfiguration());
        QCOMPARE(f.Form->ADOQuery1->State(), rsInsert);
        QCOMPARE(f.Form->ADOQuery1->FieldByName(field)->AsString(), number);
        TDBEdit *box = field == u"CTelefon" ? f.Form->DBEdit3 : f.Form->DBEdit4;
        QCOMPARE(box->Text(), number);
        f.Type(f.Form->DBEdit1, QStringLiteral("Yeni"));
        f.Form->Button4Click(f.Form->Button4);
        QCOMPARE(RunSql(f.DatabasePath(), QStringLiteral("SELECT count(*) FROM DBASE WHERE %1 = ?").arg(field), {number}).toInt(), 1);
        // The log names the caller now; its stored time stays as other
        // programs read it.
        QCOMPARE(ListedCalls(f.Form.get()).value(0).value(2), QStringLiteral("Yeni"));
        QCOMPARE(RunSql(f.DatabasePath(), QStringLiteral("SELECT Zaman FROM GELENARAMA")).toString(),
                 QStringLiteral("2026-03-14 09:30:05"));
    }

    // A log made before calls had an outcome gains its column, and the
    // outcome a call ends with goes into the call's row.
    void anEarlierLogGainsTheOutcome()
    {
        TFormFixture f;
        MakeContactsDatabase(f.DatabasePath(), Contacts);
        ExecSql(f.DatabasePath(),
                ServerTests() ? QStringLiteral("DROP TABLE IF EXISTS public.gelenarama; CREATE TABLE public.gelenarama (no integer"
                                               " GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, zaman varchar(19),"
                                               " numara varchar(40), ad varchar(101))")
                              : QStringLiteral("CREATE TABLE GELENARAMA (No INTEGER PRIMARY KEY, Zaman TEXT, Numara TEXT, Ad TEXT)"));
        f.Start(Contacts, false);
        TIncomingCall call = Call(4, TIncomingCall::icNumber, QStringLiteral("05321112233"));
        f.Form->IncomingCall(call);
        call.Outcome = TIncomingCall::ocMissed;
        f.Form->IncomingCall(call);
        QCOMPARE(ListedCalls(f.Form.get(), true),
                 (QList<QStringList>{{QStringLiteral("14.03.2026 09:30:05"), QStringLiteral("05321112233"), QStringLiteral("Ayşe Kaya"),
                                      QStringLiteral("Cevapsız")}}));
        QCOMPARE(RunSql(f.DatabasePath(), QStringLiteral("SELECT Durum FROM GELENARAMA")).toString(), QStringLiteral("Cevapsız"));
        QVERIFY(f.ErrorTexts().isEmpty());
    }

    void aUserWhoMayOnlyReadLogsNothing()
    {
        TFormFixture f;
        MakeContactsDatabase(f.DatabasePath(), Contacts);
        if (ServerTests()) {
            ServerRows(f.DatabasePath(),
                       QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'okur')"
                                      " THEN CREATE ROLE okur LOGIN; END IF; END$$;"
                                      "GRANT SELECT ON dbase TO okur"));
            OpenPlatformSettings(QStringLiteral("Veri"))
                ->setValue(QStringLiteral("Sources/fihrist.mdb"),
                           TestServer(ServerDatabaseFor(f.DatabasePath())) + QStringLiteral(" user=okur"));
        } else {
            if (::geteuid() == 0)
                QSKIP("the superuser writes any file; the server's read-only role stands for it");
            ::chmod(QFile::encodeName(f.DatabasePath()).constData(), 0444);
        }
        f.Start(Contacts, false);
        QCOMPARE(f.BoxTexts().join(u'|'), QString());
        f.Form->IncomingCall(Call(1, TIncomingCall::icNumber, QStringLiteral("05321112233")));
        QCOMPARE(f.Form->IncomingCallForm->CallerText(), QStringLiteral("Ayşe Kaya"));
        QVERIFY(ListedCalls(f.Form.get()).isEmpty());
        QVERIFY(f.ErrorTexts().isEmpty());
    }

    void notificationWhileTheWindowIsNotActive()
    {
        if (ServerTests())
            QSKIP("the desktop's part does not depend on the provider");
        TPrivateBus bus;
        if (!bus.IsValid())
            QSKIP("dbus-daemon is not installed");
        TNotificationServer server;
        QVERIFY(bus.ServeNotifications(&server));

        TFormFixture f;
        f.Start(Contacts);
        f.Form->ADOQuery1->Last(); // the grid stands at Burak
        QWidget elsewhere;
        elsewhere.show();
        QApplication::setActiveWindow(&elsewhere);
        QTRY_VERIFY(!f.Form->isActiveWindow());

        f.Form->IncomingCall(Call(5, TIncomingCall::icNumber, QStringLiteral("05321112233")));
        QTRY_COMPARE(server.Summaries, QStringList{QStringLiteral("Gelen Arama: Ayşe Kaya")});
        QCOMPARE(server.Bodies, QStringList{QStringLiteral("GSM No: 05321112233")});

        // The user activates it: the window comes forward at the contact.
        QDBusMessage invoked = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                          QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        invoked << uint(1) << QStringLiteral("default");
        QVERIFY(QDBusConnection(QStringLiteral("notifications")).send(invoked));
        QTRY_COMPARE(f.Form->DBEdit1->Text(), QStringLiteral("Ayşe"));
        QTRY_VERIFY(f.Form->isActiveWindow());

        f.Form.reset();
    }

    void callOfferedByTheModemReachesTheWindowAndTheLog()
    {
        if (ServerTests())
            QSKIP("the line does not depend on the provider");
        TFormFixture f;
        TModemSimulator modem;
        QVERIFY(modem.IsValid());
        modem.Install();
        f.Start(Contacts);
        QTRY_VERIFY(modem.Received().contains("AT+VCID=1")); // the line listens
        modem.Send("\r\nRING\r\n\r\nDATE = 0314\r\nTIME = 0930\r\nNMBR = 05330000001\r\n\r\nRING\r\n");
        QTRY_VERIFY(f.Form->IncomingCallForm && f.Form->IncomingCallForm->CallerText() == u"Burak Demir");
        QCOMPARE(f.Form->IncomingCallForm->NumberText(), QStringLiteral("GSM No: 05330000001"));
        const QList<QStringList> calls = ListedCalls(f.Form.get());
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.front().mid(1), (QStringList{QStringLiteral("05330000001"), QStringLiteral("Burak Demir")}));
    }

    // With the office's SIP server as the line, a call to the extension
    // reaches the window as the modem's does, the caller's own name shown
    // when the directory does not know the number; the log says whether the
    // desk phone answered it or it was missed.
    void callOfferedByTheOfficeServerReachesTheWindowAndTheLog()
    {
        TSipOffice office;
        QVERIFY(office.Running());
        TFormFixture f;
        office.UseAsLine(TSipOffice::kDesk);
        f.Start(Contacts);
        QTRY_COMPARE_WITH_TIMEOUT(office.Contacts(TSipOffice::kDesk), 1, 10000);

        {
            TDeskPhone ringing(office, TSipOffice::kDesk, TSipOffice::kDeskPassword, false);
            QVERIFY2(ringing.Registered(), ringing.Output().constData());
            TSipp caller(SippCaller("From: \"Cem Ak\" <sip:05441234567@[local_ip]:[local_port]>", false), 0,
                         {QStringLiteral("-s"), TSipOffice::kDesk, office.Server()});
            QTRY_VERIFY_WITH_TIMEOUT(f.Form->IncomingCallForm && f.Form->IncomingCallForm->CallerText() == u"Cem Ak", 10000);
            QCOMPARE(f.Form->IncomingCallForm->NumberText(), QStringLiteral("05441234567"));
            caller.Finish();
        }
        TDeskPhone answering(office, TSipOffice::kDesk, TSipOffice::kDeskPassword, true);
        QVERIFY2(answering.Registered(), answering.Output().constData());
        TSipp caller(SippCaller("From: <sip:05330000001@[local_ip]:[local_port]>", true), 0,
                     {QStringLiteral("-s"), TSipOffice::kDesk, office.Server()});
        QCOMPARE(caller.Finish(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ListedCalls(f.Form.get(), true).size(), 2, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(ListedCalls(f.Form.get(), true).constFirst().mid(1),
                                  (QStringList{QStringLiteral("05330000001"), QStringLiteral("Burak Demir"), QStringLiteral("Yanıtlandı")}),
                                  10000);
        QCOMPARE(ListedCalls(f.Form.get(), true).constLast().mid(1),
                 (QStringList{QStringLiteral("05441234567"), QString(), QStringLiteral("Cevapsız")}));
        QVERIFY(f.ErrorTexts().isEmpty());
    }

    void telLinkNumber_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("area");
        QTest::addColumn<QString>("dialled");
        QTest::newRow("national") << "tel:+90-532-111-22-33"
                                  << ""
                                  << "05321112233";
        QTest::newRow("in the area") << "tel:+90.212.333.4455"
                                     << "212"
                                     << "3334455";
        QTest::newRow("abroad") << "tel:+49%2030%201234"
                                << "212"
                                << "0049301234";
        QTest::newRow("local with context") << "tel:*123#;phone-context=+90"
                                            << ""
                                            << "*123#";
        QTest::newRow("not a number") << "tel:+90-abc"
                                      << ""
                                      << "";
        QTest::newRow("empty") << "tel:"
                               << ""
                               << "";
    }
    void telLinkNumber()
    {
        QFETCH(QString, link);
        QFETCH(QString, area);
        QFETCH(QString, dialled);
        TDialingLocation location;
        location.AreaCode = area;
        QCOMPARE(TelLinkNumber(link, location), dialled);
    }

    // A registration the server refuses is one message in Turkish, however
    // often the program tries again.
    void aRefusedRegistrationIsOneMessage()
    {
        if (ServerTests())
            QSKIP("the line does not depend on the provider");
        TSipOffice office;
        QVERIFY(office.Running());
        TFormFixture f;
        SetSipSessionPassword(office.UseAsLine(TSipOffice::kDesk), QStringLiteral("yanlis"));
        const int base = TSipAgent::RetryBaseMs;
        TSipAgent::RetryBaseMs = 20;
        f.Start(Contacts);
        QTRY_VERIFY_WITH_TIMEOUT(Service().Sip && Service().Sip->Failures() >= 3, 10000);
        TSipAgent::RetryBaseMs = base;
        QTRY_COMPARE(f.BoxTexts(), QStringList{SipFailureText(TSipFailure::WrongPassword)});
        QTest::qWait(50);
        QCOMPARE(f.BoxTexts().size(), 1);
    }

    // With the office's server as the line, a tel: link makes the desk
    // phone call the number; the dial box stays until the number answers.
    void telLinkIsDialledThroughTheDeskPhone()
    {
        if (ServerTests())
            QSKIP("the line does not depend on the provider");
        TSipOffice office;
        QVERIFY(office.Running());
        TDeskPhone desk(office, TSipOffice::kDesk, TSipOffice::kDeskPassword, true);
        QVERIFY2(desk.Registered(), desk.Output().constData());
        TSipp farEnd(SippFarEnd({180, 200}), office.GatewayPort(), {});
        TFormFixture f;
        office.UseAsLine(TSipOffice::kDesk);
        f.Start(Contacts);
        AnswerYesAndWaitForTheCall(f);
        f.Form->HandleArguments({QStringLiteral("tel:+90-532-111-22-33")});
        QTRY_COMPARE(LastStatus, QStringLiteral("Idle - call deallocated"));
        QCOMPARE(f.BoxTexts(),
                 (QStringList{QStringLiteral("05321112233 aransın mı?"), QStringLiteral("05321112233 nolu telefon Aranıyor...")}));
        QVERIFY2(farEnd.Messages().contains("INVITE sip:05321112233@"), farEnd.Messages().constData());
        QVERIFY(desk.Output().contains("Call established: sip:05321112233@"));
    }

    void telLinkFromASecondStartIsDialledByTheRunningWindow()
    {
        if (ServerTests())
            QSKIP("the hand-over does not depend on the provider");
        // A display of this test's own, so that no other window answers.
        qputenv("DISPLAY", QByteArray(":velmora-test-") + QByteArray::number(::getpid()));
        qunsetenv("WAYLAND_DISPLAY");
        TFormFixture f;
        TModemSimulator modem;
        QVERIFY(modem.IsValid());
        modem.Install();
        f.Start(Contacts);
        f.Form->ADOQuery1->Last();
        TInstanceServer instance;
        instance.OnArguments = [&f](const QStringList &arguments) { f.Form->HandleArguments(arguments); };
        QVERIFY(instance.Listen());

        AnswerYesAndWaitForTheCall(f);
        QProcess second;
        second.start(qEnvironmentVariable("VELMORA_TEST_BINARY_DIR") + QStringLiteral("/app/velmora-rehber"),
                     {QStringLiteral("tel:+90-532-111-22-33")});
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 60000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        QTRY_COMPARE(LastStatus, QStringLiteral("Idle - call deallocated"));
        QCOMPARE(f.BoxTexts(),
                 (QStringList{QStringLiteral("05321112233 aransın mı?"), QStringLiteral("05321112233 nolu telefon Aranıyor...")}));
        QCOMPARE(f.Form->DBEdit1->Text(), QStringLiteral("Ayşe"));
        QVERIFY(modem.Received().contains("ATDT05321112233;\r"));
        QVERIFY(modem.Received().contains("ATH"));
    }

    void telLinkIsNotHandedBackToThisProgram()
    {
        if (ServerTests())
            QSKIP("the hand-over does not depend on the provider");
        TFormFixture f;
        TPhoneHandler desktop; // empty XDG folders of the test's own
        const QString entry = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications/velmora-rehber.desktop");
        QFile file(entry);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "[Desktop Entry]\nType=Application\nName=Velmora\nExec=velmora-rehber %U\n"
            "MimeType=x-scheme-handler/tel;\n");
        file.close();
        QCOMPARE(QProcess::execute(
                     QStringLiteral("xdg-mime"),
                     {QStringLiteral("default"), QStringLiteral("velmora-rehber.desktop"), QStringLiteral("x-scheme-handler/tel")}),
                 0);
        SaveLineDevice(TLineDevice::PhoneApplication);
        f.Start(Contacts);
        f.Form->HandleArguments({QStringLiteral("tel:+905321112233")});
        QCOMPARE(f.BoxTexts().size(), 1);
        QVERIFY2(f.BoxTexts().front().startsWith(QStringLiteral("Telefon bağlantıları bu programa geliyor")),
                 qPrintable(f.BoxTexts().front()));
        QVERIFY(desktop.Received().isEmpty());
    }
};

QTEST_MAIN(TestCalls)
#include "tst_calls.moc"
