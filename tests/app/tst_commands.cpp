// The window's commands that leave the program: dialling a contact through
// the modem (simulated on a pseudo-terminal, driven through the real serial
// port) and the XML export from both menus.
#include "FormFixture.h"
#include "support/TestTools.h"

#include "dialer/TapiStatus.h"
#include "dialer/ModemSimulator.h"
#include "platform/widgets/DBEdit.h"
#include "platform/widgets/DBGrid.h"
#include "store/ADOQuery.h"

#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {

const std::vector<TContactRow> Contacts = {
    {QStringLiteral("Ayşe"), QStringLiteral("Kaya"), QStringLiteral("0532 111 22 33"), QString(), QStringLiteral("(0212) 444-55-66")},
    {QStringLiteral("Burak"), QStringLiteral("Demir"), QStringLiteral("0533 000 00 01")},
};

} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dialButtonCallsTheContactAndHangsUpFromTheBox()
    {
        TFormFixture f;
        TModemSimulator modem;
        QVERIFY(modem.IsValid());
        modem.Install();
        f.Start(Contacts);
        QCOMPARE(LastStatus, QStringLiteral("TAPI successfully initialized"));

        QStringList statuses;
        TMessageBoxRequest dialBox;
        f.App->SetMessageBoxHandler([&](const TMessageBoxRequest &box) -> int {
            dialBox = box;
            // The user reads the box while the call goes on, then closes it.
            QDeadlineTimer deadline(10000);
            while (!LastStatus.startsWith(QStringLiteral("Connected: ")) && !deadline.hasExpired())
                QTest::qWait(10);
            return IDOK;
        });
        QTest::mouseClick(f.Form->SpeedButton1, Qt::LeftButton);
        QCOMPARE(dialBox.Caption, QStringLiteral("0532 111 22 33 nolu telefonla konuşuluyor."));
        QCOMPARE(dialBox.Text, QStringLiteral("0532 111 22 33 nolu telefon Aranıyor..."));
        QCOMPARE(dialBox.Kind, TMessageKind::Information);
        QTRY_COMPARE(LastStatus, QStringLiteral("Idle - call deallocated"));
        QVERIFY(modem.Received().contains("ATDT05321112233;\r"));
        QVERIFY(modem.Received().contains("ATH"));

        // The work number, typed with formatting, reaches the modem as digits.
        modem.ClearReceived();
        QTest::mouseClick(f.Form->SpeedButton3, Qt::LeftButton);
        QTRY_COMPARE(LastStatus, QStringLiteral("Idle - call deallocated"));
        QVERIFY(modem.Received().contains("ATDT02124445566;\r"));
    }

    void dialWithoutNumberOrModemSaysSo()
    {
        TFormFixture f;
        f.Start(Contacts);
        // No modem is configured: the line could not be opened.
        QCOMPARE(LastStatus, QStringLiteral("Error!!"));
        QTest::mouseClick(f.Form->SpeedButton2, Qt::LeftButton); // no home number
        QCOMPARE(f.BoxTexts(), QStringList{QStringLiteral("Telefon Numarası Yok!")});
        QCOMPARE(f.Boxes.front().Caption, QStringLiteral("Velmora-rehber"));
        f.ClearBoxes();
        QTest::mouseClick(f.Form->SpeedButton1, Qt::LeftButton);
        QCOMPARE(f.BoxTexts(), QStringList{QStringLiteral("Error during dialing?!")});
        QCOMPARE(LastStatus, QStringLiteral("Error in lineMakeCall"));
        // The window goes on as before.
        f.ClearBoxes();
        f.Form->Button8->click();
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("Burak"));
        QVERIFY(f.Boxes.isEmpty());
    }

    void xmlExportFromBothMenus()
    {
        TFormFixture f;
        f.Start(Contacts);
        const QString file = f.Home.FilePath(QStringLiteral("VelmoraTelReh.xml"));
        f.ClickGrid(1);
        f.Form->XmlDosyaOlutur1->trigger();
        QCOMPARE(f.BoxTexts(), QStringList{QStringLiteral("\"C:\" anadizinine XML Formatında Kayıt Tamamlandı")});
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("Burak")); // the cursor came back
        QVERIFY(f.Form->DBGrid1->isEnabled());
        const QByteArray first = FileBytes(file);
        QVERIFY(first.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-9\"?><TelRehberi"));
        QVERIFY(
            first.contains("<Ki\xFE"
                           "i No=\"1\" Ad=\"Ay\xFE"
                           "e\" Soyad=\"Kaya\" CTelefon=\"0532 111 22 33\""));

        // From the grid's menu while a new contact is entered (main menu):
        // the new contact is written first and is the current one after.
        f.ClearBoxes();
        f.Form->Button1->click();
        f.Type(f.Form->DBEdit1, QStringLiteral("Cem"));
        f.Form->XmleAktar1->trigger();
        QCOMPARE(f.BoxTexts().size(), 1);
        QCOMPARE(f.Form->ADOQuery1->State(), rsBrowse);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("Cem"));
        QVERIFY(FileBytes(file).contains("Ad=\"Cem\"/>"));
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
