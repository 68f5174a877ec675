// The database tool and its sample contacts.
#include "StoreTestSupport.h"
#include "platform/core/Exception.h"
#include "support/TestHome.h"
#include "contacts/ContactsDatabase.h"
#include "contacts/SampleContacts.h"

#include <QProcess>
#include <QtTest>

namespace {
QString Tool()
{
    return QString::fromLocal8Bit(qgetenv("VELMORA_TEST_BINARY_DIR")) + QStringLiteral("/tools/velmora-rehber-db");
}
}

class TestRehberDb : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void toolCreatesAndRefusesToOverwrite()
    {
        TTestHome home;
        const QString path = home.FilePath(QStringLiteral("fihrist.mdb"));
        QCOMPARE(QProcess::execute(Tool(), {QStringLiteral("create"), path, QStringLiteral("--sample"), QStringLiteral("25")}), 0);
        QCOMPARE(OtherProgramRows(path, QStringLiteral("SELECT count(*) FROM DBASE")), QStringList{"25"});
        const QByteArray before = FileBytes(path);
        QProcess p;
        p.start(Tool(), {QStringLiteral("create"), path});
        QVERIFY(p.waitForFinished(30000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(QString::fromLocal8Bit(p.readAllStandardError()).contains(QStringLiteral("already exists")));
        QCOMPARE(FileBytes(path), before);
        QVERIFY(QProcess::execute(Tool(), {QStringLiteral("create")}) != 0);
        QVERIFY(QProcess::execute(
                    Tool(),
                    {QStringLiteral("create"), home.FilePath(QStringLiteral("x.db")), QStringLiteral("--sample"), QStringLiteral("many")})
                != 0);

        QVERIFY(ErrorOf([&] { CreateContactsDatabase(path); }).contains(QStringLiteral("already exists")));
        QCOMPARE(FileBytes(path), before);
    }

    void samplesAreDeterministicAndTurkish()
    {
        TTestHome home;
        const QString a = home.FilePath(QStringLiteral("a.db"));
        const QString b = home.FilePath(QStringLiteral("b.db"));
        CreateContactsDatabase(a);
        AddSampleContacts(a, 300);
        CreateContactsDatabase(b);
        AddSampleContacts(b, 50);
        const QString all = QStringLiteral("SELECT * FROM DBASE ORDER BY No");
        const QStringList rowsA = OtherProgramRows(a, all);
        QCOMPARE(rowsA.size(), 300);
        QCOMPARE(OtherProgramRows(b, all), rowsA.mid(0, 50));

        const QString text = rowsA.join(u'\n');
        for (const QChar c : QStringLiteral("çğıİöşüÇĞÖŞÜ"))
            QVERIFY2(text.contains(c), qPrintable(QString(c)));
        QVERIFY(OtherProgramRows(a, QStringLiteral("SELECT count(*) FROM DBASE WHERE Email IS NULL")).value(0).toInt() > 0);
        QVERIFY(OtherProgramRows(a, QStringLiteral("SELECT count(*) FROM DBASE WHERE Email = ''")).value(0).toInt() > 0);
        QVERIFY(OtherProgramRows(a, QStringLiteral("SELECT count(*) FROM DBASE WHERE Adres LIKE '%' || char(10) || '%'")).value(0).toInt()
                > 0);
        const QRegularExpression mobile(QStringLiteral("^05\\d\\d \\d{3} \\d{2} \\d{2}$"));
        const QStringList mobiles = OtherProgramRows(a, QStringLiteral("SELECT CTelefon FROM DBASE WHERE CTelefon <> ''"));
        QVERIFY(!mobiles.isEmpty());
        for (const QString &m : mobiles)
            QVERIFY2(m == QLatin1String("<null>") || mobile.match(m).hasMatch(), qPrintable(m));
        // Every sample fits the widths the engine checks.
        QCOMPARE(OtherProgramRows(a, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    }

    void schemaHasTheKeyAndNoIndexOnText()
    {
        TTestHome home;
        const QString path = home.FilePath(QStringLiteral("fihrist.mdb"));
        CreateContactsDatabase(path);
        QCOMPARE(OtherProgramRows(path, QStringLiteral("SELECT name, type, pk FROM pragma_table_info('DBASE')")),
                 (QStringList{"No|INTEGER|1", "Ad|VARCHAR(50)|0", "Soyad|VARCHAR(50)|0", "CTelefon|VARCHAR(20)|0", "ETelefon|VARCHAR(20)|0",
                              "ITelefon|VARCHAR(20)|0", "Email|VARCHAR(100)|0", "Adres|MEMO|0"}));
        QCOMPARE(OtherProgramRows(path, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index'")), QStringList{"0"});
    }
};

QTEST_GUILESS_MAIN(TestRehberDb)
#include "tst_rehberdb.moc"
