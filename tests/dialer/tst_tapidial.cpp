#include "dialer/ModalDialog.h"
#include "dialer/ModemSimulator.h"
#include "dialer/PhoneHandler.h"
#include "dialer/TapiDial.h"
#include "platform/core/Exception.h"
#include "platform/telephony/ModemSettings.h"
#include "platform/widgets/Application.h"
#include "support/TestHome.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

// Another component class derived from the dialer: it does not count as a
// second TTapiDial on its form.
class TOtherDial : public TTapiDial {
    Q_OBJECT
public:
    using TTapiDial::TTapiDial;
};

QStringList Log()
{
    QStringList lines;
    if (StatusList) {
        for (int i = 0; i < StatusList->count(); ++i)
            lines << StatusList->item(i)->text();
    }
    return lines;
}

QStringList Arrows(const QStringList &texts)
{
    QStringList lines;
    for (const QString &t : texts)
        lines << QStringLiteral("-> ") + t;
    return lines;
}

int DialersOn(QObject *form)
{
    int n = 0;
    for (QObject *c : form->children())
        n += qobject_cast<TTapiDial *>(c) ? 1 : 0;
    return n;
}

const QString ThirtyOne = QStringLiteral("1234567890123456789012345678901");

} // namespace

class TestTapiDial : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestHome> FHome;
    std::unique_ptr<TApplication> FApp;
    std::unique_ptr<TModemSimulator> FModem;
    std::unique_ptr<TPhoneHandler> FPhone;
    std::unique_ptr<QWidget> FForm;
    QList<TMessageBoxRequest> FBoxes;
    std::function<int()> FOnDialBox;

    // Without caller ID the dialer's line listens to the modem but sends it
    // nothing: the bytes are those of dialling alone.
    void ConfigureModem(int timeout = 2, bool callerId = false)
    {
        TModemConfig c;
        c.Port = FModem->PortName();
        c.Speed = 9600;
        c.InitString = QStringLiteral("ATZ");
        c.DialTimeout = timeout;
        c.CallerId = callerId;
        SaveModems({c});
    }

    // A dialer on the test's form with the main window's stored values,
    // then a fresh status window to read its texts from.
    TTapiDial *Dialer(TLanguage language = english)
    {
        auto *dialer = new TTapiDial(FForm.get());
        dialer->ApplyStoredProperties(QStringLiteral("0"), None, false, language);
        dialer->SetStatusWindow(true);
        return dialer;
    }

    // The dial box handler: waits, as a user would, until LastStatus
    // satisfies the condition, then presses OK.
    void AnswerDialBoxWhen(std::function<bool()> condition, bool *seen)
    {
        FOnDialBox = [condition, seen]() {
            *seen = QTest::qWaitFor(condition, 20000);
            return IDOK;
        };
    }

private Q_SLOTS:
    void initTestCase()
    {
        FHome = std::make_unique<TTestHome>();
        FPhone = std::make_unique<TPhoneHandler>();
        FApp = std::make_unique<TApplication>(QStringLiteral("/usr/bin/velmora-rehber"));
        FApp->SetMessageBoxHandler([this](const TMessageBoxRequest &r) {
            FBoxes << r;
            if (r.Text.contains(QStringLiteral(" nolu telefon Aranıyor...")) || r.Text.startsWith(QStringLiteral("Kada")))
                return FOnDialBox ? FOnDialBox() : IDOK;
            return IDOK;
        });
    }

    void cleanupTestCase() { FApp.reset(); }

    void init()
    {
        FModem = std::make_unique<TModemSimulator>();
        QVERIFY(FModem->IsValid());
        SaveModems({});
        SaveDialingLocation(TDialingLocation());
        SaveLineDevice(TLineDevice::Modem);
        FPhone->Unregister();
        FForm = std::make_unique<QWidget>();
        FBoxes.clear();
        FOnDialBox = nullptr;
        LastStatus.clear();
        SharedLanguage = english;
        SharedTelephonNo.clear();
    }

    void cleanup()
    {
        FForm.reset(); // destroys its dialer, which closes its line
        if (StatusWindowExists)
            ReleaseStatusWindow();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        FModem.reset();
    }

    void constructionNeedsAForm_data()
    {
        QTest::addColumn<int>("owner");
        QTest::newRow("no owner") << 0;
        QTest::newRow("plain object") << 1;
        QTest::newRow("widget inside a form") << 2;
    }
    void constructionNeedsAForm()
    {
        QFETCH(int, owner);
        QObject plain;
        auto *inner = new QWidget(FForm.get());
        QObject *given = owner == 0 ? nullptr : owner == 1 ? &plain : static_cast<QObject *>(inner);
        LastStatus = QStringLiteral("before");
        QString message;
        try {
            new TTapiDial(given);
        } catch (const Exception &e) {
            message = e.Message();
        }
        QCOMPARE(message, QStringLiteral("Please drop the component onto a Form!"));
        QCOMPARE(LastStatus, QStringLiteral("before"));
        QCOMPARE(DialersOn(&plain) + DialersOn(inner) + DialersOn(FForm.get()), 0);
    }

    void oneDialerPerForm()
    {
        ConfigureModem();
        TTapiDial *first = Dialer();
        const HLINE line = first->LineHandle();
        QVERIFY(line != 0);
        LastStatus = QStringLiteral("before");
        QString message;
        try {
            new TTapiDial(FForm.get());
        } catch (const Exception &e) {
            message = e.Message();
        }
        QCOMPARE(message, QStringLiteral("There is TTApiDial component already on this form"));
        QCOMPARE(DialersOn(FForm.get()), 1);
        QCOMPARE(first->LineHandle(), line);
        QCOMPARE(LastStatus, QStringLiteral("before"));
        QVERIFY(StatusWindowExists);

        // A derived class is not a TTapiDial of its own kind; dialers on
        // different forms share the program's state.
        QWidget other;
        auto *derived = new TOtherDial(&other);
        auto *second = new TTapiDial(&other);
        QCOMPARE(DialersOn(&other), 2);
        derived->SetTelephonNo(QStringLiteral("111"));
        second->SetTelephonNo(QStringLiteral("222"));
        QCOMPARE(SharedTelephonNo, QStringLiteral("222"));
        second->SetLanguage(croatian);
        QCOMPARE(SharedLanguage, croatian);
    }

    void initialisationTexts_data()
    {
        QTest::addColumn<bool>("modem");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("no devices") << false
                                    << QStringList{QStringLiteral("Initializing TAPI"), QStringLiteral("No TAPI devices"),
                                                   QStringLiteral("Error!!")};
        QTest::newRow("one modem") << true
                                   << QStringList{QStringLiteral("Initializing TAPI"), QStringLiteral("TAPI successfully initialized")};
    }
    void initialisationTexts()
    {
        QFETCH(bool, modem);
        QFETCH(QStringList, texts);
        if (modem)
            ConfigureModem();
        SharedLanguage = croatian; // the first initialisation speaks English all the same
        auto *dialer = new TTapiDial(FForm.get());
        QCOMPARE(Log(), Arrows(texts));
        QCOMPARE(LastStatus, texts.last());
        QCOMPARE(dialer->LineHandle() != 0, modem);
        QCOMPARE(dialer->TelephonNo(), QStringLiteral("9865"));
        QCOMPARE(dialer->CallDialog(), None);
        QCOMPARE(dialer->StatusWindow(), true);
        QCOMPARE(dialer->Language(), english);
        QVERIFY(StatusWindowExists);
        QVERIFY(StatusForm && StatusForm->isHidden());
        QCOMPARE(SharedTelephonNo, QString());
        QCOMPARE(dialer->CallParameters().dwTotalSize, DWORD(176));
        QCOMPARE(dialer->CallParameters().dwBearerMode, LINEBEARERMODE_VOICE);
        QCOMPARE(dialer->CallParameters().dwMediaMode, LINEMEDIAMODE_DATAMODEM);

        // The main window's stored values: the hidden window goes, the
        // texts stay in LastStatus only.
        QPointer<QWidget> window = StatusForm.data();
        dialer->ApplyStoredProperties(QStringLiteral("0"), None, false, english);
        QCOMPARE(SharedTelephonNo, QStringLiteral("0"));
        QVERIFY(!StatusWindowExists);
        QCOMPARE(LastStatus, texts.last());
        QTRY_VERIFY(window.isNull());
        LogStatus(QStringLiteral("nowhere"));
        QCOMPARE(LastStatus, texts.last());
    }

    void callDialogChangeReopensTheLine_data()
    {
        QTest::addColumn<TLanguage>("language");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("english") << english
                                 << QStringList{QStringLiteral("Call dialog set to: Win95"), QStringLiteral("TAPI terminated"),
                                                QStringLiteral("Initializing TAPI"), QStringLiteral("TAPI successfully initialized")};
        QTest::newRow("croatian") << croatian
                                  << QStringList{QStringLiteral("Dijalog za poziv je promjenjen u: Win95"),
                                                 QStringLiteral("Završili smo sa TAPI-jem."), QStringLiteral("Inicijaliziram TAPI"),
                                                 QStringLiteral("TAPI je uspješno inicijaliziran")};
    }
    void callDialogChangeReopensTheLine()
    {
        QFETCH(TLanguage, language);
        QFETCH(QStringList, texts);
        ConfigureModem();
        TTapiDial *dialer = Dialer(language);
        const HLINE before = dialer->LineHandle();
        dialer->SetCallDialog(Win95);
        QCOMPARE(Log(), Arrows(texts));
        QCOMPARE(dialer->CallParameters().dwMediaMode, LINEMEDIAMODE_INTERACTIVEVOICE);
        QVERIFY(dialer->LineHandle() != 0 && dialer->LineHandle() != before);
        dialer->SetCallDialog(Win95);
        QCOMPARE(Log().size(), texts.size());
    }

    void releasedHandlesAreNeverUsedAgain()
    {
        ConfigureModem();
        TTapiDial *dialer = Dialer();
        SaveModems({}); // the modem is gone before the line is reopened
        dialer->SetCallDialog(Win95);
        QCOMPARE(Log(),
                 Arrows({QStringLiteral("Call dialog set to: Win95"), QStringLiteral("TAPI terminated"),
                         QStringLiteral("Initializing TAPI"), QStringLiteral("No TAPI devices"), QStringLiteral("Error!!")}));
        QCOMPARE(dialer->LineHandle(), HLINE(0));
        QCOMPARE(dialer->LineAppHandle(), HLINEAPP(0));
        dialer->SetTelephonNo(QStringLiteral("5551212"));
        dialer->Dial();
        QCOMPARE(LastStatus, QStringLiteral("Error in lineMakeCall"));
    }

    void dialTalkAndHangUp_data()
    {
        QTest::addColumn<TLanguage>("language");
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<QStringList>("texts");
        const QString number = QStringLiteral("0212 555 12 12");
        const QString app = QCoreApplication::applicationName();
        QTest::newRow("english") << english << number + QStringLiteral(" nolu telefon Aranıyor...")
                                 << QStringList{QStringLiteral("LINE_REPLY ok"), QStringLiteral("Dialing: ") + number,
                                                QStringLiteral("Proceeding"),    QStringLiteral("Connected: ") + number + u' ' + app,
                                                QStringLiteral("Line Dropped"),  QStringLiteral("Disconnected: normal"),
                                                QStringLiteral("LINE_REPLY ok"), QStringLiteral("Idle - call deallocated")};
        QTest::newRow("croatian")
            << croatian << QStringLiteral("Kada završite razgovor, pritisnite dugme da prekinete vezu.")
            << QStringList{QStringLiteral("LINE_REPLY ok"),        QStringLiteral("Zovem: ") + number,
                           QStringLiteral("Nastavljam"),           QStringLiteral("Veza je uspostavljena: ") + number + u' ' + app,
                           QStringLiteral("Linija je zatvorena."), QStringLiteral("Linija je isključena: normalno"),
                           QStringLiteral("LINE_REPLY ok"),        QStringLiteral("Poziv je odbačen")};
    }
    void dialTalkAndHangUp()
    {
        QFETCH(TLanguage, language);
        QFETCH(QString, boxText);
        QFETCH(QStringList, texts);
        ConfigureModem();
        TTapiDial *dialer = Dialer(language);
        dialer->SetTelephonNo(QStringLiteral("0212 555 12 12"));
        bool connected = false;
        AnswerDialBoxWhen([&]() { return LastStatus == texts.at(3); }, &connected);
        dialer->Dial();
        QVERIFY(connected);
        QTRY_COMPARE(LastStatus, texts.last());
        QCOMPARE(Log(), Arrows(texts));
        QCOMPARE(FBoxes.size(), 1);
        QCOMPARE(FBoxes[0].Caption, QStringLiteral("0212 555 12 12 nolu telefonla konuşuluyor."));
        QCOMPARE(FBoxes[0].Text, boxText);
        QCOMPARE(FBoxes[0].Kind, TMessageKind::Information);
        QCOMPARE(FModem->Received(), QByteArray("AT\rATZ\rATDT02125551212;\rATH\r"));
    }

    void callEndedByTheModem_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("texts");
        const QStringList dialing{QStringLiteral("LINE_REPLY ok"), QStringLiteral("Dialing: 5551212"), QStringLiteral("Proceeding")};
        const QStringList dropped{QStringLiteral("Line Dropped"), QStringLiteral("LINE_REPLY ok"),
                                  QStringLiteral("Idle - call deallocated")};
        QTest::newRow("busy") << QByteArray("BUSY")
                              << dialing + QStringList{QStringLiteral("Busy"), QStringLiteral("Disconnected: busy")} + dropped;
        QTest::newRow("no dial tone") << QByteArray("NO DIALTONE") << dialing + QStringList{QStringLiteral("Disconnected: ")} + dropped;
        QTest::newRow("no answer") << QByteArray("NO ANSWER") << dialing + QStringList{QStringLiteral("Disconnected: ")} + dropped;
        QTest::newRow("no carrier") << QByteArray("NO CARRIER") << dialing + QStringList{QStringLiteral("Disconnected: normal")} + dropped;
    }
    void callEndedByTheModem()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, texts);
        ConfigureModem(1);
        FModem->SetAnswer("ATD", answer);
        TTapiDial *dialer = Dialer();
        dialer->SetTelephonNo(QStringLiteral("5551212"));
        bool ended = false;
        AnswerDialBoxWhen([]() { return LastStatus.startsWith(QStringLiteral("Disconnected: ")); }, &ended);
        dialer->Dial();
        QVERIFY(ended);
        QTRY_COMPARE(LastStatus, texts.last());
        QCOMPARE(Log(), Arrows(texts));
        QCOMPARE(FBoxes.size(), 1); // the dial box, no error dialog
    }

    void dialFailuresShowTheErrorDialog_data()
    {
        QTest::addColumn<QString>("modem"); // none, ok, silent (no answer), gone (port missing)
        QTest::addColumn<QString>("number");
        QTest::addColumn<TCallDialog>("mode");
        QTest::addColumn<TLanguage>("language");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("dialog");
        const QString e = QStringLiteral("Error in lineMakeCall");
        const QString d = QStringLiteral("Error during dialing?!");
        const QString none = QStringLiteral("none"), ok = QStringLiteral("ok");
        const QString nul = QStringLiteral("0532") + QChar(0) + QStringLiteral(" 111 22 33");
        QTest::newRow("no modem") << none << QStringLiteral("5551212") << None << english << e << d;
        QTest::newRow("no modem, Win95") << none << QStringLiteral("5551212") << Win95 << english << e << d;
        QTest::newRow("no modem, croatian") << none << QStringLiteral("5551212") << None << croatian << QStringLiteral("Greška u zvanju")
                                            << QStringLiteral("Greška u zvanju");
        QTest::newRow("silent modem") << QStringLiteral("silent") << QStringLiteral("5551212") << None << english << e << d;
        QTest::newRow("port missing") << QStringLiteral("gone") << QStringLiteral("5551212") << None << english << e << d;
        QTest::newRow("31 characters") << ok << ThirtyOne << None << english << e << d;
        QTest::newRow("carriage return") << ok << QStringLiteral("123\rATZ") << None << english << e << d;
        QTest::newRow("escape sequence") << ok << QStringLiteral("5;+++ATH") << None << english << e << d;
        QTest::newRow("letters") << ok << QStringLiteral("ATDT5551212") << Win95 << english << e << d;
        QTest::newRow("NUL inside") << ok << nul << None << english << e << d;
        QTest::newRow("NUL at the end") << ok << QStringLiteral("5551212") + QChar(0) << Win95 << english << e << d;
    }
    void dialFailuresShowTheErrorDialog()
    {
        QFETCH(QString, modem);
        QFETCH(QString, number);
        QFETCH(TCallDialog, mode);
        QFETCH(TLanguage, language);
        QFETCH(QString, status);
        QFETCH(QString, dialog);
        if (modem != u"none")
            ConfigureModem(1);
        if (modem == u"gone")
            SaveModems({TModemConfig{FHome->FilePath(QStringLiteral("ttyUSB9"))}});
        FModem->SetSilent(modem == u"silent");
        TTapiDial *dialer = Dialer(language);
        dialer->SetCallDialog(mode);
        dialer->SetTelephonNo(number);
        dialer->Dial();
        QCOMPARE(LastStatus, status);
        QCOMPARE(FBoxes.size(), 1);
        QCOMPARE(FBoxes[0].Text, dialog);
        QCOMPARE(FBoxes[0].Caption, QStringLiteral("Velmora-rehber"));
        QCOMPARE(FBoxes[0].Kind, TMessageKind::Information);
        QTest::qWait(20);
        QVERIFY(!FModem->Received().contains("ATD"));
        QCOMPARE(dialer->TelephonNo(), number); // never cut short
    }

    // A modem plugged in after the start is taken into use at the next
    // dial; one unplugged later fails the dial at once, as any refused call.
    void modemPluggedInLaterIsTakenIntoUse_data()
    {
        QTest::addColumn<bool>("silent"); // else the port is missing
        QTest::newRow("port missing") << false;
        QTest::newRow("modem silent") << true;
    }
    void modemPluggedInLaterIsTakenIntoUse()
    {
        QFETCH(bool, silent);
        auto plug = [&](bool in) {
            ConfigureModem(1);
            if (!in && !silent)
                SaveModems({TModemConfig{FHome->FilePath(QStringLiteral("ttyUSB9"))}});
            FModem->SetSilent(!in && silent);
        };
        plug(false);
        TTapiDial *dialer = Dialer();
        QCOMPARE(dialer->LineHandle(), HLINE(0));
        plug(true);
        dialer->SetTelephonNo(QStringLiteral("5551212"));
        bool connected = false;
        AnswerDialBoxWhen([]() { return LastStatus.startsWith(QStringLiteral("Connected: ")); }, &connected);
        dialer->Dial();
        QVERIFY(connected);
        QTRY_COMPARE(LastStatus, QStringLiteral("Idle - call deallocated"));
        QVERIFY(dialer->LineHandle() != 0);

        plug(false);
        FModem->ClearReceived();
        dialer->Dial();
        QCOMPARE(LastStatus, QStringLiteral("Error in lineMakeCall"));
        QCOMPARE(FBoxes.size(), 2);
        QCOMPARE(FBoxes[1].Text, QStringLiteral("Error during dialing?!"));
        QTest::qWait(20);
        QVERIFY(!FModem->Received().contains("ATD"));
    }

    // Through the phone application: the link is handed over, the box still
    // appears, and closing it hangs up nothing; with no application
    // registered, or one that cannot start, the dial fails as any refused call.
    void dialThroughThePhoneApplication_data()
    {
        QTest::addColumn<int>("handler"); // 0 none, 1 registered, 2 cannot start
        QTest::newRow("handed over") << 1;
        QTest::newRow("no application") << 0;
        QTest::newRow("application cannot start") << 2;
    }
    void dialThroughThePhoneApplication()
    {
        QFETCH(int, handler);
        if (handler != 0)
            FPhone->Register(handler == 1);
        SaveLineDevice(TLineDevice::PhoneApplication);
        TTapiDial *dialer = Dialer();
        QCOMPARE(dialer->LineHandle() != 0, handler != 0);
        dialer->SetTelephonNo(QStringLiteral("0532 111 22 33"));
        const QByteArray before = FPhone->Received();
        bool idle = false;
        AnswerDialBoxWhen([]() { return LastStatus == QStringLiteral("Idle - call deallocated"); }, &idle);
        const qsizetype logged = Log().size();
        dialer->Dial();
        QCOMPARE(FBoxes.size(), 1);
        if (handler != 1) {
            QCOMPARE(LastStatus, QStringLiteral("Error in lineMakeCall"));
            QCOMPARE(FBoxes[0].Text, QStringLiteral("Error during dialing?!"));
            QCOMPARE(FPhone->Received(), before);
            return;
        }
        QVERIFY(idle);
        QCOMPARE(FBoxes[0].Text, QStringLiteral("0532 111 22 33 nolu telefon Aranıyor..."));
        QCOMPARE(Log().mid(logged),
                 Arrows({QStringLiteral("LINE_REPLY ok"), QStringLiteral("Idle - call deallocated"), QStringLiteral("Error in lineDrop")}));
        QTRY_COMPARE(FPhone->Received(), before + "tel:+905321112233\n");
    }

    void earlierFailureDoesNotSpoilTheNextDial()
    {
        ConfigureModem();
        TTapiDial *dialer = Dialer();
        dialer->SetTelephonNo(ThirtyOne);
        dialer->Dial();
        QCOMPARE(LastStatus, QStringLiteral("Error in lineMakeCall"));
        dialer->SetTelephonNo(QStringLiteral("5551212"));
        bool connected = false;
        AnswerDialBoxWhen([]() { return LastStatus.startsWith(QStringLiteral("Connected: ")); }, &connected);
        dialer->Dial();
        QVERIFY(connected);
        QCOMPARE(FBoxes.size(), 2);
        QCOMPARE(FBoxes[1].Text, QStringLiteral("5551212 nolu telefon Aranıyor..."));
        QTRY_COMPARE(LastStatus, QStringLiteral("Idle - call deallocated"));
    }

    void emptyNumberDoesNothing()
    {
        ConfigureModem();
        TTapiDial *dialer = Dialer();
        dialer->SetTelephonNo(QString());
        FModem->ClearReceived();
        LastStatus = QStringLiteral("unchanged");
        const QStringList before = Log();
        dialer->Dial();
        QTest::qWait(20);
        QCOMPARE(LastStatus, QStringLiteral("unchanged"));
        QCOMPARE(Log(), before);
        QVERIFY(FBoxes.isEmpty());
        QCOMPARE(FModem->Received(), QByteArray());
    }

    void win95DialShowsNoBox()
    {
        ConfigureModem();
        TTapiDial *dialer = Dialer();
        dialer->SetCallDialog(Win95);
        dialer->SetTelephonNo(QStringLiteral("5551212"));
        dialer->Dial();
        QVERIFY(FBoxes.isEmpty());
        QTRY_VERIFY(LastStatus.startsWith(QStringLiteral("Connected: 5551212 ")));
        dialer->HangUp();
        QCOMPARE(LastStatus, QStringLiteral("Line Dropped"));
        QTRY_COMPARE(LastStatus, QStringLiteral("Idle - call deallocated"));
        dialer->HangUp(); // the call is gone
        QCOMPARE(LastStatus, QStringLiteral("Error in lineDrop"));
    }

    void settersRefreshTheSharedCopies()
    {
        TTapiDial *dialer = Dialer(croatian);
        SharedTelephonNo = QStringLiteral("other");
        SharedLanguage = english;
        dialer->SetTelephonNo(QStringLiteral("0"));
        dialer->SetLanguage(croatian);
        QCOMPARE(SharedTelephonNo, QStringLiteral("0"));
        QCOMPARE(SharedLanguage, croatian);
        const QStringList before = Log();
        dialer->SetCallDialog(None);
        QCOMPARE(Log(), before);
    }

    void statusWindowLooksAndBehaves()
    {
        auto *dialer = new TTapiDial(FForm.get());
        QVERIFY(StatusForm && StatusForm->isHidden());
        dialer->SetStatusWindow(true); // a stored true shows the window
        QWidget *form = StatusForm.data();
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Dial Stauts"));
        QCOMPARE(form->size(), QSize(230, 100));
        QCOMPARE(form->pos(), QPoint(527, 419));
        const Qt::WindowFlags flags = form->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
        for (Qt::WindowType hint :
             {Qt::WindowSystemMenuHint, Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint, Qt::WindowCloseButtonHint})
            QVERIFY(!flags.testFlag(hint));
        QCOMPARE(StatusList->parentWidget(), form);
        QCOMPARE(StatusList->geometry(), form->rect());
        QVERIFY(!StatusList->isSortingEnabled());
        QCOMPARE(StatusList->font().pointSize(), 8);
        QCOMPARE(Log(), Arrows({QStringLiteral("Initializing TAPI"), QStringLiteral("No TAPI devices"), QStringLiteral("Error!!")}));

        LogStatus(QStringLiteral("newest"));
        QCOMPARE(StatusList->item(3)->text(), QStringLiteral("-> newest"));
        QCOMPARE(StatusList->currentRow(), 3);

        // Released and built again: an empty list, captioned in the shared language.
        dialer->SetStatusWindow(false);
        QVERIFY(!StatusWindowExists);
        QTRY_VERIFY(StatusForm.isNull());
        dialer->SetLanguage(croatian);
        dialer->SetStatusWindow(true);
        QCOMPARE(StatusForm->windowTitle(), QStringLiteral("Status Linije"));
        QCOMPARE(StatusList->count(), 0);
        QVERIFY(StatusForm->isVisible());
    }

    // The modem offers a call: the program hears of it at every RING and
    // when its caller ID arrives, always with the same handle.
    void incomingCallReachesTheProgram_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<int>("caller");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        const QByteArray mdmf(
            "\x02\x0A"
            "5321112233"
            "\x07\x05"
            "ECE K",
            19);
        QTest::newRow("number") << "MESG = " + TModemSimulator::CallerIdMessage(0x80, mdmf) << int(TIncomingCall::icNumber)
                                << QStringLiteral("5321112233") << QStringLiteral("ECE K");
        QTest::newRow("withheld") << QByteArray("NMBR = P") << int(TIncomingCall::icWithheld) << QString() << QString();
        QTest::newRow("unavailable") << QByteArray("NMBR = O") << int(TIncomingCall::icUnavailable) << QString() << QString();
        QTest::newRow("unreadable") << "MESG = " + TModemSimulator::CallerIdMessage(0x80, mdmf, 7) << int(TIncomingCall::icUnreadable)
                                    << QString() << QString();
    }
    void incomingCallReachesTheProgram()
    {
        QFETCH(QByteArray, block);
        QFETCH(int, caller);
        QFETCH(QString, number);
        QFETCH(QString, name);
        ConfigureModem(2, true);
        TTapiDial *dialer = Dialer();
        QList<TIncomingCall> reports;
        dialer->OnIncomingCall = [&reports](const TIncomingCall &call) { reports << call; };
        QTRY_COMPARE(FModem->Received(), QByteArray("AT\rATZ\rAT+VCID=1\r"));
        FModem->Send("\r\nRING\r\n");
        QTRY_COMPARE(reports.size(), 1);
        QCOMPARE(reports[0].Caller, TIncomingCall::icPending);
        QCOMPARE(reports[0].Rings, 1);
        QVERIFY(reports[0].Call != 0);
        QVERIFY(reports[0].Time.isValid());
        FModem->Send("\r\n" + block + "\r\n\r\nRING\r\n");
        QTRY_COMPARE(reports.size(), 3);
        for (const TIncomingCall &report : reports) {
            QCOMPARE(report.Call, reports[0].Call);
            QCOMPARE(report.Time, reports[0].Time);
        }
        const TIncomingCall &last = reports.last();
        QCOMPARE(last.Rings, 2);
        QCOMPARE(int(last.Caller), caller);
        QCOMPARE(last.Number, number);
        QCOMPARE(last.Name, name);
        QCOMPARE(LastStatus, QStringLiteral("TAPI successfully initialized")); // no texts of its own
    }

    // A modem that refuses caller ID says so once; its calls still ring.
    // A call that stops ringing is let go, and the next RING is a new call.
    void incomingCallEndsWithoutCallerId()
    {
        FModem->SetAnswer("AT+VCID", "ERROR");
        ConfigureModem(2, true);
        TTapiDial *dialer = Dialer(croatian);
        QList<TIncomingCall> reports;
        dialer->OnIncomingCall = [&reports](const TIncomingCall &call) { reports << call; };
        QTRY_COMPARE(Log(), Arrows({QStringLiteral("Prikaz broja pozivatelja nije dostupan")}));
        FModem->Send("\r\nRING\r\n");
        QTRY_COMPARE(reports.size(), 1);
        const HCALL first = reports[0].Call;
        alignas(LINECALLINFO) unsigned char info[CallInfoBufferSize] = {};
        reinterpret_cast<LINECALLINFO *>(info)->dwTotalSize = CallInfoBufferSize;
        QCOMPARE(lineGetCallInfo(first, reinterpret_cast<LINECALLINFO *>(info)), 0);
        QTRY_COMPARE_WITH_TIMEOUT(lineGetCallInfo(first, reinterpret_cast<LINECALLINFO *>(info)), LINEERR_INVALCALLHANDLE, 30000);
        FModem->Send("\r\nRING\r\n");
        QTRY_COMPARE(reports.size(), 2);
        QVERIFY(reports[1].Call != first);
        QCOMPARE(reports[1].Rings, 1);
        QCOMPARE(reports[1].Caller, TIncomingCall::icPending);
        QCOMPARE(Log().size(), 1);
    }

    void lineCallbackTexts_data()
    {
        QTest::addColumn<TLanguage>("language");
        QTest::addColumn<DWORD>("message");
        QTest::addColumn<DWORD>("device");
        QTest::addColumn<DWORD>("param1");
        QTest::addColumn<DWORD>("param2");
        QTest::addColumn<QString>("text"); // empty: nothing changes
        const DWORD unknown = 0x7FFFFFF0;  // a call the service does not know
        const DWORD failed = DWORD(LINEERR_OPERATIONFAILED);
        auto row = [](const char *name, TLanguage l, DWORD m, DWORD d, DWORD p1, DWORD p2, const QString &t) {
            QTest::newRow(name) << l << m << d << p1 << p2 << t;
        };
        row("reply ok", english, LINE_REPLY, 0, 5, 0, QStringLiteral("LINE_REPLY ok"));
        row("reply ok hr", croatian, LINE_REPLY, 0, 5, 0, QStringLiteral("LINE_REPLY ok"));
        row("reply error", english, LINE_REPLY, 0, 5, failed, QStringLiteral("Reply error"));
        row("reply error hr", croatian, LINE_REPLY, 0, 5, failed, QStringLiteral("Linija nije odgovorila"));
        row("idle", english, LINE_CALLSTATE, unknown, LINECALLSTATE_IDLE, 0, QStringLiteral("Idle - call deallocated"));
        row("idle hr", croatian, LINE_CALLSTATE, unknown, LINECALLSTATE_IDLE, 0, QStringLiteral("Poziv je odbačen"));
        row("idle no call", english, LINE_CALLSTATE, 0, LINECALLSTATE_IDLE, 0, QString());
        row("dialing", english, LINE_CALLSTATE, unknown, LINECALLSTATE_DIALING, 0, QStringLiteral("Dialing: 777"));
        row("dialing hr", croatian, LINE_CALLSTATE, unknown, LINECALLSTATE_DIALING, 0, QStringLiteral("Zovem: 777"));
        row("busy", english, LINE_CALLSTATE, unknown, LINECALLSTATE_BUSY, 1, QStringLiteral("Busy"));
        row("busy hr", croatian, LINE_CALLSTATE, unknown, LINECALLSTATE_BUSY, 1, QStringLiteral("Linija je zauzeta"));
        row("connected, no info", english, LINE_CALLSTATE, unknown, LINECALLSTATE_CONNECTED, 0, QStringLiteral("Connected: 777 "));
        row("connected hr", croatian, LINE_CALLSTATE, unknown, LINECALLSTATE_CONNECTED, 0, QStringLiteral("Veza je uspostavljena: 777 "));
        row("connected no call", english, LINE_CALLSTATE, 0, LINECALLSTATE_CONNECTED, 0, QString());
        row("proceeding", english, LINE_CALLSTATE, unknown, LINECALLSTATE_PROCEEDING, 0, QStringLiteral("Proceeding"));
        row("proceeding hr", croatian, LINE_CALLSTATE, unknown, LINECALLSTATE_PROCEEDING, 0, QStringLiteral("Nastavljam"));
        row("disconnected normal", english, LINE_CALLSTATE, unknown, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL,
            QStringLiteral("Disconnected: normal"));
        row("disconnected normal hr", croatian, LINE_CALLSTATE, unknown, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL,
            QStringLiteral("Linija je isključena: normalno"));
        row("disconnected busy", english, LINE_CALLSTATE, unknown, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY,
            QStringLiteral("Disconnected: busy"));
        row("disconnected busy hr", croatian, LINE_CALLSTATE, unknown, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY,
            QStringLiteral("Linija je isključena:  zbog zauzeća"));
        row("disconnected other", english, LINE_CALLSTATE, unknown, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER,
            QStringLiteral("Disconnected: "));
        row("disconnected other hr", croatian, LINE_CALLSTATE, unknown, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE,
            QStringLiteral("Linija je isključena: "));
        row("offering", english, LINE_CALLSTATE, unknown, LINECALLSTATE_OFFERING, 0, QString());
        row("ring-back", english, LINE_CALLSTATE, unknown, LINECALLSTATE_RINGBACK, 0, QString());
        row("dial tone", english, LINE_CALLSTATE, unknown, LINECALLSTATE_DIALTONE, 0, QString());
        row("line closed", english, LINE_CLOSE, unknown, LINECALLSTATE_DIALING, 0, QString());
    }
    void lineCallbackTexts()
    {
        QFETCH(TLanguage, language);
        QFETCH(DWORD, message);
        QFETCH(DWORD, device);
        QFETCH(DWORD, param1);
        QFETCH(DWORD, param2);
        QFETCH(QString, text);
        CreateStatusWindow();
        SharedLanguage = language;
        SharedTelephonNo = QStringLiteral("777");
        LastStatus = QStringLiteral("before");
        LineCallback(device, message, 0, param1, param2, 0);
        if (text.isEmpty()) {
            QCOMPARE(LastStatus, QStringLiteral("before"));
            QCOMPARE(Log(), QStringList());
        } else {
            QCOMPARE(LastStatus, text);
            QCOMPARE(Log(), Arrows({text}));
        }
    }

    void dialButtonNeedsANumber()
    {
        TTapiDial *dialer = Dialer();
        LastStatus = QStringLiteral("unchanged");
        DialFieldText(dialer, QString());
        QCOMPARE(FBoxes.size(), 1);
        QCOMPARE(FBoxes[0].Text, QStringLiteral("Telefon Numarası Yok!"));
        QCOMPARE(FBoxes[0].Caption, QStringLiteral("Velmora-rehber"));
        QCOMPARE(dialer->TelephonNo(), QStringLiteral("0"));
        QCOMPARE(LastStatus, QStringLiteral("unchanged"));

        DialFieldText(dialer, QStringLiteral("5551212")); // no modem: the error path
        QCOMPARE(dialer->TelephonNo(), QStringLiteral("5551212"));
        QCOMPARE(SharedTelephonNo, QStringLiteral("5551212"));
        QCOMPARE(FBoxes.size(), 2);
        QCOMPARE(FBoxes[1].Text, QStringLiteral("Error during dialing?!"));
    }

    void dialogsOfTheMenu()
    {
        TTapiDial *dialer = Dialer();
        QCOMPARE(dialer->LineHandle(), HLINE(0));
        // "Modem Ayarları" with no modem: the user adds one, and the dialer
        // takes it into use.
        WhenDialogOpens([this](QDialog *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Modem Ayarları"));
            QCOMPARE(dialog->parentWidget(), FForm.get());
            dialog->findChild<QComboBox *>(QStringLiteral("portBox"))->setEditText(FModem->PortName());
            dialog->accept();
        });
        dialer->ConfigDialog();
        QCOMPARE(LoadModems().size(), 1);
        QVERIFY(dialer->LineHandle() != 0);
        QCOMPARE(LastStatus, QStringLiteral("TAPI successfully initialized"));

        dialer->SetTelephonNo(QStringLiteral("0212 555 12 12"));
        QString number;
        WhenDialogOpens([&](QDialog *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Konum Seçenekleri"));
            number = dialog->findChild<QLabel *>(QStringLiteral("numberLabel"))->text();
            dialog->reject();
        });
        const QString before = LastStatus;
        dialer->TranslateDialog();
        QCOMPARE(number, QStringLiteral("0212 555 12 12"));
        QCOMPARE(LastStatus, before);

        // A NUL does not end the number the dialog shows.
        dialer->SetTelephonNo(QStringLiteral("0532") + QChar(0) + QStringLiteral(" 111"));
        WhenDialogOpens([&](QDialog *dialog) {
            number = dialog->findChild<QLabel *>(QStringLiteral("numberLabel"))->text();
            dialog->reject();
        });
        dialer->TranslateDialog();
        QCOMPARE(number, QStringLiteral("0532") + QChar::ReplacementCharacter + QStringLiteral(" 111"));
    }
};

QTEST_MAIN(TestTapiDial)
#include "tst_tapidial.moc"
