// The window's progress dialog: when it shows, what it says, how "İptal"
// reaches the work, and nested pieces of work.
#include "platform/widgets/ProgressDialog.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using namespace std::chrono_literals;

class TestProgressDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nothingShowsBeforeTheDelay()
    {
        TProgressDialogSink sink(1h);
        sink.Begin(QStringLiteral("Kayıtlar okunuyor"), 0, true);
        QVERIFY(sink.Update(10, 0, {}));
        QVERIFY(!sink.Dialog());
        QVERIFY(TProgressDialogSink::Working());
        sink.End();
        QVERIFY(!TProgressDialogSink::Working());
    }

    void cancelReachesTheInnermostStoppableWork()
    {
        TProgressDialogSink sink(0ms);
        sink.Begin(QStringLiteral("XML dosyası yazılıyor"), 200, true);
        QVERIFY(sink.Update(50, 200, {}));
        QDialog *dialog = sink.Dialog();
        QVERIFY(dialog && dialog->isVisible() && dialog->isModal());
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("ProgressWhat"))->text(), QStringLiteral("XML dosyası yazılıyor"));
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("ProgressCount"))->text(), QStringLiteral("50 / 200"));
        QCOMPARE(dialog->findChild<QProgressBar *>()->value(), 250);

        // An inner piece that cannot stop hides "İptal"; Esc does nothing.
        sink.Begin(QStringLiteral("Kayıtlar okunuyor"), 0, false);
        QVERIFY(sink.Update(1500, 0, QStringLiteral("DBASE")));
        auto *cancel = dialog->findChild<QPushButton *>(QStringLiteral("ProgressCancel"));
        QVERIFY(cancel->isHidden());
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("ProgressCount"))->text(), QStringLiteral("1.500"));
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(sink.Update(1600, 0, {}));
        // A wait counts nothing: its text says how long, the count is empty.
        QVERIFY(sink.Update(0, 0, QStringLiteral("9 sn")));
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("ProgressCount"))->text(), QString());
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("ProgressWhat"))->text(), QStringLiteral("Kayıtlar okunuyor\n9 sn"));
        sink.End();
        QCOMPARE(sink.Dialog(), dialog); // the outer work goes on in the same dialog

        QVERIFY(sink.Update(60, 200, {}));
        QVERIFY(cancel->isVisible());
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!sink.Update(61, 200, {}));
        sink.End();
        QVERIFY(!sink.Dialog());

        // The next work starts afresh.
        sink.Begin(QStringLiteral("XML dosyası yazılıyor"), 0, true);
        QVERIFY(sink.Update(1, 0, {}));
        QTest::keyClick(sink.Dialog(), Qt::Key_Escape);
        QVERIFY(!sink.Update(2, 0, {}));
        sink.End();
    }
};

QTEST_MAIN(TestProgressDialog)
#include "tst_progress_dialog.moc"
