// Converting the Jet files of the earlier Windows version: every table
// against mdb-export's reading of the same file, and the failures that must
// leave everything as it was.
#include "support/ContactsDb.h"
#include "support/Fixtures.h"
#include "support/TestHome.h"
#include "support/TestTools.h"
#include "store/ResultColumns.h"
#include "contacts/jet/JetColumn.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

namespace {

const char kNull = '\x01'; // mdb-export writes it for null and empty values

struct TRun {
    int Code = -1;
    QString Out, Err;
};

TRun Run(const QString &program, const QStringList &args, const QString &folder,
         const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString Tool()
{
    return QString::fromLocal8Bit(qgetenv("VELMORA_TEST_BINARY_DIR")) + QStringLiteral("/tools/velmora-rehber-db");
}

QByteArray Fixture(const QString &name)
{
    return FileBytes(FixturesDir() + u'/' + name);
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Every file of a folder with its bytes.
QMap<QString, QByteArray> Snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        files[name] = FileBytes(folder + u'/' + name);
    return files;
}

// The Jet 3 fixture with Turkish text in the code page Windows-1254, in
// place of the Latin letters of its first table.
QByteArray TurkishJet3()
{
    QByteArray bytes = Fixture(QStringLiteral("jet3-tables.mdb"));
    bytes.replace("abcdefg",
                  "\xDE"
                  "ahin\xF0\xFD");                                      // Şahinğı
    bytes.replace("hijklmnop", "\xDD\xC7\xD6\xDC\xE7\xF6\xFC\xFE\xDE"); // İÇÖÜçöüşŞ
    return bytes;
}

bool IsNumber(const QString &declared)
{
    return declared == QLatin1String("REAL") || declared == QLatin1String("NUMERIC");
}

// Numbers to seven significant digits: mdb-export prints singles that way.
QString Number(double d)
{
    return QString::number(d, 'g', 7);
}

// The table as mdb-export reads it, one line per row, fields joined by '|'.
QStringList MdbExportRows(const QString &jet, const QString &table, const QStringList &types, const QString &charset)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MDB_JET3_CHARSET"), charset);
    const QString format = QStringLiteral("%Y-%m-%d %H:%M:%S");
    const TRun r = Run(QStringLiteral("mdb-export"),
                       {QStringLiteral("-H"), QStringLiteral("-Q"), QStringLiteral("-d"), QStringLiteral("\x1f"), QStringLiteral("-R"),
                        QStringLiteral("\x1e"), QStringLiteral("-0"), QString(QLatin1Char(kNull)), QStringLiteral("-D"), format,
                        QStringLiteral("-T"), format, jet, table},
                       QDir::tempPath(), env);
    if (r.Code != 0)
        qFatal("mdb-export (Debian package mdbtools) failed on %s", qPrintable(jet));
    QStringList rows;
    for (const QString &line : r.Out.split(u'\x1e', Qt::SkipEmptyParts)) {
        QStringList fields = line.split(u'\x1f');
        for (qsizetype i = 0; i < fields.size() && i < types.size(); ++i)
            if (IsNumber(types[i]) && fields[i] != QLatin1Char(kNull))
                fields[i] = Number(fields[i].toDouble());
        rows << fields.join(u'|');
    }
    return rows;
}

// The same table in the converted database, written the way mdb-export
// writes it.
QStringList ConvertedRows(const QString &db, const QString &table, const QStringList &types)
{
    QStringList rows;
    const QString quoted = u'"' + table + u'"';
    for (const QVariantList &row : QueryRows(db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(quoted))) {
        QStringList fields;
        for (qsizetype i = 0; i < row.size(); ++i) {
            const QVariant &v = row[i];
            if (!v.isValid() || v.toString().isEmpty())
                fields << QString(QLatin1Char(kNull));
            else if (types[i] == QLatin1String("DATETIME"))
                fields << QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC)
                              .addMSecs(qRound64(v.toDouble() * 86400000.0))
                              .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            else if (IsNumber(types[i]))
                fields << Number(v.toDouble());
            else
                fields << v.toString();
        }
        rows << fields.join(u'|');
    }
    return rows;
}

QStringList DeclaredTypes(const QString &db, const QString &table)
{
    QStringList types;
    for (const QVariantList &row : QueryRows(db, QStringLiteral("SELECT type FROM pragma_table_info('%1')").arg(table)))
        types << row.value(0).toString().section(u' ', 0, 0);
    return types;
}

} // namespace

class TestJetConvert : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void convertsEveryTableAsMdbExportReadsIt_data()
    {
        QTest::addColumn<QByteArray>("jet");
        QTest::addColumn<QString>("codePage"); // empty: the default
        QTest::addColumn<QString>("charset");  // what mdb-export is told
        QTest::addColumn<int>("version");
        QTest::newRow("Jet 3") << Fixture(QStringLiteral("jet3-tables.mdb")) << QString() << "CP1254" << 3;
        QTest::newRow("Jet 3, Turkish text") << TurkishJet3() << QString() << "CP1254" << 3;
        QTest::newRow("Jet 3, Western code page") << TurkishJet3() << "1252"
                                                  << "CP1252" << 3;
        QTest::newRow("Jet 4") << Fixture(QStringLiteral("jet4-tables.mdb")) << QString() << "CP1254" << 4;
        QTest::newRow("Jet 4, memo and decimals") << Fixture(QStringLiteral("jet4-numeric.mdb")) << QString() << "CP1254" << 4;
        // The earlier version protected its file with a database password;
        // the password guards the engine, not the data, which libmdb reads.
        QTest::newRow("Jet 4 with a password") << Fixture(QStringLiteral("jet4-password.mdb")) << QString() << "CP1254" << 4;
        QTest::newRow("Jet 4 without tables") << Fixture(QStringLiteral("jet4-empty.mdb")) << QString() << "CP1254" << 4;
    }
    void convertsEveryTableAsMdbExportReadsIt()
    {
        QFETCH(QByteArray, jet);
        QFETCH(QString, codePage);
        QFETCH(QString, charset);
        QFETCH(int, version);
        TTestHome home;
        const QString old = home.FilePath(QStringLiteral("old.mdb"));
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        WriteFile(old, jet);
        QStringList args{QStringLiteral("convert"), QStringLiteral("old.mdb")};
        if (!codePage.isEmpty())
            args << QStringLiteral("--codepage") << codePage;
        const TRun r = Run(Tool(), args, home.Path());
        QVERIFY2(r.Code == 0, qPrintable(r.Err));

        const QStringList tables =
            Run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), old}, home.Path()).Out.split(u'\n', Qt::SkipEmptyParts);
        qsizetype rows = 0;
        for (const QString &table : tables) {
            const QStringList types = DeclaredTypes(db, table);
            QVERIFY2(!types.isEmpty(), qPrintable(table));
            const QStringList expected = MdbExportRows(old, table, types, charset);
            QCOMPARE(ConvertedRows(db, table, types), expected);
            rows += expected.size();
        }
        QCOMPARE(r.Out,
                 QStringLiteral("Converted old.mdb (Jet %1) into fihrist.mdb: %2 %3, %4 %5 read, %4 added\n")
                     .arg(version)
                     .arg(tables.size())
                     .arg(tables.size() == 1 ? "table" : "tables")
                     .arg(rows)
                     .arg(rows == 1 ? "row" : "rows"));
        QCOMPARE(FileBytes(old), jet);
        QCOMPARE(QDir(home.Path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("fihrist.mdb"), QStringLiteral("old.mdb")}));
    }

    void columnsKeepTheirKindAndWidth()
    {
        TTestHome home;
        WriteFile(home.FilePath(QStringLiteral("old.mdb")), Fixture(QStringLiteral("jet4-tables.mdb")));
        QCOMPARE(Run(Tool(), {QStringLiteral("convert"), QStringLiteral("old.mdb")}, home.Path()).Code, 0);
        QCOMPARE(DeclaredTypes(home.FilePath(QStringLiteral("fihrist.mdb")), QStringLiteral("Table1")),
                 (QStringList{"VARCHAR(50)", "VARCHAR(100)", "INTEGER", "INTEGER", "INTEGER", "REAL", "DATETIME", "NUMERIC", "BOOLEAN"}));
        // The engine keeps the widths, as in the program's own table.
        const QString sql1 =
            RunSql(home.FilePath(QStringLiteral("fihrist.mdb")), QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'Table1'"))
                .toString();
        QCOMPARE(CheckedLength(sql1, QStringLiteral("A")), 50);
        QCOMPARE(CheckedLength(sql1, QStringLiteral("B")), 100);

        const QByteArray sql = CreateTableSql(QStringLiteral("Kişiler"),
                                              {{QStringLiteral("Ad"), TJetKind::Text, 50, false},
                                               {QStringLiteral("No"), TJetKind::Integer, 0, true},
                                               {QStringLiteral("Adres"), TJetKind::Memo, 0, false}});
        QVERIFY(sql.contains("\"No\" INTEGER PRIMARY KEY,"));
        QVERIFY(sql.contains("\"Adres\" TEXT COLLATE NOCASE\n"));
    }

    void convertingTheJetFileInPlaceKeepsIt()
    {
        TTestHome home;
        const QByteArray jet = Fixture(QStringLiteral("jet4-tables.mdb"));
        WriteFile(home.FilePath(QStringLiteral("fihrist.mdb")), jet);
        const TRun r = Run(Tool(), {QStringLiteral("convert"), QStringLiteral("fihrist.mdb")}, home.Path());
        QVERIFY2(r.Code == 0, qPrintable(r.Err));
        QVERIFY(r.Out.startsWith(QStringLiteral("fihrist.mdb was a Jet file; it is kept as fihrist.mdb.jet\n")));
        QCOMPARE(FileBytes(home.FilePath(QStringLiteral("fihrist.mdb.jet"))), jet);
        QCOMPARE(RunSql(home.FilePath(QStringLiteral("fihrist.mdb")), QStringLiteral("SELECT group_concat(A) FROM Table1")).toString(),
                 QStringLiteral("abcdefg,a"));
        QCOMPARE(QDir(home.Path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("fihrist.mdb"), QStringLiteral("fihrist.mdb.jet")}));
    }

    void failuresChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("jet");
        QTest::addColumn<QByteArray>("target"); // fihrist.mdb before; empty: none
        QTest::addColumn<QByteArray>("kept");   // fihrist.mdb.jet before; empty: none
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<QString>("error");
        const QByteArray jet3 = Fixture(QStringLiteral("jet3-tables.mdb"));
        const QByteArray jet4 = Fixture(QStringLiteral("jet4-tables.mdb"));
        QByteArray crashing = jet3;
        crashing[41975] = 'O'; // a page that makes libmdb itself crash
        QByteArray warning = jet4;
        warning[60375] = 'j'; // a catalog row libmdb warns about and skips
        QTest::newRow("cut inside a page") << jet4.left(50000) << QByteArray() << QByteArray() << "1254"
                                           << "is damaged";
        QTest::newRow("only the first page") << jet3.left(2048) << QByteArray() << QByteArray() << "1254"
                                             << "is damaged";
        QTest::newRow("reader crashes") << crashing << QByteArray() << QByteArray() << "1254"
                                        << "is damaged";
        QTest::newRow("reader warns") << warning << QByteArray() << QByteArray() << "1254"
                                      << "is damaged";
        QTest::newRow("not a Jet file") << QByteArray("Ad;Soyad\n") << QByteArray() << QByteArray() << "1254"
                                        << "is not a Jet database";
        QTest::newRow("unknown code page") << jet3 << QByteArray() << QByteArray() << "9999"
                                           << "code page '9999' is not known";
        QTest::newRow("target is not a Jet file") << jet3 << QByteArray("SQLite format 3") << QByteArray() << "1254"
                                                  << "already exists and is not a Jet database";
        QTest::newRow("kept name taken") << jet3 << jet4 << QByteArray("x") << "1254"
                                         << "fihrist.mdb.jet already exists";
    }
    void failuresChangeNothing()
    {
        QFETCH(QByteArray, jet);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, kept);
        QFETCH(QString, codePage);
        QFETCH(QString, error);
        TTestHome home;
        WriteFile(home.FilePath(QStringLiteral("old.mdb")), jet);
        if (!target.isEmpty())
            WriteFile(home.FilePath(QStringLiteral("fihrist.mdb")), target);
        if (!kept.isEmpty())
            WriteFile(home.FilePath(QStringLiteral("fihrist.mdb.jet")), kept);
        const auto before = Snapshot(home.Path());
        const TRun r =
            Run(Tool(), {QStringLiteral("convert"), QStringLiteral("old.mdb"), QStringLiteral("--codepage"), codePage}, home.Path());
        QCOMPARE(r.Code, 1);
        QVERIFY2(r.Err.startsWith(QStringLiteral("velmora-rehber-db: ")) && r.Err.contains(error), qPrintable(r.Err));
        QVERIFY(r.Out.isEmpty());
        QCOMPARE(Snapshot(home.Path()), before);
    }
};

VELMORA_FIXTURES_MAIN(TestJetConvert)
#include "tst_jet_convert.moc"
