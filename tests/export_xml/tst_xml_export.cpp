#include "export/XmlExport.h"
#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "platform/widgets/Application.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "support/TestHome.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QByteArray Header =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-9\"?><TelRehberi SirketAd\xFD=\"Velmora\" G\xF6"
    "nderenProgram=\"Velmora_TelRehberi\">";
const QByteArray Footer = "</TelRehberi>";
const QString Contacts = QStringLiteral(
    "Ad VARCHAR(50), Soyad VARCHAR(50), CTelefon VARCHAR(20), ETelefon VARCHAR(20), "
    "ITelefon VARCHAR(20), Email VARCHAR(50), Adres MEMO");
const QString Typed = QStringLiteral(", Aktif BOOLEAN, Dogum DATE, Saat TIME, Kayit DATETIME, Sira INTEGER");

QByteArray Row(const QByteArray &attributes)
{
    return "<Ki\xFEi" + attributes + "/>";
}
QByteArray Repeat(char c, int n)
{
    return QByteArray(n, c);
}
// n copies of c as an SQL expression
QString SqlRepeat(char c, int n)
{
    return QStringLiteral("replace(hex(zeroblob(%1)),'00','%2')").arg(n).arg(QLatin1Char(c));
}

using TXmlDoc = std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)>;

TXmlDoc Parse(const QByteArray &file)
{
    return TXmlDoc(xmlReadMemory(file.constData(), int(file.size()), "export.xml", nullptr, XML_PARSE_NONET), xmlFreeDoc);
}

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The user presses "İptal" as soon as the work reports.
struct TCancellingSink : TProgressSink {
    void Begin(const QString &, qint64, bool) override {}
    bool Update(qint64, qint64, const QString &) override { return false; }
    void End() override {}
};

} // namespace

class TestXmlExport : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestHome> FHome;
    std::unique_ptr<TApplication> FApp;
    std::unique_ptr<TADOConnection> FConnection;
    std::unique_ptr<TADOQuery> FQuery;
    QStringList FShown;

    QString Target() const { return FHome->FilePath(QStringLiteral("VelmoraTelReh.xml")); }

    void Sql(const QString &sql)
    {
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(FHome->FilePath(QStringLiteral("fihrist.mdb")).toUtf8().constData(), &db), SQLITE_OK);
        char *error = nullptr;
        const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
        const QString text = QString::fromUtf8(error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
        QVERIFY2(rc == SQLITE_OK, qPrintable(text));
    }

    void Open(const QString &sql = QStringLiteral("SELECT * FROM DBASE ORDER BY AD"), const QString &param = {})
    {
        FQuery.reset();
        FConnection = std::make_unique<TADOConnection>();
        FConnection->SetConnectionString(TADOConnection::ComposeConnectionString(TADOConnection::DefaultConnectionKeys()));
        FConnection->Open();
        FQuery = std::make_unique<TADOQuery>();
        FQuery->SetConnection(FConnection.get());
        FQuery->SQL.Add(sql);
        if (!param.isNull())
            FQuery->Parameters.SetValue(0, param);
        FQuery->Open();
    }

    QByteArray ReadTarget() const
    {
        QFile f(Target());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // Exports and returns the file; the export must have said once that it
    // was complete, with the file in place then, shown no box of its own,
    // and libxml2 must read the file as well-formed XML.
    QByteArray Export()
    {
        FShown.clear();
        QList<QByteArray> atCompletion;
        DataSetToXml(FQuery.get(), QStringLiteral("C:\\VelmoraTelReh.xml"), [&] { atCompletion << ReadTarget(); });
        const QByteArray file = ReadTarget();
        if (atCompletion != QList<QByteArray>{file} || !FShown.isEmpty())
            return "<no completion>";
        return Parse(file) ? file : QByteArray("<not well-formed>");
    }

private Q_SLOTS:
    void init()
    {
        FHome = std::make_unique<TTestHome>();
        FApp = std::make_unique<TApplication>(QStringLiteral("/usr/bin/velmora-rehber"));
        FApp->SetMessageBoxHandler([this](const TMessageBoxRequest &r) {
            if (r.Kind == TMessageKind::Information && r.Caption == FApp->Title())
                FShown << r.Text;
            return IDOK;
        });
        FShown.clear();
    }

    void cleanup()
    {
        FQuery.reset();
        FConnection.reset();
        FApp.reset();
        FHome.reset();
    }

    void zeroPad_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("text");
        QTest::newRow("padded") << 5 << 2 << "05";
        QTest::newRow("zero") << 0 << 3 << "000";
        QTest::newRow("exact") << 42 << 2 << "42";
        QTest::newRow("longer is not cut") << 2024 << 2 << "2024";
        QTest::newRow("largest") << 65535 << 7 << "0065535";
    }
    void zeroPad()
    {
        QFETCH(int, value);
        QFETCH(int, width);
        QFETCH(QString, text);
        QCOMPARE(ZeroPad(quint16(value), quint16(width)), text);
    }

    void bytesOfTheFormat_data()
    {
        QTest::addColumn<QString>("extraColumns");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QByteArray>("body");
        const QString n7 = QStringLiteral("NULL,NULL,NULL,NULL,NULL,NULL,NULL");
        QTest::newRow("empty set") << QString() << QStringList{} << QByteArray();
        QTest::newRow("all empty") << QString() << QStringList{n7, "'','','','','','',''"} << Row("") + Row("");
        QTest::newRow("name and mobile only") << QString() << QStringList{"'Ali',NULL,'0532 111',NULL,NULL,'',NULL"}
                                              << Row(" Ad=\"Ali\" CTelefon=\"0532 111\"");
        QTest::newRow("field order, rows by name")
            << QString() << QStringList{"'Zafer','Kaya','1','2','3','z@k.tr','Ankara'", "'Ayla',NULL,NULL,NULL,NULL,NULL,NULL"}
            << Row(" Ad=\"Ayla\"")
                + Row(" Ad=\"Zafer\" Soyad=\"Kaya\" CTelefon=\"1\" ETelefon=\"2\" ITelefon=\"3\" Email=\"z@k.tr\" Adres=\"Ankara\"");
        QTest::newRow("255 whole, 300 cut") << QString()
                                            << QStringList{SqlRepeat('a', 255) + ",NULL,NULL,NULL,NULL,NULL,NULL",
                                                           SqlRepeat('b', 300) + ",NULL,NULL,NULL,NULL,NULL," + SqlRepeat('c', 256)}
                                            << Row(" Ad=\"" + Repeat('a', 255) + "\"")
                + Row(" Ad=\"" + Repeat('b', 255) + "\" Adres=\"" + Repeat('c', 255) + "\"");
        QTest::newRow("cut counts characters, then encodes")
            << QString()
            << QStringList{SqlRepeat('a', 254) + " || '\U0001F600z',NULL,NULL,NULL,NULL,NULL," + SqlRepeat('x', 250) + " || '&&&&&&&'"}
            << Row(" Ad=\"" + Repeat('a', 254) + "&#128512;\" Adres=\"" + Repeat('x', 250) + "&amp;&amp;&amp;&amp;&amp;\"");
        QTest::newRow("two-line address") << QString()
                                          << QStringList{"'Ece',NULL,NULL,NULL,NULL,NULL,'Gül Sok. 5' || char(13,10) || 'İzmir'"}
                                          << Row(" Ad=\"Ece\" Adres=\"G\xFCl Sok. 5\r\n\xDDzmir\"");
        QTest::newRow("markup characters") << QString() << QStringList{"'A&B <c> \"d\" ''e''',NULL,NULL,NULL,NULL,NULL,NULL"}
                                           << Row(" Ad=\"A&amp;B &lt;c&gt; &quot;d&quot; 'e'\"");
        QTest::newRow("turkish letters single bytes") << QString() << QStringList{"'ĞÜŞİÖÇğüşıöç',NULL,NULL,NULL,NULL,NULL,NULL"}
                                                      << Row(" Ad=\"\xD0\xDC\xDE\xDD\xD6\xC7\xF0\xFC\xFE\xFD\xF6\xE7\"");
        QTest::newRow("outside ISO-8859-9 referenced") << QString() << QStringList{"'€ł Жλ \U0001F600 Ðýé',NULL,NULL,NULL,NULL,NULL,NULL"}
                                                       << Row(" Ad=\"&#8364;&#322; &#1046;&#955; &#128512; &#208;&#253;\xE9\"");
        QTest::newRow("forbidden controls left out")
            << QString()
            << QStringList{"'a' || char(0) || 'b' || char(1,31) || 'c' || char(9) || 'd' || char(127,133),NULL,NULL,NULL,NULL,NULL,char(2)"}
            << Row(" Ad=\"abc\td\x7F&#133;\" Adres=\"\"");
        QTest::newRow("typed, no values") << Typed << QStringList{"'Ali',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL"}
                                          << Row(" Ad=\"Ali\" Dogum=\"18991230\" Saat=\"000000\" Kayit=\"18991230\"");
        QTest::newRow("typed, midnight")
            << Typed << QStringList{"'A',NULL,NULL,NULL,NULL,NULL,NULL,1,'1984-02-29','13:45:07.250','2024-01-31 00:00:00',42"}
            << Row(" Ad=\"A\" Aktif=\"TRUE\" Dogum=\"19840229\" Saat=\"134507\" Kayit=\"20240131\" Sira=\"42\"");
        QTest::newRow("typed, milliseconds after midnight")
            << Typed << QStringList{"'B',NULL,NULL,NULL,NULL,NULL,NULL,0,'2000-01-01','00:00:00','2024-01-31 00:00:00.003',-7"}
            << Row(" Ad=\"B\" Aktif=\"FALSE\" Dogum=\"20000101\" Saat=\"000000\" Kayit=\"20240131T00:00:00003\" Sira=\"-7\"");
        QTest::newRow("typed, late in the day")
            << Typed << QStringList{"'C',NULL,NULL,NULL,NULL,NULL,NULL,NULL,'1899-12-30','23:59:59.999','1999-12-31 23:59:59.999',NULL"}
            << Row(" Ad=\"C\" Dogum=\"18991230\" Saat=\"235959\" Kayit=\"19991231T23:59:59999\"");
    }
    void bytesOfTheFormat()
    {
        QFETCH(QString, extraColumns);
        QFETCH(QStringList, rows);
        QFETCH(QByteArray, body);
        Sql(QStringLiteral("CREATE TABLE DBASE (%1%2)").arg(Contacts, extraColumns));
        for (const QString &row : rows)
            Sql(QStringLiteral("INSERT INTO DBASE VALUES (%1)").arg(row));
        Open();
        QCOMPARE(Export(), Header + body + Footer);
    }

    void parsedBackEqualsTheRecordSet()
    {
        Sql(QStringLiteral("CREATE TABLE DBASE (%1%2)").arg(Contacts, Typed));
        Sql(QStringLiteral("INSERT INTO DBASE VALUES ('Şule','Öz <x> & \"y\"','0532',NULL,'',NULL,'a' || char(13,10) || 'b' || char(10) || "
                           "'c' || char(9) || 'd',1,'2001-05-06','10:11:12','2020-02-02 00:00:00.001',3),"
                           "('€uro \U0001F600','ł',NULL,NULL,NULL,'İı',%1,0,NULL,NULL,'1970-01-01 12:00:00',NULL)")
                .arg(SqlRepeat('q', 400)));
        Open();
        const QByteArray file = Export();

        const TXmlDoc doc = Parse(file);
        QVERIFY(doc);
        const xmlNode *root = xmlDocGetRootElement(doc.get());
        QCOMPARE(QString::fromUtf8(reinterpret_cast<const char *>(root->name)), QStringLiteral("TelRehberi"));
        auto attributes = [](const xmlNode *node) {
            QMap<QString, QString> map;
            for (const xmlAttr *a = node->properties; a; a = a->next) {
                xmlChar *v = xmlNodeListGetString(node->doc, a->children, 1);
                map.insert(QString::fromUtf8(reinterpret_cast<const char *>(a->name)),
                           QString::fromUtf8(reinterpret_cast<const char *>(v)));
                xmlFree(v);
            }
            return map;
        };
        QCOMPARE(attributes(root), (QMap<QString, QString>{{"SirketAdı", "Velmora"}, {"GönderenProgram", "Velmora_TelRehberi"}}));

        FQuery->First();
        int rows = 0;
        for (const xmlNode *n = root->children; n; n = n->next, FQuery->Next(), ++rows) {
            QVERIFY(n->type == XML_ELEMENT_NODE && !n->children);
            QCOMPARE(QString::fromUtf8(reinterpret_cast<const char *>(n->name)), QStringLiteral("Kişi"));
            QVERIFY(!FQuery->Eof());
            QMap<QString, QString> expected;
            for (int i = 0; i < FQuery->FieldCount(); ++i) {
                QString value = CutXmlValue(FieldToXmlText(FQuery->Fields(i)));
                if (value.isEmpty())
                    continue;
                // A parser normalises an attribute's line breaks and tabs to blanks.
                value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
                for (QChar &c : value)
                    if (c == u'\r' || c == u'\n' || c == u'\t')
                        c = u' ';
                expected.insert(FQuery->Fields(i)->FieldName(), value);
            }
            QCOMPARE(attributes(n), expected);
        }
        QCOMPARE(rows, 2);
        QVERIFY(FQuery->Eof());
    }

    void onlyTheSearchResultInItsOrder()
    {
        Sql(QStringLiteral("CREATE TABLE DBASE (%1)").arg(Contacts));
        Sql(QStringLiteral("INSERT INTO DBASE (Ad, Soyad) VALUES ('Cem','Yıldız'),('Ali','Kara'),('Banu','Yılmaz')"));
        Open(QStringLiteral("SELECT * FROM DBASE WHERE SOYAD LIKE :deger ORDER BY AD"), QStringLiteral("Yıl%"));
        QCOMPARE(Export(), Header + Row(" Ad=\"Banu\" Soyad=\"Y\xFDlmaz\"") + Row(" Ad=\"Cem\" Soyad=\"Y\xFDld\xFDz\"") + Footer);
    }

    void secondExportReplacesTheFirst()
    {
        Sql(QStringLiteral("CREATE TABLE DBASE (%1)").arg(Contacts));
        Sql(QStringLiteral("INSERT INTO DBASE (Ad, Adres) VALUES ('Ali','%1'),('Veli',NULL)").arg(QString(300, u'x')));
        Open();
        QVERIFY(Export().size() > 300);
        Open(QStringLiteral("SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD"), QStringLiteral("V%"));
        QCOMPARE(Export(), Header + Row(" Ad=\"Veli\"") + Footer);
        QCOMPARE(Entries(FHome->Path()), (QStringList{".config", "VelmoraTelReh.xml", "fihrist.mdb"}));
    }

    void cursorComesBack_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("currentAfter");
        QTest::addColumn<int>("rowsWritten");
        QTest::newRow("browsing the second") << "browse"
                                             << "Banu" << 3;
        QTest::newRow("editing the second") << "edit"
                                            << "Banu2" << 3;
        QTest::newRow("inserting, unchanged") << "insert"
                                              << "Cem" << 3;
        QTest::newRow("inserting, typed") << "insert typed"
                                          << "Deniz" << 4;
    }
    void cursorComesBack()
    {
        QFETCH(QString, state);
        QFETCH(QString, currentAfter);
        QFETCH(int, rowsWritten);
        Sql(QStringLiteral("CREATE TABLE DBASE (%1)").arg(Contacts));
        Sql(QStringLiteral("INSERT INTO DBASE (Ad) VALUES ('Cem'),('Ali'),('Banu')"));
        Open();
        FQuery->Next();
        if (state == u"edit") {
            FQuery->Edit();
            FQuery->FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Banu2"));
        } else if (state.startsWith(u"insert")) {
            FQuery->Append();
            if (state.endsWith(u"typed"))
                FQuery->FieldByName(QStringLiteral("AD"))->SetAsString(QStringLiteral("Deniz"));
        }
        const QByteArray file = Export();
        QCOMPARE(file.count("<Ki\xFEi"), rowsWritten);
        QCOMPARE(FQuery->State(), rsBrowse);
        QCOMPARE(FQuery->FieldByName(QStringLiteral("Ad"))->AsString(), currentAfter);
        QVERIFY(!FQuery->ControlsDisabled());
    }

    void failureKeepsThePreviousExport_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("error");
        const bool root = ::geteuid() == 0;
        if (!root)
            QTest::newRow("home folder not writable") << "readonly home" << QString::fromLocal8Bit(std::strerror(EACCES));
        QTest::newRow("home is a regular file") << "home is a file" << QString::fromLocal8Bit(std::strerror(ENOTDIR));
        QTest::newRow("home is missing") << "home missing" << QString::fromLocal8Bit(std::strerror(ENOENT));
        QTest::newRow("target is a folder") << "target folder" << QString::fromLocal8Bit(std::strerror(EISDIR));
        QTest::newRow("write fails part-way") << "file size limit" << QString::fromLocal8Bit(std::strerror(EFBIG));
        QTest::newRow("record set closed") << "closed" << QStringLiteral("Cannot perform this operation on a closed dataset");
        QTest::newRow("value cannot be read") << "bad date" << QStringLiteral("'yok' is not a valid date and time");
        QTest::newRow("cancelled") << "cancelled" << EAbort().Message();
    }
    void failureKeepsThePreviousExport()
    {
        QFETCH(QString, failure);
        QFETCH(QString, error);
        Sql(QStringLiteral("CREATE TABLE DBASE (%1%2)").arg(Contacts, Typed));
        Sql(QStringLiteral("INSERT INTO DBASE (Ad) VALUES ('Ali')"));
        Open();
        const QByteArray previous = Export();
        if (failure == u"bad date")
            Sql(QStringLiteral("INSERT INTO DBASE (Ad, Dogum) VALUES ('Z', 'yok')"));
        Sql(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                           "INSERT INTO DBASE (Ad, Adres) SELECT 'K' || i, %1 FROM n")
                .arg(SqlRepeat('y', 200)));
        Open();
        FQuery->Next();
        const QString before = FQuery->FieldByName(QStringLiteral("Ad"))->AsString();

        QString home = FHome->Path();
        if (failure == u"readonly home")
            QFile::setPermissions(home, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (failure == u"home is a file" || failure == u"home missing") {
            home = FHome->FilePath(QStringLiteral("fihrist.mdb")) + (failure == u"home missing" ? "x" : "");
            qputenv("HOME", QFile::encodeName(home));
        }
        if (failure == u"target folder") {
            QVERIFY(QFile::remove(Target()));
            QVERIFY(QDir(home).mkdir(QStringLiteral("VelmoraTelReh.xml")));
        }
        if (failure == u"closed")
            FQuery->Close();
        const QStringList entries = Entries(FHome->Path());

        QString raised;
        struct rlimit oldLimit;
        ::getrlimit(RLIMIT_FSIZE, &oldLimit);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (failure == u"file size limit") {
            struct rlimit limit = oldLimit;
            limit.rlim_cur = 16 * 1024;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        TCancellingSink cancel;
        if (failure == u"cancelled")
            SetProgressSink(&cancel);
        bool completed = false;
        try {
            DataSetToXml(FQuery.get(), QStringLiteral("C:\\VelmoraTelReh.xml"), [&] { completed = true; });
        } catch (const Exception &e) {
            raised = e.Message();
        }
        SetProgressSink(nullptr);
        ::setrlimit(RLIMIT_FSIZE, &oldLimit);
        std::signal(SIGXFSZ, oldHandler);
        QFile::setPermissions(FHome->Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        const QString target = QDir(home).filePath(QStringLiteral("VelmoraTelReh.xml"));
        if (failure == u"closed" || failure == u"bad date" || failure == u"cancelled")
            QCOMPARE(raised, error);
        else if (failure == u"file size limit")
            QCOMPARE(raised, QStringLiteral("Cannot write file \"%1\". %2").arg(target, error));
        else
            QCOMPARE(raised, QStringLiteral("Cannot create file \"%1\". %2").arg(target, error));
        QVERIFY(!completed);
        QCOMPARE(Entries(FHome->Path()), entries);
        if (failure != u"target folder")
            QCOMPARE(ReadTarget(), previous);
        QVERIFY(!FQuery->ControlsDisabled());
        if (failure != u"closed")
            QCOMPARE(FQuery->FieldByName(QStringLiteral("Ad"))->AsString(), before);
    }
};

QTEST_MAIN(TestXmlExport)
#include "tst_xml_export.moc"
