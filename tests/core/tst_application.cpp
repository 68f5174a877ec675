#include "platform/core/Exception.h"
#include "platform/core/ReadableFile.h"
#include "platform/core/SaveFile.h"
#include "platform/core/WindowsPath.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/ErrorText.h"
#include "support/TestHome.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest>
#include <functional>
#include <stdexcept>
#include <sys/stat.h>

class TestApplication : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void titleFollowsProgramFileName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << "/usr/bin/velmora-rehber"
                               << "Velmora-rehber";
        QTest::newRow("first dot ends it") << "/x/PROJECT1.EXE.bak"
                                           << "Project1";
        QTest::newRow("upper case folded") << "VELMORA"
                                           << "Velmora";
        QTest::newRow("turkish letters") << "/a/İŞLEM.exe"
                                         << "İşlem";
    }
    void titleFollowsProgramFileName()
    {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(TApplication::TitleFromExePath(path), title);
    }

    void errorBoxAddsFullStopOnlyAfterHigherCodes_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Cannot perform this operation on a closed dataset"
                                << "Cannot perform this operation on a closed dataset.";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("exclamation") << "Error!"
                                     << "Error!";
        QTest::newRow("parenthesis") << "(x)"
                                     << "(x)";
        QTest::newRow("digit") << "Code 5"
                               << "Code 5.";
        QTest::newRow("slash") << "a/"
                               << "a/.";
        QTest::newRow("comma") << "a,"
                               << "a,";
        QTest::newRow("turkish") << "Kayıt yok ş"
                                 << "Kayıt yok ş.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void errorBoxAddsFullStopOnlyAfterHigherCodes()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(TApplication::ErrorBoxText(message), shown);
    }

    void guardShowsEveryErrorThroughTheSeam()
    {
        TApplication app(QStringLiteral("/bin/velmora-rehber"));
        QList<TMessageBoxRequest> shown;
        app.SetMessageBoxHandler([&](const TMessageBoxRequest &r) {
            shown << r;
            return IDOK;
        });

        bool after = false;
        app.Guard([&] {
            throw EDatabaseError(QStringLiteral("Kayıt bulunamadı"));
            after = true;
        });
        app.Guard([] { throw std::runtime_error("plain failure"); });
        app.Guard([] {});

        QVERIFY(!after);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].Text, QStringLiteral("Kayıt bulunamadı."));
        QCOMPARE(shown[0].Caption, QStringLiteral("Velmora-rehber"));
        QCOMPARE(shown[0].Kind, TMessageKind::Error);
        QCOMPARE(shown[1].Text, QStringLiteral("plain failure."));
    }

    // What a user meets reads as one Turkish sentence, with the system's
    // words in brackets in Turkish and no server's English; the English text
    // stays the tool's.
    void theWindowWordsTheProblemsAUserMeets()
    {
        TTestHome home;
        const QString pipe = home.FilePath(QStringLiteral("fihrist.mdb"));
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString missing = home.FilePath(QStringLiteral("yok.vcf"));
        const std::vector<std::pair<std::function<void()>, QString>> cases = {
            {[] { TSaveFile file(QStringLiteral("/proc/kisiler.vcf")); },
             QStringLiteral("\"/proc/kisiler.vcf\" dosyası oluşturulamadı: yazabileceğiniz bir klasör seçiniz (böyle bir dosya ya "
                            "da klasör yok).")},
            {[&] { TReadableFile file(pipe); },
             QStringLiteral("\"%1\" okunabilecek bir dosya değil (bir klasör, bir boru ya da bir aygıt): bir dosya seçiniz.").arg(pipe)},
            {[&] { TReadableFile file(missing); },
             QStringLiteral("\"%1\" dosyası bulunamadı: dosyanın adını ve klasörünü denetleyiniz.").arg(missing)},
            {[] {
                 throw EDatabaseError(QStringLiteral("permission denied for table dbase"),
                                      {TErrorKind::PermissionDenied, {}, QStringLiteral("permission denied for table dbase"), 0});
             },
             QStringLiteral("Bu işlem için izniniz yok: yöneticinizden rehber için gereken izni isteyiniz.")},
            {[] { throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset")); },
             QStringLiteral("Cannot perform this operation on a closed dataset")},
        };
        for (const auto &[raise, shown] : cases) {
            try {
                raise();
                QFAIL(qPrintable(QStringLiteral("nothing raised for: ") + shown));
            } catch (const Exception &e) {
                QCOMPARE(WindowErrorText(e), shown);
                QCOMPARE(e.Message() == shown, e.Kind() == TErrorKind::None);
            }
        }
    }

    // Qt's own buttons and dialogs speak Turkish with the window.
    void qtSpeaksTurkish()
    {
        TApplication app(QStringLiteral("velmora-rehber"));
        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes | QDialogButtonBox::No);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove(u'&'), QStringLiteral("İptal"));
        QCOMPARE(buttons.button(QDialogButtonBox::Yes)->text().remove(u'&'), QStringLiteral("Evet"));
    }

    void seamAnswersQuestionsAndInformation()
    {
        TApplication app(QStringLiteral("velmora-rehber"));
        app.SetMessageBoxHandler([](const TMessageBoxRequest &r) { return r.Kind == TMessageKind::Question ? IDNO : IDOK; });
        QSignalSpy spy(&app, &TApplication::MessageBoxShown);
        QCOMPARE(app.MessageBox(QStringLiteral("Silmek istediğinizden emin misiniz"), QStringLiteral("Uyarı"), TMessageKind::Question),
                 IDNO);
        app.ShowMessage(QStringLiteral("Telefon Numarası Yok!"));
        QCOMPARE(spy.count(), 2);
        const auto info = spy.at(1).at(0).value<TMessageBoxRequest>();
        QCOMPARE(info.Caption, QStringLiteral("Velmora-rehber"));
        QCOMPARE(info.Kind, TMessageKind::Information);
    }

    void driveCRootIsTheHomeFolder()
    {
        TTestHome home;
        QCOMPARE(LocalPathFor(QStringLiteral("C:\\VelmoraTelReh.xml")), home.FilePath(QStringLiteral("VelmoraTelReh.xml")));
        QCOMPARE(LocalPathFor(QStringLiteral("c:\\a\\b.xls")), home.FilePath(QStringLiteral("a/b.xls")));
        QCOMPARE(LocalPathFor(QStringLiteral("fihrist.mdb")), QStringLiteral("fihrist.mdb"));
    }
};

Q_DECLARE_METATYPE(TMessageBoxRequest)

QTEST_MAIN(TestApplication)
#include "tst_application.moc"
