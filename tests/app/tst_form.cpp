// The main window as a user first meets it: layout, start-up, activation,
// closing, a missing database, and the grid following clicks and keys.
#include "FormFixture.h"
#include "support/TestTools.h"

#include "platform/widgets/DBEdit.h"
#include "platform/widgets/DBGrid.h"
#include "platform/widgets/DBMemo.h"
#include "platform/widgets/Edit.h"
#include "platform/widgets/RadioGroup.h"
#include "store/ADOQuery.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

namespace {

const std::vector<TContactRow> Turkish = {
    {QStringLiteral("Deniz"), QStringLiteral("Yılmaz"), QStringLiteral("0532 111 11 11")},
    {QStringLiteral("Çağla"), QStringLiteral("Şahin"), QStringLiteral("0533 222 22 22"), QStringLiteral("0212 555 12 12")},
    {QStringLiteral("Cem"),
     QStringLiteral("Öztürk"),
     {},
     {},
     {},
     QStringLiteral("cem@example.com"),
     QStringLiteral("Bağdat Cad. 5\nKadıköy")},
    {QStringLiteral("ali"), QStringLiteral("Işık")},
    {QStringLiteral("İsmail"), QStringLiteral("Ünal")},
    {QStringLiteral("Irmak"), QStringLiteral("Güneş")},
    {QStringLiteral("Zeynep"), QStringLiteral("Koç")},
};

const QStringList TurkishOrder = {QStringLiteral("ali"),   QStringLiteral("Cem"),    QStringLiteral("Çağla"), QStringLiteral("Deniz"),
                                  QStringLiteral("Irmak"), QStringLiteral("İsmail"), QStringLiteral("Zeynep")};

} // namespace

class TestForm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layoutAsDesigned()
    {
        TFormFixture f;
        f.Start(Turkish);
        TForm1 &w = *f.Form;
        QCOMPARE(w.windowTitle(), QStringLiteral("Velmora Telefon Rehberi"));
        QCOMPARE(w.centralWidget()->size(), QSize(589, 630));
        QCOMPARE(w.minimumSize(), w.maximumSize()); // the user cannot resize it
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!w.windowIcon().isNull());

        const QList<std::tuple<QWidget *, QRect, QString>> controls = {
            {w.Button1, {0, 0, 115, 25}, QStringLiteral("&Yeni")},        {w.Button2, {115, 0, 115, 25}, QStringLiteral("&Değiştir")},
            {w.Button3, {230, 0, 115, 25}, QStringLiteral("&Sil")},       {w.Button9, {345, 0, 115, 25}, QStringLiteral("&Vazgeç")},
            {w.Button4, {459, 0, 125, 25}, QStringLiteral("&Onay")},      {w.Button5, {257, 152, 75, 25}, QStringLiteral("| << İlk")},
            {w.Button7, {332, 152, 75, 25}, QStringLiteral("&< Önceki")}, {w.Button8, {407, 152, 75, 25}, QStringLiteral("Sonraki &>")},
            {w.Button6, {482, 152, 75, 25}, QStringLiteral("Son >> |")},  {w.Button10, {510, 593, 75, 33}, QStringLiteral("Tüm Kayıtlar")},
            {w.Label1, {15, 40, 32, 16}, QStringLiteral("Ad =")},         {w.Label3, {260, 43, 70, 16}, QStringLiteral("GSM No =")},
            {w.Label2, {15, 77, 58, 16}, QStringLiteral("Soyad =")},      {w.Label10, {260, 77, 57, 16}, QStringLiteral("Ev Tlf. =")},
            {w.Label4, {15, 104, 57, 16}, QStringLiteral("E-Mail =")},    {w.Label11, {260, 109, 51, 16}, QStringLiteral("İş Tlf. =")},
            {w.Label12, {15, 136, 54, 16}, QStringLiteral("Adres =")},
        };
        for (const auto &[control, rect, caption] : controls) {
            QCOMPARE(control->geometry(), rect);
            if (auto *b = qobject_cast<QPushButton *>(control))
                QCOMPARE(b->text(), caption);
            else
                QCOMPARE(qobject_cast<QLabel *>(control)->text(), caption);
        }
        QCOMPARE(w.DBEdit1->geometry(), QRect(81, 40, 165, 24));
        QCOMPARE(w.DBEdit3->geometry(), QRect(337, 40, 179, 24));
        QCOMPARE(w.DBMemo1->geometry(), QRect(80, 136, 165, 41));
        QCOMPARE(w.DBGrid1->geometry(), QRect(5, 184, 580, 401));
        QCOMPARE(w.RadioGroup1->geometry(), QRect(14, 587, 265, 42));
        QCOMPARE(w.RadioGroup1->title(), QStringLiteral("Arama Yapılacak Alan"));
        QCOMPARE(w.GroupBox1->title(), QStringLiteral("Arama Filtresi"));
        QCOMPARE(w.Edit1->text(), QStringLiteral("%"));
        QCOMPARE(w.Button1->font().pixelSize(), 13);
        QVERIFY(w.Button1->font().bold());
        QCOMPARE(w.Button5->font().pixelSize(), 11);
        QCOMPARE(w.SpeedButton1->geometry(), QRect(517, 40, 23, 22));
        QCOMPARE(w.SpeedButton1->focusPolicy(), Qt::NoFocus);

        const QStringList items = {QStringLiteral("Ad"), QStringLiteral("Soyad"), QStringLiteral("Cep Tlf."), QStringLiteral("Ev Tlf.")};
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(w.RadioGroup1->Item(i)->text(), items.at(i));
        QCOMPARE(w.RadioGroup1->ItemIndex(), 0);

        const QStringList titles = {QStringLiteral("Ad"),          QStringLiteral("Soyad"),       QStringLiteral("Cep Telefonu"),
                                    QStringLiteral("Ev Telefonu"), QStringLiteral("İş Telefonu"), QStringLiteral("Email"),
                                    QStringLiteral("Adres")};
        const QList<int> widths = {115, 125, 100, 100, 100, 150, 500};
        QCOMPARE(w.DBGrid1->ColumnCount(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(w.DBGrid1->model()->headerData(i, Qt::Horizontal).toString(), titles.at(i));
            QCOMPARE(w.DBGrid1->ColumnWidth(i), widths.at(i));
        }
        QVERIFY(w.DBGrid1->horizontalScrollBar()->maximum() > 0); // "Adres" is reached sideways

        QStringList menus;
        for (QAction *a : w.menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList{QStringLiteral("&İşlemler"), QStringLiteral("&Ayarlar"), QStringLiteral("&Yardım")}));
        auto captions = [](QMenu *m) {
            QStringList c;
            for (QAction *a : m->actions())
                c << a->text();
            return c;
        };
        QCOMPARE(captions(w.lemler1).mid(0, 5),
                 (QStringList{QStringLiteral("Yeni"), QStringLiteral("Değiştir"), QStringLiteral("Sil"), QStringLiteral("Excell'e Aktar"),
                              QStringLiteral("Xml Dosya Oluştur")}));
        // What the program adds follows a separator.
        QCOMPARE(captions(w.lemler1).mid(5),
                 (QStringList{QString(), QStringLiteral("&Kişileri İçe Aktar..."), QStringLiteral("Kişileri &Dışa Aktar..."),
                              QStringLiteral("&Şimdi Eşitle"), QStringLiteral("Eşitleme &Çakışmaları..."),
                              QStringLiteral("&Gelen Aramalar...")}));
        QCOMPARE(captions(w.Ayarlar1),
                 (QStringList{QStringLiteral("Modem Ayarları"), QStringLiteral("Konum Seçenekleri"), QString(),
                              QStringLiteral("&Veri Kaynağı..."), QStringLiteral("&Eşitleme Hesabı...")}));
        QCOMPARE(captions(w.Hakknda1), QStringList{QStringLiteral("Hakkında")});
        QCOMPARE(captions(w.PopupMenu1),
                 (QStringList{QStringLiteral("Değiştir"), QStringLiteral("Sil"), QStringLiteral("Excel'e Aktar"),
                              QStringLiteral("Xml'e Aktar")}));
    }

    void startShowsContactsInTurkishOrder()
    {
        TFormFixture f;
        f.Start(Turkish);
        QVERIFY(f.Boxes.isEmpty());
        QCOMPARE(f.GridColumn(0), TurkishOrder);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("ali"));
        QCOMPARE(f.Form->DBEdit2->text(), QStringLiteral("Işık"));
        QCOMPARE(f.GridCurrentRow(), 0);
        QCOMPARE(QApplication::focusWidget(), f.Form->DBEdit1);
        QVERIFY(f.BrowsingConfiguration());
        QVERIFY(f.Form->DBEdit1->isReadOnly());
        QVERIFY(f.Form->DBMemo1->isReadOnly());
        // The mobile column is named "Ctelefon" in the grid, "CTelefon" in its box.
        f.ClickGrid(2);
        QCOMPARE(f.Form->DBEdit3->text(), QStringLiteral("0533 222 22 22"));
        QCOMPARE(f.GridColumn(2).at(2), QStringLiteral("0533 222 22 22"));
    }

    void gridFollowsClicksAndKeys()
    {
        TFormFixture f;
        f.Start(Turkish);
        TDBGrid *grid = f.Form->DBGrid1;
        f.ClickGrid(1);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("Cem"));
        QCOMPARE(f.Form->DBMemo1->toPlainText(), QStringLiteral("Bağdat Cad. 5\nKadıköy"));
        QCOMPARE(f.Form->ADOQuery1->RecNo(), 2);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("Çağla"));
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("Zeynep"));
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("İsmail"));
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("ali"));
        QTest::keyClick(grid, Qt::Key_PageDown);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("Zeynep"));
        // Insert and F2 do nothing: the grid does not edit.
        QTest::keyClick(grid, Qt::Key_F2);
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(f.Form->ADOQuery1->State(), rsBrowse);
        // The buttons move the grid's current row too.
        f.Form->Button5->click();
        QCOMPARE(f.GridCurrentRow(), 0);
        f.Form->Button8->click();
        QCOMPARE(f.GridCurrentRow(), 1);
        // Letters do not move it: the grid has no type-ahead search.
        QTest::keyClicks(grid, QStringLiteral("zi"));
        QCOMPARE(f.GridCurrentRow(), 1);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("Cem"));
        QVERIFY(f.Boxes.isEmpty());
    }

    void tabOrderRunsAsDesigned()
    {
        TFormFixture f;
        f.Start(Turkish);
        TForm1 &w = *f.Form;
        const QList<QWidget *> expected = {
            w.DBEdit2, w.DBEdit3, w.Button1, w.Button2, w.Button3, w.Button5,  w.Button6, w.Button7, w.Button8, w.RadioGroup1->Item(0),
            w.DBEdit4, w.DBEdit5, w.DBMemo1, w.Edit1,   w.DBEdit6, w.Button10, w.DBEdit1};
        QCOMPARE(QApplication::focusWidget(), w.DBEdit1);
        for (QWidget *next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void activationAgainChangesNothingWhileOpen()
    {
        TFormFixture f;
        f.Start(Turkish);
        f.ClickGrid(3);
        f.Form->Hakknda2->trigger();
        QCOMPARE(f.Boxes.size(), 1);
        QCOMPARE(f.Boxes.front().Caption, QStringLiteral("Velmora-rehber"));
        QCOMPARE(f.Boxes.front().Text.count(u'\r'), 5);
        QVERIFY(f.Boxes.front().Text.contains(QStringLiteral("\r\r")));
        QVERIFY(!f.Boxes.front().Text.contains(u'\n'));
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(f.Form.get(), &activate);
        QCOMPARE(f.Form->ADOQuery1->RecNo(), 4);
        QCOMPARE(f.Form->DBEdit1->text(), QStringLiteral("Deniz"));
    }

    // A named pipe in the database's place is refused unopened (an open
    // for reading would wait for a writer for ever): the window says so and
    // stays usable.
    void aPipeAsTheDatabaseIsRefusedUnopened()
    {
        TFormFixture f;
        TFifoWatch pipe(f.DatabasePath());
        f.Start({}, false);
        QVERIFY(!pipe.OpenedByOthers());
        QCOMPARE(f.ErrorTexts(),
                 QStringList{QStringLiteral("\"%1\" okunabilecek bir dosya değil (bir klasör, bir boru ya da bir "
                                            "aygıt): bir dosya seçiniz.")
                                 .arg(f.DatabasePath())});
        QVERIFY(f.BrowsingConfiguration());
    }

    void missingDatabaseLeavesWindowUsable()
    {
        TFormFixture f;
        f.Start({}, false);
        QCOMPARE(f.ErrorTexts().size(), 1);
        QVERIFY2(f.ErrorTexts().front().contains(f.DatabasePath()), qPrintable(f.ErrorTexts().front()));
        QVERIFY(!QFile::exists(f.DatabasePath())); // never created
        QCOMPARE(f.GridColumn(0), QStringList());
        QVERIFY(f.Form->DBEdit1->text().isEmpty());
        QVERIFY(f.BrowsingConfiguration());

        f.ClearBoxes();
        f.Form->Button8->click();
        QCOMPARE(f.ErrorTexts(), QStringList{QStringLiteral("Cannot perform this operation on a closed dataset.")});
        QVERIFY(f.BrowsingConfiguration());

        // The next activation tries again and finds the file.
        MakeContactsDatabase(f.DatabasePath(), Turkish);
        f.ClearBoxes();
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(f.Form.get(), &activate);
        QVERIFY(f.Boxes.isEmpty());
        QCOMPARE(f.GridColumn(0), TurkishOrder);
    }

    void foreignFileIsRefusedAndLeftAlone()
    {
        TFormFixture f;
        const QByteArray jet = QByteArray("\x00\x01\x00\x00Standard Jet DB", 19) + QByteArray(4096 - 19, '\0');
        {
            QFile file(f.DatabasePath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(jet);
        }
        f.Answer(IDNO); // asked whether to convert it now
        f.Start({}, false);
        QCOMPARE(f.Boxes.size(), 1);
        QCOMPARE(f.Boxes.constFirst().Text,
                 QStringLiteral("\"%1\" programın eski Windows sürümünün veritabanı: açılabilmesi için önce "
                                "dönüştürülmesi gerekir.\r\rŞimdi dönüştürülsün mü? Eski dosya "
                                "fihrist.mdb.jet adıyla saklanır.")
                     .arg(f.DatabasePath()));
        QFile file(f.DatabasePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), jet);
        QCOMPARE(QDir(f.Home.Path()).entryList(QDir::Files), QStringList{QStringLiteral("fihrist.mdb")});
    }

    void closingDropsThePendingContactWithoutAsking()
    {
        TFormFixture f;
        f.Start(Turkish);
        f.Form->Button1->click();
        f.Type(f.Form->DBEdit1, QStringLiteral("Yarım"));
        f.Form->close();
        QVERIFY(!f.Form->isVisible());
        QVERIFY(f.Boxes.isEmpty());
        QCOMPARE(f.Form->ADOQuery1->State(), rsClosed);
        QCOMPARE(RunSql(f.DatabasePath(), QStringLiteral("SELECT count(*) FROM DBASE")).toInt(), 7);
    }

    void typingWhileRowsArriveIsKept()
    {
        TFormFixture f;
        std::vector<TContactRow> rows;
        for (int i = 0; i < 3000; ++i)
            rows.push_back({QStringLiteral("Kişi %1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("Soyad")});
        f.Start(rows);
        TADOQuery *query = f.Form->ADOQuery1.get();
        query->Close();
        query->Open();
        QVERIFY(query->Fetching());
        f.Form->Button2->click();
        f.Type(f.Form->DBEdit2, QStringLiteral("Yeni"));
        // The grid takes the rows as they come and stays where it is; the
        // boxes keep what was typed.
        QTRY_VERIFY(!query->Fetching());
        QCOMPARE(f.Form->DBGrid1->model()->rowCount(), 3000);
        QCOMPARE(f.GridCurrentRow(), 0);
        QCOMPARE(f.Form->DBEdit2->text(), QStringLiteral("YeniSoyad"));
        f.Form->Button4->click();
        QCOMPARE(RunSql(f.DatabasePath(), QStringLiteral("SELECT Soyad FROM DBASE WHERE Ad = 'Kişi 0000'")).toString(),
                 QStringLiteral("YeniSoyad"));
    }
};

QTEST_MAIN(TestForm)
#include "tst_form.moc"
