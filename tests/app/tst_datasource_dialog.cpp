// Ayarlar > "Veri Kaynağı...": from the file to the office server and
// back, as a user fills the dialog, with the grid following each choice.
#include "FormFixture.h"

#include "app/DataSourceDialog.h"
#include "platform/widgets/DBGrid.h"
#include "store/ADOQuery.h"
#include "store/DataSources.h"
#include "support/TestServer.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

namespace {

// Runs the menu entry; fill works on the dialog once it shows.
void ChooseDataSource(TFormFixture &f, const std::function<void(TDataSourceDialog *)> &fill)
{
    bool filled = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<TDataSourceDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        fill(dialog);
        filled = true;
    });
    f.Form->findChild<QAction *>(QStringLiteral("VeriKaynagi1"))->trigger();
    QVERIFY(filled);
}

} // namespace

class TestDataSourceDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fromTheFileToTheServerAndBack()
    {
        if (qEnvironmentVariableIsEmpty("VELMORA_PG_DIR"))
            QSKIP("no private PostgreSQL cluster");
        TFormFixture f;
        f.Start({{QStringLiteral("Dosyada")}});
        QCOMPARE(f.Form->findChild<QAction *>(QStringLiteral("VeriKaynagi1"))->text(), QStringLiteral("&Veri Kaynağı..."));
        const QString serverFile = f.Home.FilePath(QStringLiteral("sunucu.mdb"));
        MakeServerContacts(serverFile, {{QStringLiteral("Sunucuda")}});

        ChooseDataSource(f, [&](TDataSourceDialog *d) {
            QVERIFY(d->FileChoice->isChecked());
            QVERIFY(!d->Host->isEnabled());
            d->ServerChoice->click();
            d->HostChoice->click();
            QTest::keyClicks(d->Host, QString::fromLocal8Bit(qgetenv("VELMORA_PG_DIR")));
            QTest::keyClicks(d->Database, ServerDatabaseFor(serverFile));
            QTest::keyClicks(d->User, QStringLiteral("velmora"));
            QTest::keyClick(d->User, Qt::Key_Return); // Enter: "Tamam"
        });
        QCOMPARE(f.GridColumn(0), QStringList{QStringLiteral("Sunucuda")});
        QVERIFY(ServerForDataSource(QStringLiteral("fihrist.mdb")));

        // Esc changes nothing; the dialog shows the server as saved.
        ChooseDataSource(f, [&](TDataSourceDialog *d) {
            QVERIFY(d->ServerChoice->isChecked() && d->HostChoice->isChecked());
            QCOMPARE(d->Database->text(), ServerDatabaseFor(serverFile));
            d->FileChoice->click();
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QCOMPARE(f.GridColumn(0), QStringList{QStringLiteral("Sunucuda")});

        ChooseDataSource(f, [&](TDataSourceDialog *d) {
            d->FileChoice->click();
            QTest::keyClick(d->FileChoice, Qt::Key_Return);
        });
        QCOMPARE(f.GridColumn(0), QStringList{QStringLiteral("Dosyada")});
        QVERIFY(!ServerForDataSource(QStringLiteral("fihrist.mdb")));
        QVERIFY(f.ErrorTexts().isEmpty());
    }

    // A server that cannot be reached: "Bağlantıyı Sına" says so in Turkish,
    // and "Tamam" does not take it. The user keeps the file, which stayed
    // open, and a new contact can be typed at once.
    void aSourceThatFailsIsNotTaken()
    {
        TFormFixture f;
        f.Start({{QStringLiteral("Dosyada")}});
        const QString unreachable = QStringLiteral(
            "Veritabanı sunucusuna bağlanılamadı: sunucunun çalıştığını ve adının doğru "
            "yazıldığını denetleyiniz ya da yöneticinize başvurunuz (bağlantı reddedildi).");
        ChooseDataSource(f, [&](TDataSourceDialog *d) {
            d->ServerChoice->click();
            d->HostChoice->click();
            QTest::keyClicks(d->Host, QStringLiteral("/yok"));
            QTest::keyClicks(d->Database, QStringLiteral("rehber"));
            d->TestButton->click();
            QCOMPARE(d->Result->text(), unreachable);
            f.Answer(IDYES); // keep the previous source
            QTest::keyClick(d->User, Qt::Key_Return);
        });
        QCOMPARE(f.BoxTexts(),
                 QStringList{QStringLiteral("Yeni veri kaynağı açılamadı: %1\r\rÖnceki veri kaynağıyla sürdürülsün mü? "
                                            "\"Hayır\" ayarlara geri döner.")
                                 .arg(unreachable)});
        QVERIFY(!ServerForDataSource(QStringLiteral("fihrist.mdb")));
        QCOMPARE(f.GridColumn(0), QStringList{QStringLiteral("Dosyada")});
        f.Form->Button1->click();
        QCOMPARE(f.Form->ADOQuery1->State(), rsInsert);
        QCOMPARE(f.BoxTexts().size(), 1);
    }
};

QTEST_MAIN(TestDataSourceDialog)
#include "tst_datasource_dialog.moc"
