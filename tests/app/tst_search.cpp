// Narrowing the list with a LIKE pattern on one field, and back to all.
#include "FormFixture.h"
#include "support/TestTools.h"

#include "platform/widgets/DBEdit.h"
#include "platform/widgets/Edit.h"
#include "platform/widgets/RadioGroup.h"
#include "store/ADOQuery.h"

#include <QCryptographicHash>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include "support/TestServer.h"

#include <QtTest>

namespace {

const std::vector<TContactRow> People = {
    {QStringLiteral("Ahmet"), QStringLiteral("Işık"), QStringLiteral("0532 555 10 10"), QStringLiteral("0212 111")},
    {QStringLiteral("Bora"), QStringLiteral("IŞIK"), {}, QStringLiteral("")},
    {QStringLiteral("Can"), QStringLiteral("Şahin"), QStringLiteral("0533 444 20 20")},
    {QStringLiteral("Ayla"), QStringLiteral("Şahinler"), QStringLiteral("")},
    {QStringLiteral("Deniz"), QStringLiteral("isik"), QStringLiteral("0544 5")},
    {QStringLiteral("ayşe"), QStringLiteral("O'Brien"), QStringLiteral("0%5_")},
};

QByteArray Hash(const QString &path)
{
    return QCryptographicHash::hash(FileBytes(path), QCryptographicHash::Sha256);
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

    static void Search(TFormFixture &f, int item, const QString &pattern)
    {
        f.Form->RadioGroup1->Item(item)->click();
        f.Form->Edit1->setFocus();
        f.Form->Edit1->selectAll();
        if (pattern.isEmpty())
            QTest::keyClick(f.Form->Edit1, Qt::Key_Backspace);
        else
            f.Type(f.Form->Edit1, pattern);
        QTest::keyClick(f.Form->Edit1, Qt::Key_Return);
    }

private Q_SLOTS:
    void patternsFindWhatLikeSays_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("found");
        const auto names = [](std::initializer_list<const char *> n) {
            QStringList l;
            for (const char *s : n)
                l << QString::fromUtf8(s);
            return l;
        };
        QTest::newRow("turkish i with marks") << 1 << "ış%" << names({"Ahmet", "Bora", "Deniz"});
        QTest::newRow("plain is") << 1 << "is%" << names({"Ahmet", "Bora", "Deniz"});
        QTest::newRow("exact without marks") << 1 << "sahin" << names({"Can"});
        QTest::newRow("prefix") << 1 << "sahin%" << names({"Ayla", "Can"});
        QTest::newRow("first name, any case") << 0 << "a%" << names({"Ahmet", "Ayla", "ayşe"});
        QTest::newRow("one character") << 0 << "Ca_" << names({"Can"});
        QTest::newRow("mobile contains") << 2 << "%5%" << names({"Ahmet", "ayşe", "Can", "Deniz"});
        QTest::newRow("percent alone skips null") << 2 << "%" << names({"Ahmet", "Ayla", "ayşe", "Can", "Deniz"});
        QTest::newRow("home empty text") << 3 << "" << names({"Ahmet", "Bora"});
        QTest::newRow("quote") << 1 << "O'B%" << names({"ayşe"});
        QTest::newRow("injection") << 1 << "' OR 1=1 --" << names({});
        QTest::newRow("drop table") << 0 << "%'; DROP TABLE DBASE; --" << names({});
        QTest::newRow("backslash") << 0 << "\\%" << names({});
        QTest::newRow("nothing matches") << 0 << "Zzz%" << names({});
    }
    void patternsFindWhatLikeSays()
    {
        QFETCH(int, item);
        QFETCH(QString, pattern);
        QFETCH(QStringList, found);
        TFormFixture f;
        f.Start(People);
        const QByteArray before = Hash(f.DatabasePath());
        Search(f, item, pattern);
        QVERIFY2(f.Boxes.isEmpty(), qPrintable(f.BoxTexts().join(u'|')));
        QCOMPARE(f.GridColumn(0), found);
        QCOMPARE(f.Form->Edit1->text(), pattern.isEmpty() ? QStringLiteral("%") : pattern);
        QCOMPARE(f.Form->DBEdit1->text(), found.isEmpty() ? QString() : found.front());
        QCOMPARE(Hash(f.DatabasePath()), before);
    }

    void longAndControlPatternsAreHarmless()
    {
        TFormFixture f;
        f.Start(People);
        const QByteArray before = Hash(f.DatabasePath());
        f.Form->Edit1->setText(QString(5000, u'a') + QStringLiteral("%"));
        QTest::keyClick(f.Form->Edit1, Qt::Key_Return);
        QVERIFY(f.GridColumn(0).isEmpty());
        f.Form->Edit1->setText(QStringLiteral("A\x01%\x7f"));
        QTest::keyClick(f.Form->Edit1, Qt::Key_Return);
        QVERIFY(f.GridColumn(0).isEmpty());
        QVERIFY(f.Boxes.isEmpty());
        QCOMPARE(Hash(f.DatabasePath()), before);
    }

    void allRecordsRestoresTheListAndKeepsThePattern()
    {
        TFormFixture f;
        f.Start(People);
        Search(f, 1, QStringLiteral("sahin%"));
        QCOMPARE(f.GridColumn(0).size(), 2);
        // A contact added while the search is in force stands at the end.
        f.Form->Button1->click();
        f.Type(f.Form->DBEdit1, QStringLiteral("Zafer"));
        f.Form->Button4->click();
        QCOMPARE(f.GridColumn(0), (QStringList{QStringLiteral("Ayla"), QStringLiteral("Can"), QStringLiteral("Zafer")}));
        f.Form->Button10->click();
        QCOMPARE(f.GridColumn(0).size(), 7);
        QCOMPARE(f.Form->Edit1->text(), QStringLiteral("sahin%"));
        QCOMPARE(f.Form->RadioGroup1->ItemIndex(), 1);
        // The statement stays in force for later opens.
        Search(f, 1, QStringLiteral("sahin%"));
        f.Form->ADOQuery1->Close();
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(f.Form.get(), &activate);
        QCOMPARE(f.GridColumn(0).size(), 2);
    }

    void searchWhilePendingDropsTheRow()
    {
        TFormFixture f;
        f.Start(People);
        f.Form->Button1->click();
        f.Type(f.Form->DBEdit1, QStringLiteral("Kayıp"));
        Search(f, 0, QStringLiteral("%"));
        QVERIFY(f.EditingConfiguration());
        QCOMPARE(f.Form->ADOQuery1->State(), rsBrowse);
        QCOMPARE(RunSql(f.DatabasePath(), QStringLiteral("SELECT count(*) FROM DBASE")).toInt(), 6);
        f.Form->Button9->click();
        QVERIFY(f.BrowsingConfiguration());
    }

    void failingStatementLeavesTheListClosed()
    {
        TFormFixture f;
        f.Start(People);
        // The file is renamed away while it changes, so that the window's
        // connection cannot see it half done; a server needs nothing of the kind.
        const QString moved = ServerTests() ? f.DatabasePath() : f.DatabasePath() + QStringLiteral(".away");
        QVERIFY(ServerTests() || QFile::rename(f.DatabasePath(), moved));
        RunSql(moved, QStringLiteral("ALTER TABLE DBASE RENAME TO Eski"));
        QVERIFY(ServerTests() || QFile::rename(moved, f.DatabasePath()));
        Search(f, 0, QStringLiteral("%"));
        QCOMPARE(f.ErrorTexts().size(), 1);
        QCOMPARE(f.Form->ADOQuery1->State(), rsClosed);
        QVERIFY(f.GridColumn(0).isEmpty());
        f.ClearBoxes();
        f.Form->Button8->click();
        QCOMPARE(f.ErrorTexts(), QStringList{QStringLiteral("Cannot perform this operation on a closed dataset.")});
        RunSql(f.DatabasePath(), QStringLiteral("ALTER TABLE Eski RENAME TO DBASE"));
        f.ClearBoxes();
        f.Form->Button10->click();
        QVERIFY(f.Boxes.isEmpty());
        QCOMPARE(f.GridColumn(0).size(), 6);
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
