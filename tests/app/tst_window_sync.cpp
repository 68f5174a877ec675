// The window kept in step with a CardDAV address book on a Radicale server
// the test starts on loopback: the account dialog, "Şimdi Eşitle" and its
// summary, and a conflict settled in "Eşitleme Çakışmaları...".
#include "FormFixture.h"

#include "app/SyncAccountDialog.h"
#include "app/SyncConflictsDialog.h"
#include "app/SyncTexts.h"
#include "platform/widgets/DBEdit.h"
#include "store/ADOQuery.h"
#include "sync/Credentials.h"
#include "sync/SyncAccount.h"
#include "support/DavServers.h"
#include "support/PrivateBus.h"

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <sys/stat.h>

namespace {

// Runs the menu entry; work runs on the dialog once it shows.
template <typename Dialog> void WithDialog(QAction *entry, const std::function<void(Dialog *)> &work)
{
    bool done = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        work(dialog);
        done = true;
        dialog->close();
    });
    entry->trigger();
    QVERIFY(done);
}

// A card of one person with a mobile number.
QByteArray MobileCard(const QByteArray &uid, const QByteArray &first, const QByteArray &last, const QByteArray &mobile)
{
    return Card(uid, last, first, "TEL;TYPE=CELL:" + mobile + "\r\n");
}

// The account of a test: the address book, a password kept in ~/.netrc
// (no keyring answers on the test's bus), no automatic sync.
void UseAccount(const QString &book)
{
    TSyncAccount account;
    account.Url = book;
    account.User = QStringLiteral("ayse");
    account.IntervalMinutes = 0;
    SaveSyncAccount(account);
    QCOMPARE(StorePassword(account, QStringLiteral("gizli"), true), TPasswordPlace::NetRc);
}

} // namespace

class TestWindowSync : public QObject {
    Q_OBJECT
    std::unique_ptr<TPrivateBus> FBus;
    std::unique_ptr<TDavServer> FServer;

private Q_SLOTS:
    void initTestCase()
    {
        FBus = std::make_unique<TPrivateBus>();
        FServer = std::make_unique<TDavServer>(TDavServer::Radicale);
        if (!FServer->Running())
            QSKIP("Radicale does not start here");
    }
    void cleanupTestCase()
    {
        FServer.reset();
        FBus.reset();
    }

    void accountDialogKeepsWhatTheToolReads()
    {
        TFormFixture f;
        f.Start({});
        const QString book = FServer->NewAddressBook(QStringLiteral("Telefon"));
        PutCard(book, MobileCard("u1", "Zeynep", "Ak", "05321234567"));
        FServer->NewAddressBook(QStringLiteral("Aile"));
        const QString principal = FServer->Root() + QStringLiteral("/alice/");
        WithDialog<TSyncAccountDialog>(f.Form->EsitlemeHesabi1, [&](TSyncAccountDialog *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Eşitleme Hesabı"));
            QCOMPARE(d->Interval->value(), 15);
            QTest::keyClicks(d->Url, principal);
            QTest::keyClicks(d->User, QStringLiteral("alice"));
            QTest::keyClicks(d->PasswordEdit, QStringLiteral("gizli"));
            d->TestButton->click();
            QTRY_VERIFY(d->TestButton->isEnabled());
            QCOMPARE(d->Result->text(), QStringLiteral("Bağlantı kuruldu: 2 adres defteri bulundu. Eşitlenecek olanı listeden seçin."));
            QCOMPARE(d->AddressBooks->count(), 2);
            const QList<QListWidgetItem *> telefon =
                d->AddressBooks->findItems(QStringLiteral("\"Telefon\" adres defteri, 1 kişi"), Qt::MatchExactly);
            QCOMPARE(telefon.size(), 1);
            d->accept(); // none chosen yet: the dialog stays
            QVERIFY(d->isVisible());
            d->AddressBooks->setCurrentItem(telefon.first());
            d->Interval->setValue(5);
            d->accept();
        });
        const TSyncAccount account = LoadSyncAccount();
        QCOMPARE(account.Url, principal);
        QCOMPARE(account.User, QStringLiteral("alice"));
        QCOMPARE(account.IntervalMinutes, 5);
        QCOMPARE(account.AddressBook, book);
        // No keyring: ~/.netrc only after the user said yes.
        QVERIFY(f.BoxTexts().join(u'|').contains(QStringLiteral("~/.netrc")));
        QCOMPARE(LookupPassword(account), std::optional<QString>(QStringLiteral("gizli")));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(f.Home.FilePath(QStringLiteral(".netrc"))).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }

    // At start the window syncs by itself. A server that fails then is told
    // by a notification, never a box; a later "Şimdi Eşitle" that succeeds
    // does not bring it back.
    void automaticSyncFailureIsANotificationUntilSyncNow()
    {
        TNotificationServer notifications;
        QVERIFY(FBus->ServeNotifications(&notifications));
        const QString book = FServer->NewAddressBook(QStringLiteral("Ev"));
        PutCard(book, MobileCard("u3", "Deniz", "Su", "05331112233"));
        TFakeHttp proxy;
        proxy.Upstream = FServer->Port();
        bool down = true;
        proxy.Answer = [&down](const QByteArray &, const QByteArray &upstream) {
            return down ? QByteArray("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n") : upstream;
        };
        TFormFixture f;
        UseAccount(QString(book).replace(FServer->Root(), proxy.Root()));
        TSyncAccount account = LoadSyncAccount();
        account.IntervalMinutes = 60;
        SaveSyncAccount(account);
        f.Start({{QStringLiteral("Ali")}});

        QTRY_VERIFY_WITH_TIMEOUT(!notifications.Summaries.isEmpty(), 60000);
        QCOMPARE(notifications.Summaries, QStringList{QStringLiteral("Eşitleme yapılamadı")});
        QVERIFY(f.BoxTexts().isEmpty());

        down = false;
        f.Form->SimdiEsitle1->trigger();
        // The failure is over: the summary alone.
        QCOMPARE(f.BoxTexts(), QStringList{QStringLiteral("Eşitleme tamamlandı: 1 alındı, 1 gönderildi, 0 silindi.")});
        QCOMPARE(f.GridColumn(0), (QStringList{QStringLiteral("Ali"), QStringLiteral("Deniz")}));
        QCOMPARE(notifications.Summaries.size(), 1);
    }

    // The address book emptied on the server: the window asks before it
    // deletes the directory's contacts too.
    void massDeleteAskedFirst()
    {
        std::vector<TContactRow> rows;
        for (int i = 0; i < 12; ++i)
            rows.push_back({QStringLiteral("Kişi%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("Toplu"),
                            QStringLiteral("0532000%1").arg(i, 4, 10, QLatin1Char('0'))});
        TFormFixture f;
        f.Start(rows);
        const QString book = FServer->NewAddressBook(QStringLiteral("Toplu"));
        UseAccount(book);
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(Cards(book).size(), 12);
        for (const auto &[href, text] : Cards(book))
            QCOMPARE(Http("DELETE", href.startsWith(u'/') ? FServer->Root() + href : href).Status / 100, 2);

        f.ClearBoxes();
        f.Answer(IDNO);
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(f.BoxTexts(),
                 (QStringList{QStringLiteral("12 kişi bu bilgisayardaki rehberden silinecek. Devam edilsin mi?"),
                              QStringLiteral("Eşitleme 12 kişiyi silecekti; onay verilmediği için hiçbiri silinmedi.")}));
        QVERIFY(f.ErrorTexts().isEmpty()); // the user's own choice, no error
        QCOMPARE(f.Form->ADOQuery1->RecordCount(), 12);

        f.ClearBoxes();
        f.Form->SimdiEsitle1->trigger(); // Yes
        QCOMPARE(f.BoxTexts(),
                 (QStringList{QStringLiteral("12 kişi bu bilgisayardaki rehberden silinecek. Devam edilsin mi?"),
                              QStringLiteral("Eşitleme tamamlandı: 0 alındı, 0 gönderildi, 12 silindi.")}));
        QCOMPARE(f.Form->ADOQuery1->RecordCount(), 0);
    }

    // A password the server refuses: the window says so and asks again, and
    // the password that worked replaces the old one.
    void refusedPasswordAskedAgain()
    {
        const QString book = FServer->NewAddressBook(QStringLiteral("Parola"));
        TFakeHttp proxy;
        proxy.Upstream = FServer->Port();
        const QByteArray right = "Basic " + QByteArray("ayse:doğru").toBase64();
        proxy.Answer = [right](const QByteArray &request, const QByteArray &upstream) {
            return request.contains(right) ? upstream : QByteArray("HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n");
        };
        TFormFixture f;
        f.Start({{QStringLiteral("Ali")}});
        UseAccount(QString(book).replace(FServer->Root(), proxy.Root()));
        QStringList asked;
        QTimer typist;
        connect(&typist, &QTimer::timeout, [&] {
            if (auto *d = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
                asked << d->labelText();
                d->setTextValue(asked.size() == 1 ? QStringLiteral("yine yanlış") : QStringLiteral("doğru"));
                d->accept();
            }
        });
        typist.start(20);
        f.ClearBoxes();
        f.Form->SimdiEsitle1->trigger();
        typist.stop();
        QCOMPARE(asked.size(), 2);
        QVERIFY(asked.front().startsWith(QStringLiteral("Kullanıcı adı ya da parola yanlış.\n")));
        QCOMPARE(f.BoxTexts().last(), QStringLiteral("Eşitleme tamamlandı: 0 alındı, 1 gönderildi, 0 silindi."));
        QCOMPARE(Cards(book).size(), 1);
        QCOMPARE(LookupPassword(LoadSyncAccount()), std::optional<QString>(QStringLiteral("doğru")));
    }

    // A certificate nobody vouches for: nothing is sent until the user trusts
    // its fingerprint, and the trust is remembered.
    void certificateTrustedByTheUser()
    {
        const QString book = FServer->NewAddressBook(QStringLiteral("Sertifika"));
        TFakeHttp proxy(true);
        proxy.Upstream = FServer->Port();
        TFormFixture f;
        f.Start({{QStringLiteral("Ali")}});
        UseAccount(QString(book).replace(FServer->Root(), proxy.Root()));
        f.ClearBoxes();
        f.Answer(IDNO);
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(f.BoxTexts().value(0), TrustFingerprintQuestion(proxy.Fingerprint()));
        QVERIFY(proxy.Requests.isEmpty());
        f.ClearBoxes();
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(f.BoxTexts(),
                 (QStringList{TrustFingerprintQuestion(proxy.Fingerprint()),
                              QStringLiteral("Eşitleme tamamlandı: 0 alındı, 1 gönderildi, 0 silindi.")}));
        QCOMPARE(LoadSyncAccount().TrustedFingerprint, proxy.Fingerprint());
        QCOMPARE(Cards(book).size(), 1);
    }

    void syncNowThenAConflictSettledFromTheServer()
    {
        TFormFixture f;
        f.Start({{QStringLiteral("Ali"), QStringLiteral("Veli"), QStringLiteral("05051112233")}});
        const QString book = FServer->NewAddressBook(QStringLiteral("Ofis"));
        PutCard(book, MobileCard("u2", "Zeynep", "Ak", "05321234567"));
        UseAccount(book);

        f.ClearBoxes();
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(f.GridColumn(0), (QStringList{QStringLiteral("Ali"), QStringLiteral("Zeynep")}));
        QCOMPARE(f.Form->DBEdit1->Text(), QStringLiteral("Ali")); // the current contact stays current
        QCOMPARE(f.BoxTexts(), QStringList{QStringLiteral("Eşitleme tamamlandı: 1 alındı, 1 gönderildi, 0 silindi.")});
        QCOMPARE(Cards(book).size(), 2);

        // The same field changed on both sides.
        QString href;
        for (const auto &[cardHref, text] : Cards(book))
            if (text.contains("Zeynep"))
                href = cardHref;
        const QString url = href.startsWith(u'/') ? FServer->Root() + href : href;
        QCOMPARE(Http("PUT", url, MobileCard("u2", "Zeynep", "Ak", "05329999999")).Status / 100, 2);
        f.ClickGrid(1);
        f.Form->Button2Click(f.Form->Button2);
        f.Form->DBEdit3->setFocus();
        QTest::keyClick(f.Form->DBEdit3, Qt::Key_A, Qt::ControlModifier);
        f.Type(f.Form->DBEdit3, QStringLiteral("05320000001"));
        f.Form->Button4Click(f.Form->Button4);

        f.ClearBoxes();
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(f.BoxTexts(),
                 QStringList{QStringLiteral("Eşitleme tamamlandı: 0 alındı, 1 gönderildi, 0 silindi. 1 çakışma var: "
                                            "İşlemler > Eşitleme Çakışmaları... ile bakabilirsiniz.")});
        QCOMPARE(f.Form->DBEdit3->Text(), QStringLiteral("05320000001"));

        WithDialog<TSyncConflictsDialog>(f.Form->EsitlemeCakismalari1, [&](TSyncConflictsDialog *d) {
            QCOMPARE(d->Table->rowCount(), 1);
            QStringList cells;
            for (int column = 0; column < 4; ++column)
                cells << d->Table->item(0, column)->text();
            QCOMPARE(cells,
                     (QStringList{QStringLiteral("Zeynep Ak"), QStringLiteral("GSM No"), QStringLiteral("05320000001"),
                                  QStringLiteral("05329999999")}));
            d->TakeButton->click();
            QCOMPARE(d->Table->rowCount(), 0);
        });
        QCOMPARE(f.Form->DBEdit1->Text(), QStringLiteral("Zeynep"));
        QCOMPARE(f.Form->DBEdit3->Text(), QStringLiteral("05329999999"));
    }
};

QTEST_MAIN(TestWindowSync)
#include "tst_window_sync.moc"
