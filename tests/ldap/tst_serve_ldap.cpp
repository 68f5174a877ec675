// The directory served over LDAP: the filter reader on its own, then the
// contacts tool starting slapd and answering ldapsearch as a desk phone and
// a mail program search, on the file and on the server.
#include "ldap/BackSock.h"
#include "ldap/LdapFilter.h"
#include "store/ADOConnection.h"
#include "support/ContactsDb.h"
#include "support/TestHome.h"

#include <QLocalSocket>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QtTest>
#include <algorithm>
#include <memory>

namespace {

const QString kBase = QStringLiteral("ou=rehber,dc=velmora");

std::vector<TContactRow> Contacts()
{
    std::vector<TContactRow> rows = {
        {QStringLiteral("Zeynep"), QStringLiteral("Kılıç"), QStringLiteral("0532 111 22 33"), QVariant(), QStringLiteral("0212 555 66 77"),
         QStringLiteral("zeynep@ornek.com.tr"), QStringLiteral("Moda Cad. 5\nKadıköy")},
        {QStringLiteral("İsmail"), QStringLiteral("Işık"), QVariant(), QStringLiteral("(0216) 444-55-66"), QVariant(), QVariant(),
         QVariant()},
        {QStringLiteral("Ahmet"), QStringLiteral("Yılmaz"), QStringLiteral("0533 222 33 44"), QVariant(), QVariant(), QVariant(),
         QVariant()},
        {QStringLiteral("Ayşe"), QStringLiteral("Çelik"), QStringLiteral("+90 542 999 88 77"), QVariant(), QVariant(), QVariant(),
         QVariant()},
    };
    for (int i = 0; i < 55; ++i)
        rows.push_back({QStringLiteral("Deneme"), QStringLiteral("Kişi %1").arg(i),
                        QStringLiteral("0544 000 00 %1").arg(i, 2, 10, QChar(u'0')), QVariant(), QVariant(), QVariant(), QVariant()});
    return rows;
}

struct TSearchResult {
    int Code = -1;
    QString Text;
    QStringList Uids;
};

} // namespace

class TestServeLdap : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestHome> FHome;
    std::unique_ptr<QProcess> FServer;
    QString FUrl;

    TSearchResult Search(const QStringList &args, const QString &base = kBase)
    {
        QProcess ldapsearch;
        ldapsearch.start(QStringLiteral("ldapsearch"),
                         QStringList{QStringLiteral("-x"), QStringLiteral("-LLL"), QStringLiteral("-o"), QStringLiteral("ldif-wrap=no"),
                                     QStringLiteral("-H"), FUrl, QStringLiteral("-b"), base}
                             + args);
        TSearchResult result;
        if (!ldapsearch.waitForFinished(120000))
            return result;
        result.Code = ldapsearch.exitCode();
        result.Text = QString::fromUtf8(ldapsearch.readAllStandardOutput());
        for (const QString &line : result.Text.split(u'\n'))
            if (line.startsWith(QStringLiteral("dn: uid=")))
                result.Uids << line.mid(8, line.indexOf(u',') - 8);
        std::sort(result.Uids.begin(), result.Uids.end(), [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
        return result;
    }
    QStringList Uids(const QString &filter) { return Search({filter, QStringLiteral("uid")}).Uids; }

    // serve-ldap on fihrist.mdb at a free port of loopback, once it serves.
    std::unique_ptr<QProcess> StartServer(const QStringList &options, QString *url, const QString &scheme = QStringLiteral("ldap"))
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost))
            return nullptr;
        *url = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(probe.serverPort());
        probe.close();
        auto server = std::make_unique<QProcess>();
        server->setReadChannel(QProcess::StandardError);
        server->start(qEnvironmentVariable("VELMORA_TEST_BINARY_DIR") + QStringLiteral("/tools/velmora-rehber-db"),
                      QStringList{QStringLiteral("serve-ldap"), QStringLiteral("fihrist.mdb"), QStringLiteral("--listen"), *url} + options);
        QByteArray said;
        while (!said.contains("serving") && server->state() != QProcess::NotRunning && server->waitForReadyRead(60000))
            said += server->readAllStandardError();
        if (!said.contains("serving " + kBase.toUtf8())) {
            qWarning("%s", said.constData());
            return nullptr;
        }
        return server;
    }

private Q_SLOTS:
    void initTestCase()
    {
        FHome = std::make_unique<TTestHome>();
        MakeContactsDatabase(QStringLiteral("fihrist.mdb"), Contacts());
        FServer = StartServer({}, &FUrl);
        QVERIFY(FServer);
    }

    void cleanupTestCase()
    {
        if (FServer && FServer->state() == QProcess::Running) {
            FServer->terminate();
            FServer->waitForFinished(60000);
        }
    }

    void filterReader()
    {
        TLdapFilter f;
        QCOMPARE(ReadLdapFilter("(&(objectClass=inetOrgPerson)(|(sn=kili\\c3\\a7*)(!(mobile=*5321*33))))", &f), TFilterError::None);
        QCOMPARE(f.Children.size(), std::size_t(2));
        const TLdapFilter &sn = f.Children[1].Children[0];
        QCOMPARE(int(sn.Kind), int(TLdapFilter::TKind::Substrings));
        QCOMPARE(sn.Attribute, QByteArray("sn"));
        QCOMPARE(sn.Initial, QByteArray("kiliç"));
        const TLdapFilter &mobile = f.Children[1].Children[1].Children[0];
        QCOMPARE(mobile.Any, QList<QByteArray>{"5321"});
        QCOMPARE(mobile.Final, QByteArray("33"));
        QCOMPARE(ReadLdapFilter("(cn=*)", &f), TFilterError::None);
        QCOMPARE(int(f.Kind), int(TLdapFilter::TKind::Present));
        QCOMPARE(ReadLdapFilter("(telephoneNumber>=5)", &f), TFilterError::None);
        QCOMPARE(int(f.Kind), int(TLdapFilter::TKind::Unsupported));
        QCOMPARE(ReadLdapFilter("(sn=\xff\xfe*)", &f), TFilterError::None);
        for (const char *bad : {"", "(", "(cn=a", "(cn=a))", "(&(cn=a)", "(!(cn=a)(cn=b))", "(cn=\\zz)", "(cn=a(b)", "cn=a"})
            QVERIFY2(ReadLdapFilter(bad, &f) == TFilterError::Syntax, bad);
        // Nesting and size are bounded before anything deep is read.
        const QByteArray deep = QByteArray(100000, '(') + "cn=a" + QByteArray(100000, ')');
        QCOMPARE(ReadLdapFilter(deep, &f), TFilterError::Syntax);
        const QByteArray nested = QByteArray("(!").repeated(100000) + "(cn=a)" + QByteArray(100000, ')');
        QCOMPARE(ReadLdapFilter(nested, &f), TFilterError::TooDeep);
        const QByteArray wide = "(|" + QByteArray("(cn=abcdefgh)").repeated(10000) + ')';
        QCOMPARE(ReadLdapFilter(wide, &f), TFilterError::TooLarge);

        // A change that reaches the program is refused.
        TADOConnection connection;
        QByteArray reply;
        AnswerBackSock(connection, TDirectoryService{kBase.toUtf8(), {}, {}}, "DELETE\nmsgid: 2\ndn: uid=1," + kBase.toUtf8() + "\n\n",
                       [&](const QByteArray &part) {
                           reply += part;
                           return true;
                       });
        QVERIFY2(reply.startsWith("RESULT\ncode: 53\n"), reply.constData());
    }

    void searchesAsPhonesAndMailPrograms()
    {
        // Names folded as a keypad types them.
        for (const char *filter : {"(sn=kılıç*)", "(sn=KILIÇ*)", "(sn=kilic*)", "(cn=*zeynep*)", "(cn=Zeynep Kılıç)"})
            QCOMPARE(Uids(QString::fromUtf8(filter)), QStringList{QStringLiteral("1")});
        for (const char *filter : {"(sn=ışık)", "(givenName=ismail)", "(sn=ISIK)"})
            QCOMPARE(Uids(QString::fromUtf8(filter)), QStringList{QStringLiteral("2")});
        // Numbers by their digits and across the national and international forms.
        QCOMPARE(Uids(QStringLiteral("(|(telephoneNumber=*5321112233)(mobile=*5321112233)(homePhone=*5321112233))")),
                 QStringList{QStringLiteral("1")});
        QCOMPARE(Uids(QStringLiteral("(mobile=+905321112233)")), QStringList{QStringLiteral("1")});
        QCOMPARE(Uids(QStringLiteral("(telephoneNumber=02125556677)")), QStringList{QStringLiteral("1")});
        QCOMPARE(Uids(QStringLiteral("(homePhone=*4445566)")), QStringList{QStringLiteral("2")});
        QCOMPARE(Uids(QStringLiteral("(telephoneNumber=05429998877)")), QStringList{QStringLiteral("4")});
        QCOMPARE(Uids(QStringLiteral("(&(objectClass=inetOrgPerson)(|(cn=ayşe*)(sn=ayşe*)))")), QStringList{QStringLiteral("4")});
        QCOMPARE(Uids(QStringLiteral("(&(sn=*)(!(cn=deneme*)))")), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(Uids(QStringLiteral("(mobile>=0)")), QStringList());
        QCOMPARE(Uids(QStringLiteral("(&(uid=1)(!(mobile>=0)))")), QStringList());
        QCOMPARE(Uids(QStringLiteral("(|(uid=1)(!(mobile<=0)))")), QStringList{QStringLiteral("1")});

        // Size limits, scopes, the attributes asked for, a base outside.
        TSearchResult limited = Search({QStringLiteral("-z"), QStringLiteral("50"), QStringLiteral("(cn=deneme*)"), QStringLiteral("cn")});
        QCOMPARE(limited.Code, 4);
        QCOMPARE(limited.Uids.size(), 50);
        // The database's first rows are mostly passed over: the limit still counts every match.
        TSearchResult passedOver = Search({QStringLiteral("-z"), QStringLiteral("1"),
                                           QStringLiteral("(&(mobile=*)(!(givenName=zeynep))(!(givenName=ahmet))(!(givenName=ayşe)))")});
        QCOMPARE(passedOver.Code, 4);
        QCOMPARE(passedOver.Uids.size(), 1);
        TSearchResult one = Search({QStringLiteral("-s"), QStringLiteral("one"), QStringLiteral("(objectClass=*)"), QStringLiteral("1.1")});
        QCOMPARE(one.Uids.size(), 59);
        QVERIFY(!one.Text.contains(QStringLiteral("dn: ") + kBase));
        TSearchResult base = Search({QStringLiteral("-s"), QStringLiteral("base"), QStringLiteral("(objectClass=organizationalUnit)")});
        QVERIFY2(base.Text.contains(QStringLiteral("ou: rehber")) && base.Uids.isEmpty(), qPrintable(base.Text));
        TSearchResult entry = Search({QStringLiteral("-s"), QStringLiteral("base"), QStringLiteral("(objectClass=*)"), QStringLiteral("cn"),
                                      QStringLiteral("mobile")},
                                     QStringLiteral("uid=1,") + kBase);
        QCOMPARE(entry.Uids, QStringList{QStringLiteral("1")});
        QVERIFY2(entry.Text.contains(QStringLiteral("mobile: 0532 111 22 33")) && !entry.Text.contains(QStringLiteral("mail:")),
                 qPrintable(entry.Text));
        QCOMPARE(Search({QStringLiteral("(cn=*)")}, QStringLiteral("uid=999,") + kBase).Code, 32);
        QCOMPARE(Search({QStringLiteral("(cn=*)")}, QStringLiteral("dc=elsewhere")).Code, 32);
        TSearchResult full = Search({QStringLiteral("(uid=1)")});
        QVERIFY2(full.Text.contains(QStringLiteral("postalAddress:: ")) && full.Text.contains(QStringLiteral("mail: zeynep@ornek.com.tr")),
                 qPrintable(full.Text));
    }

    void hostileInputAndLiveChanges()
    {
        // Each gets an error or its answer, and the server serves on.
        const QString nested = QString(QStringLiteral("(!")).repeated(100000) + QStringLiteral("(cn=a)") + QString(100000, u')');
        QVERIFY(Search({nested}).Code != 0);
        const QString wide = QStringLiteral("(|") + QStringLiteral("(cn=abcdefghij)").repeated(8000) + u')';
        QVERIFY(Search({wide}).Code != 0);
        QStringList manyAttributes{QStringLiteral("(uid=3)")};
        for (int i = 0; i < 10000; ++i)
            manyAttributes << QStringLiteral("x%1").arg(i);
        manyAttributes << QStringLiteral("sn");
        const TSearchResult attrs = Search(manyAttributes);
        QVERIFY2(attrs.Code != 0 || attrs.Text.contains(QStringLiteral("sn:: ")), qPrintable(attrs.Text));
        QCOMPARE(Uids(QStringLiteral("(sn=\\ff\\fe*)")), QStringList());
        // Clients that ask for every entry and never read the answer, many at once.
        const QByteArray everything = QByteArray::fromHex(
            "3039020101633404146f753d7265686265722c64633d76656c6d6f72610a01020a0100020100"
            "020100010100870b6f626a656374436c6173733000");
        std::vector<std::unique_ptr<QTcpSocket>> silent;
        for (int i = 0; i < 200; ++i) {
            silent.push_back(std::make_unique<QTcpSocket>());
            silent.back()->connectToHost(QHostAddress::LocalHost, quint16(QUrl(FUrl).port()));
        }
        for (auto &client : silent)
            if (client->waitForConnected(30000))
                client->write(everything);
        for (auto &client : silent)
            client->waitForBytesWritten(30000);
        QCOMPARE(Uids(QStringLiteral("(sn=yılmaz)")), QStringList{QStringLiteral("3")});
        silent.clear();

        // Nothing can be written; a change made in the window's database is found at once.
        QProcess modify;
        modify.start(QStringLiteral("ldapmodify"), {QStringLiteral("-x"), QStringLiteral("-H"), FUrl});
        modify.write("dn: uid=3," + kBase.toUtf8() + "\nchangetype: delete\n");
        modify.closeWriteChannel();
        QVERIFY(modify.waitForFinished(120000));
        QVERIFY(modify.exitCode() != 0);
        QCOMPARE(ContactRows(QStringLiteral("fihrist.mdb")).size(), qsizetype(59));
        ExecSql(QStringLiteral("fihrist.mdb"), QStringLiteral("UPDATE DBASE SET Soyad = 'Demirci' WHERE No = 3"));
        QCOMPARE(Uids(QStringLiteral("(sn=demirci)")), QStringList{QStringLiteral("3")});

        // SIGTERM ends the command and its slapd cleanly.
        FServer->terminate();
        QVERIFY(FServer->waitForFinished(60000));
        QCOMPARE(FServer->exitStatus(), QProcess::NormalExit);
        QCOMPARE(FServer->exitCode(), 0);
        QVERIFY(Search({QStringLiteral("(uid=1)")}).Code != 0);
    }

    void answersAnOfficesSlapd()
    {
        // --socket: the back-sock requests come straight to the socket.
        const QString path = FHome->FilePath(QStringLiteral("rehber.sock"));
        QProcess server;
        server.setReadChannel(QProcess::StandardError);
        server.start(qEnvironmentVariable("VELMORA_TEST_BINARY_DIR") + QStringLiteral("/tools/velmora-rehber-db"),
                     {QStringLiteral("serve-ldap"), QStringLiteral("fihrist.mdb"), QStringLiteral("--socket"), path});
        QByteArray said;
        while (!said.contains("answering") && server.waitForReadyRead(60000))
            said += server.readAllStandardError();
        QVERIFY2(said.contains("answering"), said.constData());
        auto ask = [&](const QByteArray &request) {
            QLocalSocket socket;
            socket.connectToServer(path);
            if (!socket.waitForConnected(30000))
                return QByteArray("no connection");
            socket.write(request);
            QByteArray reply;
            while (socket.state() == QLocalSocket::ConnectedState && socket.waitForReadyRead(30000))
                reply += socket.readAll();
            return reply + socket.readAll();
        };
        const QByteArray search = "SEARCH\nmsgid: 2\nsuffix: " + kBase.toUtf8() + "\nbase: " + kBase.toUtf8()
            + "\nscope: 2\nderef: 0\nsizelimit: -1\ntimelimit: -1\nfilter: (sn=\\c4\\b1\\c5\\9f\\c4\\b1k)\nattrsonly: 0\nattrs: uid cn\n\n";
        const QByteArray reply = ask(search);
        QVERIFY2(reply.startsWith("dn: uid=2," + kBase.toUtf8() + "\nuid: 2\ncn:: ") && reply.endsWith("\n\nRESULT\ncode: 0\n"),
                 reply.constData());
        QVERIFY(ask("MODIFY\nmsgid: 3\ndn: uid=2," + kBase.toUtf8() + "\nreplace: sn\nsn: X\n-\n\n").startsWith("RESULT\ncode: 53\n"));
        QVERIFY(ask("SEARCH\nfilter: (cn=" + QByteArray(2 << 20, 'a') + ")\n\n").startsWith("RESULT\ncode: 11\n"));
        QCOMPARE(ask(search), reply);
        server.terminate();
        QVERIFY(server.waitForFinished(60000));
        QCOMPARE(server.exitCode(), 0);
        QVERIFY(!QFile::exists(path));
    }

    void servesOverTls()
    {
        QCOMPARE(QProcess::execute(QStringLiteral("openssl"),
                                   {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                                    QStringLiteral("-nodes"), QStringLiteral("-keyout"), QStringLiteral("key.pem"), QStringLiteral("-out"),
                                    QStringLiteral("cert.pem"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                                    QStringLiteral("/CN=127.0.0.1")}),
                 0);
        FServer = StartServer({QStringLiteral("--cert"), QStringLiteral("cert.pem"), QStringLiteral("--key"), QStringLiteral("key.pem")},
                              &FUrl, QStringLiteral("ldaps"));
        QVERIFY(FServer);
        qputenv("LDAPTLS_REQCERT", "never");
        QCOMPARE(Uids(QStringLiteral("(cn=zeynep*)")), QStringList{QStringLiteral("1")});
        FServer->terminate();
        QVERIFY(FServer->waitForFinished(60000));
    }

    void bindRequired()
    {
        const QByteArray dn = "cn=telefon," + kBase.toUtf8();
        QFile netrc(FHome->FilePath(QStringLiteral(".netrc")));
        QVERIFY(netrc.open(QIODevice::WriteOnly));
        netrc.write("machine 127.0.0.1 login " + dn + " password gizli\n");
        netrc.close();
        netrc.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        FServer = StartServer({QStringLiteral("--bind-dn"), QString::fromUtf8(dn)}, &FUrl);
        QVERIFY(FServer);
        QCOMPARE(Search({QStringLiteral("(uid=1)")}).Code, 48); // anonymous
        const QString bound = QString::fromUtf8(dn);
        QCOMPARE(Search({QStringLiteral("-D"), bound, QStringLiteral("-w"), QStringLiteral("yanlis"), QStringLiteral("(uid=1)")}).Code, 49);
        QCOMPARE(Search({QStringLiteral("-D"), bound, QStringLiteral("-w"), QStringLiteral("gizli"), QStringLiteral("(uid=1)")}).Uids,
                 QStringList{QStringLiteral("1")});
    }
};

QTEST_GUILESS_MAIN(TestServeLdap)
#include "tst_serve_ldap.moc"
