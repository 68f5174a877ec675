// Contact files through the window: the import dialog's check, its Turkish
// and its keys, the import with and without skipping bad records, files
// handed over while a dialog is open, what the end message says, a stopped
// import, the export of what the grid shows, and the offer to convert a
// Jet file.
#include "FormFixture.h"

#include "app/ImportDialog.h"
#include "platform/core/Progress.h"
#include "platform/widgets/Edit.h"
#include "store/ADOConnection.h"
#include "support/TestServer.h"

#include <QApplication>
#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

const std::vector<TContactRow> Three = {
    {QStringLiteral("Ayşe"), QStringLiteral("Kaya"), QStringLiteral("0532 000 00 01")},
    {QStringLiteral("Burak"), QStringLiteral("Demir"), QStringLiteral("0532 000 00 02")},
    {QStringLiteral("Ceren"), QStringLiteral("Aydın"), QStringLiteral("0532 000 00 03")},
};

// Two good cards, one repeating Ayşe's name and mobile number, and text
// that belongs to no card.
const char FourCards[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Yılmaz;Deniz;;;\r\nFN:Deniz Yılmaz\r\n"
    "TEL;TYPE=CELL:0533 111 22 33\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Öztürk;Emre;;;\r\nFN:Emre Öztürk\r\n"
    "TEL;TYPE=HOME:0212 444 55 66\r\nEMAIL:emre@example.com\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Kaya;Ayşe;;;\r\nTEL;TYPE=CELL:+90 532 000 00 01\r\nEND:VCARD\r\n"
    "bozuk satır\r\n";

QString WriteFile(const TFormFixture &f, const QString &name, const QByteArray &bytes)
{
    QFile file(f.Home.FilePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(name));
    return file.fileName();
}

int Count(const TFormFixture &f)
{
    return RunSql(f.DatabasePath(), QStringLiteral("SELECT count(*) FROM DBASE")).toInt();
}

// Runs act on the import dialog once it is shown (it is modal).
void OnImportDialog(std::function<void(TImportDialog &)> act)
{
    QTimer::singleShot(0, [act] {
        auto *dialog = qobject_cast<TImportDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(*dialog);
    });
}

// Runs act on each import dialog as it comes to the front, in turn (the
// first is 0), for as long as context lives.
void OnEachImportDialog(QObject *context, std::function<void(TImportDialog &, int)> act)
{
    auto *timer = new QTimer(context);
    auto count = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [act, count] {
        auto *dialog = qobject_cast<TImportDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("seen").toBool())
            return;
        dialog->setProperty("seen", true);
        act(*dialog, (*count)++);
    });
    timer->start(0);
}

// A progress dialog whose user presses "İptal" at once.
class TStoppingSink : public TProgressSink {
public:
    void Begin(const QString &, qint64, bool) override {}
    bool Update(qint64, qint64, const QString &) override { return false; }
    void End() override {}
};

} // namespace

class TestContactFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void importChecksThenWrites_data()
    {
        QTest::addColumn<bool>("skipBad");
        QTest::newRow("bad records refuse all") << false;
        QTest::newRow("bad records skipped") << true;
    }
    void importChecksThenWrites()
    {
        QFETCH(bool, skipBad);
        TFormFixture f;
        f.Start(Three);
        const QString file = WriteFile(f, QStringLiteral("kisiler.vcf"), FourCards);
        bool seen = false;
        OnImportDialog([&](TImportDialog &d) {
            seen = true;
            QCOMPARE(d.CountsLabel->text(), QStringLiteral("Okunan kayıt: 4    Eklenecek: 0    Aynısı olan: 1    Hatalı: 1"));
            // In Turkish, with the form's labels.
            QCOMPARE(d.ProblemsText->toPlainText(),
                     QStringLiteral("3. kart: rehberde olduğu için atlandı: ad ve GSM No (\"+90 532 000 00 01\") 1 numaralı kişiyle aynı\n"
                                    "19. satır: kartların dışında metin (kayıt alınmadı)\n"));
            QCOMPARE(d.PreviewTable->rowCount(), 2);
            QCOMPARE(d.PreviewTable->item(0, 0)->text(), QStringLiteral("Deniz"));
            QCOMPARE(d.PreviewTable->item(1, 3)->text(), QStringLiteral("0212 444 55 66"));
            // Tab leaves the grid in one step.
            d.PreviewTable->setFocus();
            d.PreviewTable->setCurrentCell(0, 0);
            QTest::keyClick(d.PreviewTable, Qt::Key_Tab);
            QCOMPARE(d.focusWidget(), d.SkipBadBox);
            // Each control has an Alt+letter of its own.
            QStringList keys;
            for (const QAbstractButton *b : d.findChildren<QAbstractButton *>())
                if (!b->text().isEmpty())
                    keys << QKeySequence::mnemonic(b->text()).toString();
            for (const QLabel *l : d.findChildren<QLabel *>())
                if (l->buddy() && l->buddy()->focusPolicy() != Qt::NoFocus)
                    keys << QKeySequence::mnemonic(l->text()).toString();
            QCOMPARE(keys.size(), 7);
            QVERIFY2(!keys.contains(QString()) && QSet<QString>(keys.begin(), keys.end()).size() == keys.size(),
                     qPrintable(keys.join(u' ')));
            if (skipBad)
                d.SkipBadBox->click(); // checks the file again
            QVERIFY(d.CountsLabel->text().contains(skipBad ? QLatin1String("Eklenecek: 2") : QLatin1String("Eklenecek: 0")));
            QTest::keyClick(&d, Qt::Key_Return); // the default button
            if (!skipBad) {
                // Nothing would be written: said so, and the dialog stays.
                QVERIFY(d.isVisible());
                QCOMPARE(f.Boxes.size(), 1);
                QTest::keyClick(&d, Qt::Key_Escape);
            }
        });
        f.Form->ImportContactFiles({QUrl::fromLocalFile(file).toString()});
        QVERIFY(seen);
        QVERIFY(f.ErrorTexts().isEmpty());
        if (!skipBad) {
            QCOMPARE(Count(f), 3);
            QCOMPARE(f.GridColumn(0).size(), 3);
            return;
        }
        QCOMPARE(Count(f), 5);
        QCOMPARE(f.GridColumn(0),
                 (QStringList{QStringLiteral("Ayşe"), QStringLiteral("Burak"), QStringLiteral("Ceren"), QStringLiteral("Deniz"),
                              QStringLiteral("Emre")}));
        QCOMPARE(f.GridColumn(5).at(4), QStringLiteral("emre@example.com"));
        QVERIFY2(f.BoxTexts().last().contains(QStringLiteral("2 kişi eklendi")), qPrintable(f.BoxTexts().join(u'|')));
    }

    // A file handed over while a dialog is open waits for it; its own dialog
    // counts after the first import and fits on the screen with a long name.
    void filesHandedOverWaitForTheOpenDialog()
    {
        TFormFixture f;
        f.Start(Three);
        const QString first = WriteFile(f, QStringLiteral("bir.csv"), "Ad,CTelefon\nDeniz,0533 111 22 33\n");
        const QString second =
            WriteFile(f, QString(200, u'u') + QStringLiteral(".csv"), "Ad,CTelefon\nDeniz,0533 111 22 33\nEmre,0533 111 22 34\n");
        QObject context;
        QStringList counts;
        bool firstOpenMeanwhile = false, fits = false;
        QPointer<TImportDialog> firstDialog;
        OnEachImportDialog(&context, [&](TImportDialog &d, int n) {
            counts << d.CountsLabel->text();
            if (n == 0) {
                firstDialog = &d;
                f.Form->ImportContactFiles({second});
            } else {
                firstOpenMeanwhile = firstDialog && firstDialog->isVisible();
                fits = d.frameGeometry().width() <= d.screen()->availableGeometry().width()
                    && d.findChild<QLabel *>(QStringLiteral("FileLabel"))->text().contains(u'…');
            }
            d.ImportButton->click();
        });
        f.Form->ImportContactFiles({first});
        QVERIFY(!firstOpenMeanwhile);
        QVERIFY(fits);
        QCOMPARE(counts.size(), 2);
        QVERIFY2(counts[1].contains(QStringLiteral("Eklenecek: 1    Aynısı olan: 1")), qPrintable(counts[1]));
        QCOMPARE(Count(f), 5);
    }

    // The end message says which details were left out and that the search
    // filter hides what was added; the filter stays as the user set it.
    void endMessageSaysWhatIsLeftOutAndHidden()
    {
        TFormFixture f;
        f.Start(Three);
        f.Form->Edit1->setText(QStringLiteral("%e%")); // Ayşe and Ceren
        QChar enter(u'\r');
        f.Form->Edit1KeyPress(f.Form->Edit1, enter);
        const QString file =
            WriteFile(f, QStringLiteral("uzun.csv"), "Ad,Soyad,CTelefon\n" + QByteArray(60, 'A') + ",Y\xC4\xB1lmaz,0532 999 00 00\n");
        OnImportDialog([](TImportDialog &d) {
            QCOMPARE(d.ProblemsText->toPlainText(), QStringLiteral("2. satır: Ad alınmadı (60 karakter, en çok 50)\n"));
            d.ImportButton->click();
        });
        f.Form->ImportContactFiles({file});
        QCOMPARE(Count(f), 4);
        QCOMPARE(f.GridColumn(0).size(), 2);
        const QString end = f.BoxTexts().last();
        for (const char *said : {"1 kişi eklendi", "1 ayrıntısı alınmadı", "2. satır: Ad alınmadı (60 karakter, en çok 50)",
                                 "1 tanesi arama filtresine uymadığı için listede görünmüyor"})
            QVERIFY2(end.contains(QString::fromUtf8(said)), qPrintable(end));
    }

    void stoppedImportWritesNothing()
    {
        TFormFixture f;
        f.Start(Three);
        QByteArray many(FourCards);
        for (int i = 0; i < 5000; ++i)
            many += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Kişi;" + QByteArray::number(i) + ";;;\r\nTEL:0544 " + QByteArray::number(1000000 + i)
                + "\r\nEND:VCARD\r\n";
        const QString file = WriteFile(f, QStringLiteral("cok.vcf"), many);
        TStoppingSink stopping;
        OnImportDialog([&](TImportDialog &d) {
            d.SkipBadBox->click();
            SetProgressSink(&stopping); // from here on the user stops the work
            d.ImportButton->click();
        });
        f.Form->ImportContactFiles({file});
        SetProgressSink(nullptr);
        QCOMPARE(Count(f), 3);
        QCOMPARE(f.GridColumn(0).size(), 3);
        QVERIFY2(f.Boxes.isEmpty(), qPrintable(f.BoxTexts().join(u'|'))); // a stop is not an error
    }

    void exportWritesWhatTheGridShows_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::newRow("csv ;") << QStringLiteral("CSV, noktalı virgülle ayrılmış (*.csv)") << QStringLiteral("liste.csv")
                               << QByteArray("Ayşe;Kaya;0532 000 00 01") << QByteArray("Ceren;Aydın;0532 000 00 03");
        QTest::newRow("vcard 4.0") << QStringLiteral("vCard 4.0 (*.vcf)") << QStringLiteral("liste.vcf")
                                   << QByteArray("VERSION:4.0\r\nN:Kaya;Ayşe") << QByteArray("FN:Ceren Aydın");
    }
    void exportWritesWhatTheGridShows()
    {
        QFETCH(QString, filter);
        QFETCH(QString, name);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        TFormFixture f;
        f.Start(Three);
        f.Form->Edit1->setText(QStringLiteral("%e%")); // Ayşe and Ceren
        QChar enter(u'\r');
        f.Form->Edit1KeyPress(f.Form->Edit1, enter);
        QCOMPARE(f.GridColumn(0).size(), 2);
        // The name without its extension gets the filter's.
        f.Form->ExportContactsTo(f.Home.FilePath(QFileInfo(name).completeBaseName()), filter);
        QFile file(f.Home.FilePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY2(bytes.indexOf(first) >= 0 && bytes.indexOf(first) < bytes.indexOf(second), bytes.constData());
        QVERIFY(!bytes.contains("Burak"));
    }

    void jetFileConvertedOnlyWhenAsked_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("no") << IDNO;
        QTest::newRow("yes") << IDYES;
    }
    void jetFileConvertedOnlyWhenAsked()
    {
        QFETCH(int, answer);
        if (ServerTests())
            QSKIP("a Jet file is a file of this desktop");
        QFile jet(QStringLiteral(VELMORA_SHARED_FIXTURES "/jet/jet4-numeric.mdb"));
        if (!jet.open(QIODevice::ReadOnly))
            QSKIP("the shared Jet fixtures are not there");
        const QByteArray original = jet.readAll();
        // The window runs the contacts tool of this build.
        qputenv("PATH", qgetenv("VELMORA_TEST_BINARY_DIR") + "/tools:" + qgetenv("PATH"));
        TFormFixture f;
        WriteFile(f, QStringLiteral("fihrist.mdb"), original);
        f.Answer(answer);
        f.Start({}, false);
        QVERIFY(!f.Boxes.isEmpty());
        QCOMPARE(f.Boxes.first().Kind, TMessageKind::Question);
        QVERIFY(f.Boxes.first().Text.contains(QLatin1String("fihrist.mdb.jet")));
        QFile kept(f.DatabasePath() + QStringLiteral(".jet"));
        QFile now(f.DatabasePath());
        QVERIFY(now.open(QIODevice::ReadOnly));
        if (answer == IDNO) {
            QCOMPARE(now.readAll(), original);
            QVERIFY(!kept.exists());
            QVERIFY(!f.Form->ADOConnection1->Connected());
            return;
        }
        QVERIFY2(now.read(16).startsWith("SQLite format 3"), qPrintable(f.BoxTexts().join(u'|')));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), original);
        QVERIFY(f.Form->ADOConnection1->Connected());
    }
};

QTEST_MAIN(TestContactFiles)
#include "tst_window_contact_files.moc"
