// The window kept in step with a CardDAV address book on a Radicale server
// the test starts on loopback: the account dialog, "Şimdi Eşitle" and its
// summary, and a conflict settled in "Eşitleme Çakışmaları...".
#include "FormFixture.h"

#include "app/SyncAccountDialog.h"
#include "app/SyncConflictsDialog.h"
#include "app/SyncTexts.h"
#include "platform/widgets/DBEdit.h"
#include "platform/widgets/ProgressDialog.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "sync/Credentials.h"
#include "sync/SyncAccount.h"
#include "sync/SyncSession.h"
#include "support/DavServers.h"
#include "support/PrivateBus.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QInputDialog>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
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

// The account of a test: the address book, no automatic sync, and unless
// withPassword is false a password kept in ~/.netrc (no keyring answers on
// the test's bus).
void UseAccount(const QString &book, bool withPassword = true)
{
    TSyncAccount account;
    account.Url = book;
    account.User = QStringLiteral("ayse");
    account.IntervalMinutes = 0;
    SaveSyncAccount(account);
    if (withPassword)
        QCOMPARE(StorePassword(account, QStringLiteral("gizli"), true), TPasswordPlace::NetRc);
}

// Twelve contacts of the directory.
std::vector<TContactRow> TwelveContacts()
{
    std::vector<TContactRow> rows;
    for (int i = 0; i < 12; ++i)
        rows.push_back({QStringLiteral("Kişi%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("Toplu"),
                        QStringLiteral("0532000%1").arg(i, 4, 10, QLatin1Char('0'))});
    return rows;
}

// A user in front of real boxes: reads each for a second, then clicks its
// "Hayır" (or "Tamam"). Blocked: a box was not the window taking input.
class TBoxReader {
public:
    TBoxReader()
    {
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Look(); });
        FTimer.start(50);
    }
    bool Blocked = false;

private:
    void Look()
    {
        QMessageBox *box = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
                box = b;
        if (!box)
            return;
        if (box != FSeen) {
            FSeen = box;
            FReading.start();
            return;
        }
        if (FReading.elapsed() < 1000) // past the moment a progress dialog shows
            return;
        QAbstractButton *button = box->button(QMessageBox::No) ? box->button(QMessageBox::No) : box->button(QMessageBox::Ok);
        if (QApplication::activeModalWidget() != box) {
            Blocked = true;
            box->done(box->standardButton(button));
            return;
        }
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QTimer FTimer;
    QPointer<QMessageBox> FSeen;
    QElapsedTimer FReading;
};

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
    // deletes the directory's contacts too, and says which side they go from.
    void massDeleteAskedFirst()
    {
        TFormFixture f;
        f.Start(TwelveContacts());
        const QString book = FServer->NewAddressBook(QStringLiteral("Toplu"));
        UseAccount(book);
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(Cards(book).size(), 12);
        for (const auto &[href, text] : Cards(book))
            QCOMPARE(Http("DELETE", href.startsWith(u'/') ? FServer->Root() + href : href).Status / 100, 2);

        // Real boxes over the progress dialog as the program installs it:
        // the question is the window that takes input, and "Hayır" deletes
        // and lists nothing.
        {
            TProgressDialogSink sink;
            SetProgressSink(&sink);
            const auto unset = qScopeGuard([] { SetProgressSink(nullptr); });
            f.App->SetMessageBoxHandler({});
            QStringList shown;
            QObject listening;
            QObject::connect(f.App.get(), &TApplication::MessageBoxShown, &listening,
                             [&](const TMessageBoxRequest &request, int) { shown << request.Text; });
            TBoxReader user;
            f.Form->SimdiEsitle1->trigger();
            QVERIFY(!user.Blocked);
            QCOMPARE(shown,
                     (QStringList{QStringLiteral("12 kişi bu bilgisayardaki rehberden silinecek. Devam edilsin mi?"),
                                  QStringLiteral("Eşitleme 12 kişiyi silecekti; onay verilmediği için hiçbiri silinmedi.")}));
        }
        QCOMPARE(f.Form->ADOQuery1->RecordCount(), 12);
        QVERIFY(PendingConflicts(*f.Form->ADOConnection1).empty());

        f.App->SetMessageBoxHandler([&f](const TMessageBoxRequest &request) {
            f.Boxes << request;
            return request.Kind == TMessageKind::Question ? IDYES : IDOK;
        });
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

        // The same fields changed on both sides.
        QString href;
        for (const auto &[cardHref, text] : Cards(book))
            if (text.contains("Zeynep"))
                href = cardHref;
        const QString url = href.startsWith(u'/') ? FServer->Root() + href : href;
        QCOMPARE(Http("PUT", url, MobileCard("u2", "Zeynep", "Akın", "05329999999")).Status / 100, 2);
        f.ClickGrid(1);
        f.Form->Button2Click(f.Form->Button2);
        f.Form->DBEdit2->setFocus();
        QTest::keyClick(f.Form->DBEdit2, Qt::Key_A, Qt::ControlModifier);
        f.Type(f.Form->DBEdit2, QStringLiteral("Aksoy"));
        f.Form->DBEdit3->setFocus();
        QTest::keyClick(f.Form->DBEdit3, Qt::Key_A, Qt::ControlModifier);
        f.Type(f.Form->DBEdit3, QStringLiteral("05320000001"));
        f.Form->Button4Click(f.Form->Button4);

        f.ClearBoxes();
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(f.BoxTexts(),
                 QStringList{QStringLiteral("Eşitleme tamamlandı: 0 alındı, 1 gönderildi, 0 silindi. 2 çakışma var: "
                                            "İşlemler > Eşitleme Çakışmaları... ile bakabilirsiniz.")});
        QCOMPARE(f.Form->DBEdit3->Text(), QStringLiteral("05320000001"));

        // Both taken at once; every header readable whole.
        WithDialog<TSyncConflictsDialog>(f.Form->EsitlemeCakismalari1, [&](TSyncConflictsDialog *d) {
            QCOMPARE(d->Table->rowCount(), 2);
            QStringList rows;
            for (int row = 0; row < 2; ++row) {
                QStringList cells;
                for (int column = 0; column < 4; ++column)
                    cells << d->Table->item(row, column)->text();
                rows << cells.join(u'|');
            }
            QVERIFY(rows.contains(QStringLiteral("Zeynep Aksoy|GSM No|05320000001|05329999999")));
            const QHeaderView *header = d->Table->horizontalHeader();
            for (int column = 0; column < 3; ++column)
                QVERIFY(header->sectionSize(column) >= header->sectionSizeHint(column));
            d->Table->selectAll();
            d->TakeButton->click();
            QCOMPARE(d->Table->rowCount(), 0);
        });
        QCOMPARE(f.Form->DBEdit1->Text(), QStringLiteral("Zeynep"));
        QCOMPARE(f.Form->DBEdit2->Text(), QStringLiteral("Akın"));
        QCOMPARE(f.Form->DBEdit3->Text(), QStringLiteral("05329999999"));
    }

    // İptal in the progress dialog stops a sync while cards are being sent
    // and says what was done before; the next sync ends the work without a
    // conflict, and one after it says there was nothing to do.
    void cancelDuringTheProgress()
    {
        TFormFixture f;
        f.Start(TwelveContacts());
        const QString book = FServer->NewAddressBook(QStringLiteral("İptal"));
        TFakeHttp proxy;
        proxy.Upstream = FServer->Port();
        UseAccount(QString(book).replace(FServer->Root(), proxy.Root()));
        // From the third card on, the cards reach the server only once İptal was pressed in the dialog.
        bool pressed = false;
        int puts = 0;
        proxy.BeforeForward = [&](const QByteArray &request) {
            if (request.startsWith("PUT") && ++puts >= 3)
                for (int i = 0; i < 1000 && !pressed; ++i)
                    QTest::qWait(20);
        };
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!pressed && dialog && dialog->objectName() == QStringLiteral("ProgressDialog")) {
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("ProgressCancel")), Qt::LeftButton);
                pressed = true;
            }
        });
        user.start(20);
        TProgressDialogSink sink(std::chrono::milliseconds(0));
        SetProgressSink(&sink);
        const auto unset = qScopeGuard([] { SetProgressSink(nullptr); });
        f.ClearBoxes();
        f.Form->SimdiEsitle1->trigger();
        QVERIFY(pressed);
        const qsizetype sent = Cards(book).size();
        QVERIFY(sent < 12);
        QCOMPARE(f.BoxTexts(),
                 QStringList{QStringLiteral("Eşitleme durduruldu. Durmadan önce: 0 alındı, %1 gönderildi, 0 silindi.").arg(sent)});
        QVERIFY(PendingConflicts(*f.Form->ADOConnection1).empty());

        f.ClearBoxes();
        f.Form->SimdiEsitle1->trigger();
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(
            f.BoxTexts(),
            (QStringList{QStringLiteral("Eşitleme tamamlandı: 0 alındı, %1 gönderildi, 0 silindi.").arg(12 - sent), NothingToSyncText()}));
        QCOMPARE(Cards(book).size(), 12);
        QVERIFY(PendingConflicts(*f.Form->ADOConnection1).empty());
    }

    // The dialog of a kept account: wide enough for its texts, the address
    // book it is linked to and the last sync, the password shown on request,
    // the right words for a wrong address, and the account removed.
    void accountDialogOfAKeptAccount()
    {
        TFormFixture f;
        f.Start({{QStringLiteral("Ali")}});
        const QString book = FServer->NewAddressBook(QStringLiteral("Kayıtlı"));
        UseAccount(book);
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(LoadSyncAccount().AddressBook, book); // found once, kept

        f.ClearBoxes();
        WithDialog<TSyncAccountDialog>(f.Form->EsitlemeHesabi1, [&](TSyncAccountDialog *d) {
            QVERIFY(d->Linked->text().startsWith(QStringLiteral("Eşitlenen adres defteri: %1\nSon eşitleme: %2 ")
                                                     .arg(book, QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")))));
            d->resize(d->minimumSizeHint()); // as narrow as it lets itself be
            d->layout()->setGeometry(d->rect());
            for (QLineEdit *edit : {d->Url, d->PasswordEdit})
                QVERIFY(edit->width() > edit->fontMetrics().horizontalAdvance(edit->placeholderText()));
            d->ShowPassword->click();
            QCOMPARE(d->PasswordEdit->echoMode(), QLineEdit::Normal);

            const auto test = [d](const QString &url) {
                d->Url->clear();
                QTest::keyClicks(d->Url, url);
                d->TestButton->click();
                if (!QTest::qWaitFor([d] { return d->TestButton->isEnabled(); }))
                    return QStringLiteral("(no answer)");
                return d->Result->text();
            };
            QCOMPARE(test(FServer->Root().mid(7) + QStringLiteral("/alice/")),
                     QStringLiteral("Sunucuyla şifreli (https) bağlantı kurulamadı. Sunucu https kullanmıyorsa adresi http:// ile "
                                    "başlayarak yazın."));
            QCOMPARE(
                test(FServer->Root() + QStringLiteral("/alice/yok/")),
                QStringLiteral("%1/alice/yok/ adresinde bir adres defteri yok: sunucu adresinin yolunu denetleyin.").arg(FServer->Root()));
            QCOMPARE(test(QStringLiteral("http://dav.example.org/ayse/")),
                     QStringLiteral("Parola şifrelenmeden gönderilmez: sunucu adresini http:// yerine https:// ile başlayarak yazın."));
            d->RemoveButton->click();
        });
        QCOMPARE(f.BoxTexts(),
                 QStringList{QStringLiteral("Eşitleme hesabı kaldırılsın mı? Rehberdeki kişiler silinmez, yalnızca sunucuyla "
                                            "eşitleme durur.")});
        QVERIFY(!LoadSyncAccount().IsSet());
    }

    // A keyring that answers but keeps nothing (no login keyring): the
    // window says so in Turkish and offers ~/.netrc; declined, the password
    // serves the rest of the session, and the summary is shown. Last: the
    // keyring stays on the bus.
    void keyringThatKeepsNothing()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty())
            QSKIP("gnome-keyring-daemon is not installed");
        TFormFixture f;
        QVERIFY(FBus->StartKeyring(f.Home.FilePath(QStringLiteral("data")), QByteArray()));
        f.Start({{QStringLiteral("Ali")}});
        UseAccount(FServer->NewAddressBook(QStringLiteral("Anahtar")), false);
        int asked = 0;
        QTimer typist;
        connect(&typist, &QTimer::timeout, [&] {
            if (auto *d = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
                ++asked;
                d->setTextValue(QStringLiteral("gizli"));
                d->accept();
            }
        });
        typist.start(20);
        f.ClearBoxes();
        f.Answer(IDNO);
        f.Form->SimdiEsitle1->trigger();
        f.Form->SimdiEsitle1->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(f.BoxTexts(),
                 (QStringList{QStringLiteral("Masaüstünün anahtarlığı parolayı kaydetmedi. Parola ~/.netrc dosyasına, "
                                             "yalnızca sizin okuyabileceğiniz biçimde yazılsın mı?"),
                              QStringLiteral("Eşitleme tamamlandı: 0 alındı, 1 gönderildi, 0 silindi."), NothingToSyncText()}));
        QVERIFY(!QFile::exists(f.Home.FilePath(QStringLiteral(".netrc"))));
    }
};

QTEST_MAIN(TestWindowSync)
#include "tst_window_sync.moc"
