#include "platform/telephony/LineService.h"
#include "platform/telephony/LineServiceState.h"
#include "platform/telephony/ModemConfigDialog.h"
#include "platform/telephony/ModemSettings.h"
#include "platform/core/NetRc.h"
#include "platform/telephony/sip/SipAgent.h"
#include "platform/telephony/sip/SipSettings.h"
#include "platform/telephony/sip/SipSettingsPane.h"
#include "platform/telephony/sip/SipTexts.h"
#include "support/TestHome.h"
#include "support/SipOffice.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

// LINE_DEVSPECIFIC messages as the line's callback received them: line, kind, detail.
QList<std::tuple<DWORD, DWORD, DWORD>> DevSpecific;

void Record(DWORD device, DWORD msg, DWORD, DWORD p1, DWORD p2, DWORD)
{
    if (msg == LINE_DEVSPECIFIC)
        DevSpecific.push_back({device, p1, p2});
}

} // namespace

// The program as a further device of the user's extension on the office's
// SIP server.
class TestSipLine : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestHome> FHome;

    static TSipConfig Desk(const TSipOffice &office, const QString &transport = QStringLiteral("udp"))
    {
        TSipConfig c;
        c.Server = office.Server();
        c.User = TSipOffice::kDesk;
        c.Transport = transport;
        return c;
    }

private Q_SLOTS:
    void init() { FHome = std::make_unique<TTestHome>(); }
    void cleanup() { FHome.reset(); }

    // The extension's password is kept as the sync account's is: with no
    // keyring, in ~/.netrc only when the user agrees, under the server's
    // host and the name the server asks for, and found there next time.
    void passwordKeptWherePasswordsAre()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"); // no keyring
        TSipConfig c;
        c.Server = QStringLiteral("Santral.Ornek.com.tr:5062");
        c.User = QStringLiteral("1001");
        c.AuthUser = QStringLiteral("ayse");
        QCOMPARE(KeepSipPassword(c, QStringLiteral("gizli söz"), false), TPasswordPlace::None);
        QVERIFY(!QFile::exists(NetRcPath()));
        QCOMPARE(SipSessionPassword(c), QStringLiteral("gizli söz")); // for this session
        QCOMPARE(KeepSipPassword(c, QStringLiteral("gizli söz"), true), TPasswordPlace::NetRc);
        QCOMPARE(ReadNetRcPassword(NetRcPath(), QStringLiteral("santral.ornek.com.tr"), QStringLiteral("ayse")),
                 std::optional<QString>(QStringLiteral("gizli söz")));
        c.Server = QStringLiteral("santral.ornek.com.tr");
        QCOMPARE(SipSessionPassword(c), QStringLiteral("gizli söz"));
    }

    // The program registers its own contact beside the desk phone's, over
    // UDP and TCP, and takes it away when it ends; the settings come from
    // the [Sip] group an office may hand out.
    void registersBesideTheDeskPhone()
    {
        TSipOffice office;
        QVERIFY(office.Running());
        TDeskPhone desk(office, TSipOffice::kDesk, TSipOffice::kDeskPassword, true);
        QVERIFY2(desk.Registered(), desk.Output().constData());
        QCOMPARE(office.Contacts(TSipOffice::kDesk), 1);

        SaveSipConfig(Desk(office, QStringLiteral("tcp")));
        QCOMPARE(LoadSipConfig(), Desk(office, QStringLiteral("tcp")));
        for (const QString &transport : {QStringLiteral("udp"), QStringLiteral("tcp")}) {
            auto agent = std::make_unique<TSipAgent>(Desk(office, transport), TSipOffice::kDeskPassword);
            QSignalSpy registered(agent.get(), &TSipAgent::Registered);
            agent->Start();
            QVERIFY(registered.wait(10000));
            QCOMPARE(agent->State(), TSipAgent::TState::Registered);
            QCOMPARE(office.Contacts(TSipOffice::kDesk), 2);
            agent.reset();
            QCOMPARE(office.Contacts(TSipOffice::kDesk), 1);
        }
        QCOMPARE(TrySipRegistration(Desk(office), TSipOffice::kDeskPassword), TSipFailure::None);
        QCOMPARE(office.Contacts(TSipOffice::kDesk), 1);
    }

    // A wrong password, a server that is down and settings that are not
    // complete each say why; the tries after a failure wait longer each
    // time and report nothing more.
    void failuresSayWhyOnceAndBackOff()
    {
        TSipOffice office;
        QVERIFY(office.Running());
        QCOMPARE(TrySipRegistration(Desk(office), QStringLiteral("yanlis")), TSipFailure::WrongPassword);
        QCOMPARE(TrySipRegistration(Desk(office), QString()), TSipFailure::NoPassword);
        QCOMPARE(TrySipRegistration(TSipConfig(), QStringLiteral("x")), TSipFailure::BadSettings);

        const int base = TSipAgent::RetryBaseMs;
        TSipAgent::RetryBaseMs = 20;
        TSipAgent agent(Desk(office), QStringLiteral("yanlis"));
        QSignalSpy failed(&agent, &TSipAgent::Failed);
        QList<int> waits;
        agent.Start();
        for (int i = 0; i < 400 && agent.Failures() < 4; ++i) {
            if (agent.NextRetryMs() && (waits.isEmpty() || waits.constLast() != agent.NextRetryMs()))
                waits << agent.NextRetryMs();
            QTest::qWait(10);
        }
        TSipAgent::RetryBaseMs = base;
        QVERIFY2(waits.size() >= 3, qPrintable(QString::number(waits.size())));
        QCOMPARE(waits.mid(0, 3), (QList<int>{20, 40, 80}));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).value<TSipFailure>(), TSipFailure::WrongPassword);
        QCOMPARE(office.Contacts(TSipOffice::kDesk), 0);

        office.Stop();
        QCOMPARE(TrySipRegistration(Desk(office), TSipOffice::kDeskPassword), TSipFailure::NoAnswer);
    }

    // With the SIP device chosen, an open line keeps the program registered
    // until the last line closes; a wrong password is one message to the
    // line however often the service tries again. "Bağlantıyı Sına" in the
    // settings dialog says in Turkish how a registration went.
    void theLineServiceRegistersWhileALineIsOpen()
    {
        TSipOffice office;
        QVERIFY(office.Running());
        office.UseAsLine(TSipOffice::kDesk);
        HLINEAPP app = 0;
        DWORD devices = 0;
        QCOMPARE(lineInitialize(&app, nullptr, Record, "tst", &devices), 0);
        QCOMPARE(devices, DWORD(1));
        HLINE line = 0;
        QCOMPARE(lineOpen(app, 0, &line, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr), 0);
        QTRY_COMPARE_WITH_TIMEOUT(office.Contacts(TSipOffice::kDesk), 1, 10000);
        QCOMPARE(lineShutdown(app), 0);
        QCOMPARE(office.Contacts(TSipOffice::kDesk), 0);

        const int base = TSipAgent::RetryBaseMs;
        TSipAgent::RetryBaseMs = 20;
        SetSipSessionPassword(Desk(office), QStringLiteral("yanlis"));
        QCOMPARE(lineInitialize(&app, nullptr, Record, "tst", &devices), 0);
        QCOMPARE(lineOpen(app, 0, &line, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr), 0);
        QTRY_VERIFY_WITH_TIMEOUT(Service().Sip && Service().Sip->Failures() >= 3, 10000);
        TSipAgent::RetryBaseMs = base;
        QTest::qWait(50);
        QCOMPARE(DevSpecific,
                 (QList<std::tuple<DWORD, DWORD, DWORD>>{{line, LineSipRegistrationFailed, DWORD(TSipFailure::WrongPassword)}}));
        QCOMPARE(lineShutdown(app), 0);

        TModemConfigDialog dialog(TModemConfig(), TLineDevice::Sip, true);
        auto *pane = dialog.findChild<TSipSettingsPane *>(QStringLiteral("sipPane"));
        QVERIFY(pane && !pane->isHidden());
        QCOMPARE(pane->Config(), Desk(office));
        // Every field has its mnemonic, none the same as another's.
        QString keys;
        for (const QLabel *label : pane->findChildren<QLabel *>()) {
            if (!label->buddy())
                continue;
            const qsizetype amp = label->text().indexOf(u'&');
            QVERIFY2(amp >= 0 && !keys.contains(label->text().at(amp + 1).toLower()), qPrintable(label->text()));
            keys += label->text().at(amp + 1).toLower();
        }
        QCOMPARE(keys.size(), 5);
        auto *password = pane->findChild<QLineEdit *>(QStringLiteral("sipPasswordEdit"));
        auto *answer = pane->findChild<QLabel *>(QStringLiteral("sipAnswerLabel"));
        password->setText(TSipOffice::kDeskPassword);
        pane->findChild<QPushButton *>(QStringLiteral("sipTestButton"))->click();
        QVERIFY2(answer->text().startsWith(QStringLiteral("Bağlantı başarılı")), qPrintable(answer->text()));
        password->setText(QStringLiteral("yanlis"));
        pane->findChild<QPushButton *>(QStringLiteral("sipTestButton"))->click();
        QCOMPARE(answer->text(), SipFailureText(TSipFailure::WrongPassword));
    }
};

QTEST_MAIN(TestSipLine)
#include "tst_sipline.moc"
