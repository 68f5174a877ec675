// "Excell'e Aktar" from the window: the real grid's titles, widths and rows
// into a LibreOffice Calc workbook (headless, on the test's own profile).
#include "FormFixture.h"

#include "automation/CalcTestOffice.h"
#include "platform/widgets/DBEdit.h"
#include "platform/widgets/DBGrid.h"
#include "store/ADOQuery.h"

#include <QFile>
#include <QMenu>
#include <QtTest>

class TestWindowSpreadsheet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exportFromBothMenusUsesTheGridAsTheUserLeftIt()
    {
        TFormFixture f;
        TCalcTestOffice office(f.Home.Path());
        f.Start({{QStringLiteral("Ayşe"), QStringLiteral("Kaya"), QStringLiteral("0532 111 22 33")},
                 {QStringLiteral("Burak"), QStringLiteral("Demir"), QString(), QStringLiteral("00212")},
                 {QStringLiteral("Çiğdem"), QStringLiteral("Öz")}});
        f.Form->DBGrid1->setColumnWidth(1, 200); // the user widened "Soyad"
        f.ClickGrid(1);

        const auto before = office.Documents();
        f.Form->ExcelleAktar1->trigger();
        QCOMPARE(f.BoxTexts(), QStringList{QStringLiteral("\"C:\" anadizinine Excell Formatında Kayıt Tamamlandı")});
        const auto added = TCalcTestOffice::Added(before, office.Documents());
        QCOMPARE(added.size(), size_t(1));
        const auto sheet = TCalcTestOffice::FirstSheet(added.front());
        const QStringList titles = {QStringLiteral("Ad"),       QStringLiteral("Soyad"),    QStringLiteral("CTelefon"),
                                    QStringLiteral("ETelefon"), QStringLiteral("ITelefon"), QStringLiteral("Email"),
                                    QStringLiteral("Adres")};
        for (int c = 0; c < titles.size(); ++c)
            QCOMPARE(TCalcTestOffice::Text(sheet, c, 0), titles.at(c));
        QCOMPARE(TCalcTestOffice::Text(sheet, 0, 3), QStringLiteral("Çiğdem"));
        QCOMPARE(TCalcTestOffice::Text(sheet, 3, 2), QStringLiteral("00212"));
        QVERIFY(TCalcTestOffice::IsText(sheet, 3, 2));
        QVERIFY(TCalcTestOffice::IsEmpty(sheet, 0, 4));
        // 200 pixels × 0.11 = 22 characters, twice as wide as 100 pixels.
        const double ratio = double(TCalcTestOffice::ColumnWidth(sheet, 1)) / TCalcTestOffice::ColumnWidth(sheet, 2);
        QVERIFY2(std::abs(ratio - 2.0) < 0.02, qPrintable(QString::number(ratio)));
        QVERIFY(QFile::exists(f.Home.FilePath(QStringLiteral("VelmoraTelReh.xls"))));
        QCOMPARE(f.Form->ADOQuery1->RecNo(), 2);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("Burak"));
        QVERIFY(f.Form->DBGrid1->isEnabled());

        // The grid's pop-up command makes a second workbook.
        f.ClearBoxes();
        const auto second = office.Documents();
        f.Form->ExceleAktar1->trigger();
        QCOMPARE(f.BoxTexts().size(), 1);
        QCOMPARE(TCalcTestOffice::Added(second, office.Documents()).size(), size_t(1));
        for (const auto &doc : office.Documents())
            TCalcTestOffice::Close(doc);
        office.Stop();
    }

    void closedListFailsBeforeLibreOfficeStarts()
    {
        TFormFixture f;
        TCalcTestOffice office(f.Home.Path());
        f.Start({}, false); // no database: the list stays closed
        f.ClearBoxes();
        f.Form->ExcelleAktar1->trigger();
        QCOMPARE(f.ErrorTexts(), QStringList{QStringLiteral("Cannot perform this operation on a closed dataset.")});
        QVERIFY(office.Processes().isEmpty());
        QVERIFY(f.Form->DBGrid1->isEnabled());
    }
};

QTEST_MAIN(TestWindowSpreadsheet)
#include "tst_window_spreadsheet.moc"
