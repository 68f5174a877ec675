// Where the sync account and its password are kept: the account beside the
// data sources, the password in the desktop's keyring (a real
// gnome-keyring-daemon on a private bus) or, without one, in ~/.netrc.
#include "store/DataSources.h"
#include "sync/Credentials.h"
#include "platform/core/NetRc.h"
#include "sync/SyncAccount.h"
#include "support/PrivateBus.h"
#include "support/TestHome.h"

#include <QFile>
#include <QtTest>
#include <memory>
#include <sys/stat.h>

namespace {

QString ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void WriteAll(const QString &path, const QString &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

mode_t FileMode(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TSyncAccount Account(const QString &user = QStringLiteral("ayse"))
{
    TSyncAccount account;
    account.Url = QStringLiteral("https://Dav.Example.org:8443/dav/ayse/");
    account.User = user;
    return account;
}

} // namespace

class TestSyncCredentials : public QObject {
    Q_OBJECT
    std::unique_ptr<TTestHome> FHome;
    std::unique_ptr<TPrivateBus> FBus;

private Q_SLOTS:
    void initTestCase()
    {
        FHome = std::make_unique<TTestHome>();
        FBus = std::make_unique<TPrivateBus>();
        if (!FBus->IsValid())
            QSKIP("dbus-daemon is not installed");
    }
    void cleanupTestCase()
    {
        FBus.reset();
        FHome.reset();
    }

    void netRcLookup_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password"); // "-": none
        QTest::newRow("one line") << "machine dav.example.org login ayse password gizli\n"
                                  << "ayse"
                                  << "gizli";
        QTest::newRow("tokens over lines and tabs") << "machine\tDAV.example.ORG\n  login ayse\n\n password   gizli"
                                                    << "ayse"
                                                    << "gizli";
        QTest::newRow("quoted with escapes") << "machine dav.example.org login \"Ayşe K\" password \"a b\\\"c\\\\d\""
                                             << "Ayşe K"
                                             << "a b\"c\\d";
        QTest::newRow("other login skipped") << "machine dav.example.org login mehmet password m1\n"
                                                "machine dav.example.org login ayse password a1\n"
                                             << "ayse"
                                             << "a1";
        QTest::newRow("own login before none") << "machine dav.example.org password any\n"
                                                  "machine dav.example.org login ayse password own\n"
                                               << "ayse"
                                               << "own";
        QTest::newRow("other host, then default") << "machine other.org login ayse password o\ndefault login ayse password d\n"
                                                  << "ayse"
                                                  << "d";
        QTest::newRow("comment and macro passed over") << "# machine dav.example.org login ayse password yorum\n"
                                                          "macdef init\nmachine dav.example.org login ayse password makro\n\n"
                                                          "machine dav.example.org login ayse password dogru\n"
                                                       << "ayse"
                                                       << "dogru";
        QTest::newRow("no password") << "machine dav.example.org login ayse\n"
                                     << "ayse"
                                     << "-";
        QTest::newRow("empty") << ""
                               << "ayse"
                               << "-";
    }
    void netRcLookup()
    {
        QFETCH(QString, text);
        QFETCH(QString, user);
        QFETCH(QString, password);
        const std::optional<QString> found = NetRcPassword(text, QStringLiteral("dav.example.org"), user);
        QCOMPARE(found.value_or(QStringLiteral("-")), password);
    }

    void netRcWrite_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("after");
        QTest::newRow("new file") << ""
                                  << "gizli"
                                  << "machine dav.example.org login ayse password gizli\n";
        QTest::newRow("replaced in place, the rest kept")
            << "# benim\nmachine x.org login a password b\nmachine dav.example.org  login ayse\tpassword eski   # son\n"
            << "yeni"
            << "# benim\nmachine x.org login a password b\nmachine dav.example.org  login ayse\tpassword yeni   # son\n";
        QTest::newRow("added after the login") << "machine dav.example.org login ayse account x"
                                               << "yeni"
                                               << "machine dav.example.org login ayse password yeni account x";
        QTest::newRow("before default") << "machine x.org login a password b\ndefault login anonymous password guest\n"
                                        << "yeni"
                                        << "machine x.org login a password b\nmachine dav.example.org login ayse password yeni\n"
                                           "default login anonymous password guest\n";
        QTest::newRow("after an open macro") << "machine x.org login a password b\nmacdef init\ncd /"
                                             << "yeni"
                                             << "machine x.org login a password b\nmacdef init\ncd /\n\n"
                                                "machine dav.example.org login ayse password yeni\n";
        QTest::newRow("quoted") << ""
                                << "a b\"c\\d\ne"
                                << "machine dav.example.org login ayse password \"a b\\\"c\\\\d\\ne\"\n";
    }
    void netRcWrite()
    {
        QFETCH(QString, before);
        QFETCH(QString, password);
        QFETCH(QString, after);
        const QString written = NetRcWithPassword(before, QStringLiteral("dav.example.org"), QStringLiteral("ayse"), password);
        QCOMPARE(written, after);
        QCOMPARE(NetRcPassword(written, QStringLiteral("dav.example.org"), QStringLiteral("ayse")), std::optional<QString>(password));
    }

    void accountKeptBesideTheDataSources()
    {
        SetServerForDataSource(QStringLiteral("fihrist.mdb"), QStringLiteral("host=a,b dbname=rehber"));
        TSyncAccount account = Account();
        account.Url = QStringLiteral("https://dav.example.org/a,b/");
        account.IntervalMinutes = 0;
        account.AddressBook = QStringLiteral("https://dav.example.org/a,b/kisiler/");
        account.TrustedFingerprint = QStringLiteral("AB01");
        SaveSyncAccount(account);
        const TSyncAccount read = LoadSyncAccount();
        QCOMPARE(read.Url, account.Url);
        QCOMPARE(read.User, account.User);
        QCOMPARE(read.IntervalMinutes, 0);
        QCOMPARE(read.AddressBook, account.AddressBook);
        QCOMPARE(read.TrustedFingerprint, QStringLiteral("ab01"));
        QCOMPARE(ServerForDataSource(QStringLiteral("fihrist.mdb")), std::optional<QString>(QStringLiteral("host=a,b dbname=rehber")));
        QCOMPARE(Account().Host(), QStringLiteral("dav.example.org"));
        account.Url = QStringLiteral("dav.example.org/dav");
        QCOMPARE(account.ServerUrl().toString(), QStringLiteral("https://dav.example.org/dav"));
    }

    void netRcWhenNoKeyringAnswers()
    {
        QVERIFY(!KeyringAvailable());
        const QString netrc = FHome->FilePath(QStringLiteral(".netrc"));
        QCOMPARE(StorePassword(Account(), QStringLiteral("gizli 1"), false), TPasswordPlace::None);
        QVERIFY(!QFile::exists(netrc));

        WriteAll(netrc, QStringLiteral("machine x.org login a password b\n"));
        QFile::setPermissions(netrc, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
        QCOMPARE(StorePassword(Account(), QStringLiteral("gizli 1"), true), TPasswordPlace::NetRc);
        QCOMPARE(FileMode(netrc), mode_t(0600));
        QCOMPARE(ReadAll(netrc),
                 QStringLiteral("machine x.org login a password b\nmachine dav.example.org login ayse password \"gizli 1\"\n"));

        TPasswordPlace place = TPasswordPlace::None;
        QCOMPARE(LookupPassword(Account(), &place), std::optional<QString>(QStringLiteral("gizli 1")));
        QCOMPARE(place, TPasswordPlace::NetRc);
        QCOMPARE(LookupPassword(Account(QStringLiteral("mehmet")), &place), std::nullopt);
        QCOMPARE(place, TPasswordPlace::None);
        SaveSyncAccount(Account());
        QVERIFY(!ReadAll(FHome->FilePath(QStringLiteral(".config/Velmora/Veri.ini"))).contains(QStringLiteral("gizli")));
    }

    void keyringOnThePrivateBus()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty())
            QSKIP("gnome-keyring-daemon is not installed");
        QVERIFY(FBus->StartKeyring(FHome->FilePath(QStringLiteral("data")), "anahtar"));
        QVERIFY(KeyringAvailable());
        const QString netrcBefore = ReadAll(FHome->FilePath(QStringLiteral(".netrc")));
        QCOMPARE(StorePassword(Account(), QStringLiteral("anahtardaki"), true), TPasswordPlace::Keyring);
        QCOMPARE(ReadAll(FHome->FilePath(QStringLiteral(".netrc"))), netrcBefore);

        // The keyring goes first; a user it does not know falls to ~/.netrc.
        TPasswordPlace place = TPasswordPlace::None;
        QCOMPARE(LookupPassword(Account(), &place), std::optional<QString>(QStringLiteral("anahtardaki")));
        QCOMPARE(place, TPasswordPlace::Keyring);
        QCOMPARE(StorePassword(Account(), QStringLiteral("degisti"), false), TPasswordPlace::Keyring);
        QCOMPARE(LookupPassword(Account()), std::optional<QString>(QStringLiteral("degisti")));
        TSyncAccount other = Account();
        other.Url = QStringLiteral("https://x.org/");
        other.User = QStringLiteral("a");
        QCOMPARE(LookupPassword(other, &place), std::optional<QString>(QStringLiteral("b")));
        QCOMPARE(place, TPasswordPlace::NetRc);
    }
};

QTEST_GUILESS_MAIN(TestSyncCredentials)
#include "tst_sync_credentials.moc"
