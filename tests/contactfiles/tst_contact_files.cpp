// Contact files that other projects' test suites hold (phones, mail
// programs, address books, CardDAV servers), read where they are: every
// one of them imported and exported again, and for some, the contacts
// those projects' own tests find in them.
#include "support/ContactsDb.h"
#include "support/Fixtures.h"
#include "support/TestHome.h"
#include "support/TestTools.h"
#include "contacts/ContactExport.h"
#include "contacts/ContactImport.h"
#include "contacts/ContactsDatabase.h"
#include "tools/ImportText.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/ContactsTable.h"

#include <QRegularExpression>

namespace {

struct TRun {
    bool Ok = false;
    QString Error;
    QStringList Messages; // as the contacts tool prints them
    TImportCounts Summary;
};

TRun Import(const QString &file, const QString &db, bool dryRun, bool allowDuplicates = false)
{
    TImportOptions options;
    options.File = file;
    options.AllowDuplicates = allowDuplicates;
    TRun run;
    TImportReport report;
    run.Error = ErrorOf([&] {
        TADOConnection connection;
        OpenContactsDatabase(connection, db);
        run.Ok = dryRun ? CheckImport(connection, options, report) : ImportContacts(connection, options, report);
    });
    for (const TImportMessage &m : report.Messages)
        run.Messages << ImportMessageLine(m, report.Kind);
    run.Summary = report.Counts;
    return run;
}

// The files, as the folder's SOURCES.md names them, one a line.
QStringList ContactFiles()
{
    QStringList files;
    static const QRegularExpression line(QStringLiteral("^- ([A-Za-z0-9_.-]+/[^:]+): "), QRegularExpression::MultilineOption);
    const QString sources = QString::fromUtf8(FileBytes(FixturesDir() + QStringLiteral("/SOURCES.md")));
    for (auto it = line.globalMatch(sources); it.hasNext();)
        files << it.next().captured(1);
    return files;
}

const QString kEveryColumn = QStringLiteral("Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres");

} // namespace

class TestContactFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replay_data()
    {
        QTest::addColumn<QString>("file");
        const QStringList files = ContactFiles();
        QVERIFY(files.size() > 200);
        for (const QString &f : files)
            QTest::newRow(qPrintable(f)) << f;
    }

    // No crash; the dry run says what the import does; a refused import
    // writes nothing; what was imported is exported and read back the same.
    void replay()
    {
        QFETCH(QString, file);
        const QString path = FixturesDir() + u'/' + file;
        QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        CreateContactsDatabase(db);
        const QByteArray before = FileBytes(db);

        const TRun dry = Import(path, db, true);
        QCOMPARE(FileBytes(db), before);
        const TRun real = Import(path, db, false);
        QCOMPARE(dry.Ok, real.Ok);
        QCOMPARE(dry.Error, real.Error);
        QCOMPARE(dry.Messages, real.Messages);
        QCOMPARE(dry.Summary.Read, real.Summary.Read);
        QCOMPARE(dry.Summary.Added, real.Summary.Added);
        QCOMPARE(dry.Summary.Duplicates, real.Summary.Duplicates);
        QCOMPARE(dry.Summary.Refused, real.Summary.Refused);
        const QStringList imported = ContactRows(db, kEveryColumn);
        QCOMPARE(imported.size(), real.Ok ? real.Summary.Added : 0);
        if (!real.Ok)
            QCOMPARE(FileBytes(db), before);
        if (imported.isEmpty())
            return;

        const struct {
            TExportOptions::TFormat Format;
            bool Version4;
        } formats[] = {{TExportOptions::VCard, false}, {TExportOptions::VCard, true}, {TExportOptions::Csv, false}};
        for (const auto &format : formats) {
            TExportOptions out;
            out.File = home.FilePath(QStringLiteral("export"));
            out.Format = format.Format;
            out.VCardVersion4 = format.Version4;
            QCOMPARE(ErrorOf([&] {
                         TADOConnection connection;
                         OpenContactsDatabase(connection, db);
                         TADOQuery contacts;
                         contacts.SetConnection(&connection);
                         contacts.SQL.Add(QString::fromLatin1(AllRecordsStatement));
                         contacts.Open();
                         ExportContacts(contacts, out);
                     }),
                     QStringLiteral("<no error>"));
            const QString back = home.FilePath(QStringLiteral("back.mdb"));
            QFile::remove(back);
            CreateContactsDatabase(back);
            const TRun again = Import(out.File, back, false, true);
            QVERIFY2(again.Ok, qPrintable(again.Error + u'\n' + again.Messages.join(u'\n')));
            QCOMPARE(ContactRows(back, kEveryColumn), imported);
        }
    }

    // The contacts the other projects' own tests find in a file: name,
    // numbers and e-mail, column by column.
    void contactsOtherProjectsFind_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<QStringList>>("contacts"); // Ad, Soyad, CTelefon, ETelefon, ITelefon, Email

        QTest::newRow("Thunderbird, vCard") << QStringLiteral("thunderbird/basic_vcard_addressbook.vcf")
                                            << QList<QStringList>{{"John", "Doe", "", "", "", "john.doe@genericemail.invalid"},
                                                                  {"Jane", "Doe", "", "", "", "jane.doe@genericemail.invalid"}};
        QTest::newRow("Thunderbird, vCard with CR LF") << QStringLiteral("thunderbird/dos_vcard_addressbook.vcf")
                                                       << QList<QStringList>{{"Name", "Surname", "", "", "", "example@gmail.com"}};
        QTest::newRow("Thunderbird, CSV with semicolons")
            << QStringLiteral("thunderbird/csv_semicolon.csv")
            << QList<QStringList>{{"John", "Doe", "", "", "", "john@doe.invalid"}, {"Jane", "Doe", "", "", "", "jane@doe.invalid"}};
        QTest::newRow("Thunderbird, UTF-16 CSV") << QStringLiteral("thunderbird/utf16_addressbook.csv")
                                                 << QList<QStringList>{{"John", "Doe", "", "", "", "johndoe@host.invalid"}};
        QTest::newRow("Thunderbird, Shift_JIS CSV") << QStringLiteral("thunderbird/shiftjis_addressbook.csv")
                                                    << QList<QStringList>{{"権兵衛", "名無し", "", "", "", "名無しの権兵衛@host.invalid"}};
        QTest::newRow("Thunderbird, quoted CSV")
            << QStringLiteral("thunderbird/quote.csv") << QList<QStringList>{{"Acer America", "", "", "", "(800) 000-0000", ""}};
        QTest::newRow("Android, Shift_JIS cards") << QStringLiteral("aosp-vcard/v21_multiple_entry.vcf")
                                                  << QList<QStringList>{{"", "安藤ロイド3", "9", "10", "11", ""},
                                                                        {"", "安藤ロイド4", "13", "15", "16", ""},
                                                                        {"", "安藤ロイド5", "17", "18", "19", ""}};
        QTest::newRow("Android, nested cards") << QStringLiteral("aosp-vcard/v21_nest.vcf")
                                               << QList<QStringList>{{"", "nest1", "", "", "", ""},
                                                                     {"", "nest2", "", "", "", ""},
                                                                     {"", "parent", "1", "", "", ""}};
        QTest::newRow("vCard 4.0, a tel: URI with an extension")
            << QStringLiteral("node-vcf/quoted-list.vcf") << QList<QStringList>{{"", "", "", "+1-555-555-5555,5555", "", ""}};
        QTest::newRow("iPhone") << QStringLiteral("ez-vcard/John_Doe_IPHONE.vcf")
                                << QList<QStringList>{
                                       {"John Richter James", "Doe", "905-555-1234", "905-666-1234", "905-777-1234", "john.doe@ibm.com"}};
    }

    void contactsOtherProjectsFind()
    {
        QFETCH(QString, file);
        QFETCH(QList<QStringList>, contacts);
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        CreateContactsDatabase(db);
        const TRun run = Import(FixturesDir() + u'/' + file, db, false);
        QVERIFY2(run.Ok, qPrintable(run.Error + u'\n' + run.Messages.join(u'\n')));
        const QStringList rows = ContactRows(db);
        QCOMPARE(rows.size(), contacts.size());
        static const char *const columns[] = {"Ad", "Soyad", "CTelefon", "ETelefon", "ITelefon", "Email"};
        for (qsizetype r = 0; r < rows.size(); ++r) {
            const QStringList got = rows[r].split(u'|');
            for (int c = 0; c < 6; ++c)
                QVERIFY2(got[c] == contacts[r][c],
                         qPrintable(QStringLiteral("contact %1, %2: \"%3\", expected \"%4\"")
                                        .arg(r + 1)
                                        .arg(QLatin1String(columns[c]), got[c], contacts[r][c])));
        }
    }
};

VELMORA_FIXTURES_MAIN(TestContactFiles)
#include "tst_contact_files.moc"
