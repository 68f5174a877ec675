// The contacts tool's import and export: vCard and CSV files as phones,
// address books and spreadsheets write them; the round trip; bad input;
// on the file and on the server alike.
#include "support/ContactsDb.h"
#include "support/TestHome.h"
#include "support/TestServer.h"
#include "support/TestTools.h"
#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "store/ADOConnection.h"
#include "store/PgProvider.h"
#include "store/SqliteProvider.h"
#include "contacts/ContactsDatabase.h"
#include "contacts/ContactImport.h"
#include "contacts/DuplicateCheck.h"
#include "tools/ImportText.h"

#include <QProcess>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <sys/stat.h>
#include <thread>

namespace {

QString Tool()
{
    return QString::fromLocal8Bit(qgetenv("VELMORA_TEST_BINARY_DIR")) + QStringLiteral("/tools/velmora-rehber-db");
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct TRun {
    bool Ok = false;
    QString Error;
    QStringList Messages; // as the contacts tool prints them
    TImportCounts Summary;
};

struct TRunOptions : TImportOptions {
    bool DryRun = false;
};

TRun Import(const QString &file, const QString &db, const std::function<void(TRunOptions &)> &adjust = {})
{
    TRunOptions options;
    options.File = file;
    if (adjust)
        adjust(options);
    TRun run;
    TImportReport report;
    run.Error = ErrorOf([&] {
        // By its name in the working folder, as the window names it (and as
        // Veri.ini maps it to a server).
        TADOConnection connection;
        OpenContactsDatabase(connection, QFileInfo(db).fileName());
        try {
            run.Ok = options.DryRun ? CheckImport(connection, options, report) : ImportContacts(connection, options, report);
        } catch (const EContactFileError &e) {
            throw Exception(ContactFileErrorText(e));
        }
    });
    for (const TImportMessage &m : report.Messages)
        run.Messages << ImportMessageLine(m, report.Kind);
    run.Summary = report.Counts;
    return run;
}

// Stops the work at its first progress update.
class TCancelAtOnce final : public TProgressSink {
public:
    void Begin(const QString &, qint64, bool) override {}
    bool Update(qint64, qint64, const QString &) override { return false; }
    void End() override {}
};

QByteArray Utf16Le(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    return bytes;
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void importsFilesAsProgramsWriteThem_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("contacts");
        QTest::addColumn<QString>("message"); // a message that must be among those reported; empty for none

        QTest::newRow("vCard 2.1 from a phone")
            << QByteArray(
                   "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C5=9Eahin;=C3=87a=C4=9Fla;;;\r\n"
                   "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=87a=C4=9Fla =C5=9Eahin\r\n"
                   "TEL;CELL;PREF:+90 532 111 22 33\r\nTEL;HOME:0212 444 55 66\r\nTEL;WORK;VOICE:0312 777 88 99\r\n"
                   "TEL;FAX:0312 777 88 00\r\n"
                   "ADR;HOME;CHARSET=ISO-8859-9;ENCODING=QUOTED-PRINTABLE:;;G=FCl Sk. No: 5=\r\n"
                   "=0AKat 2;Kad=FDk=F6y;=DDstanbul;34710;T=FCrkiye\r\n"
                   "PHOTO;ENCODING=BASE64;JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8U\r\n"
                   "  HRofHh0aHBwgJC4nICIsIxwcKDcpLDAxNDQ0Hyc5PTgyPC4zNDL/2wBDAQkJCQwLDBgN\r\n\r\n"
                   "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN:;Murat;;;\r\nTEL;VOICE:05051234567\r\nEND:VCARD\r\n")
            << QStringList{QStringLiteral("Çağla|Şahin|+90 532 111 22 33|0212 444 55 66|0312 777 88 99||Gül Sk. No: 5\nKat "
                                          "2\nKadıköy\nİstanbul\n34710\nTürkiye"),
                           QStringLiteral("Murat||05051234567||||")}
            << QStringLiteral("card 1: not taken: the fax or pager number \"0312 777 88 00\"");
        QTest::newRow("vCard 3.0 from an address book")
            << QByteArray(
                   "BEGIN:VCARD\nVERSION:3.0\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\nN:Yıldırım;İsmail;Hakkı;;\n"
                   "FN:İsmail Hakkı Yıldırım\nORG:Velmora A.Ş.;\nitem1.TEL;type=pref:0533 222 33 44\n"
                   "item1.X-ABLabel:_$!<Mobile>!$_\nTEL;TYPE=HOME;TYPE=VOICE:0216 123 45 67\n"
                   "TEL;type=WORK;type=VOICE:0216 765 43 21\nTEL;type=OTHER:0216 000 00 00\n"
                   "EMAIL;type=INTERNET;type=HOME:ismail@ornek.com.tr\nEMAIL;type=INTERNET;type=WORK:i.yildirim@velmora.com.tr\n"
                   "item2.ADR;type=HOME:;;Atatürk Cad. No: 12\\, D: 3;Çankaya;Ankara;06420;\nitem2.X-ABADR:tr\n"
                   "NOTE:Uzun bir not\\, iki satır\\nikinci satır ve çok uzun olduğu için katlanmış bir satır\n"
                   "  devam ediyor\nEND:VCARD\n")
            << QStringList{QStringLiteral("İsmail Hakkı|Yıldırım|0533 222 33 44|0216 123 45 67|0216 765 43 21|ismail@ornek.com.tr|"
                                          "Atatürk Cad. No: 12, D: 3\nÇankaya\nAnkara\n06420")}
            << QStringLiteral("card 1: not taken: the e-mail \"i.yildirim@velmora.com.tr\", the number \"0216 000 00 00\", ORG, NOTE");
        QTest::newRow("vCard 4.0 from an address book")
            << QByteArray(
                   "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Doğan Öztürk\r\nN:;;;;\r\n"
                   "TEL;VALUE=uri;TYPE=\"cell,voice\":tel:+90-536-555-12-12\r\nTEL;TYPE=work;VALUE=text:0232 555 12 13\r\n"
                   "EMAIL;TYPE=home:dogan@posta.com\r\nPHOTO:data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAA\r\n"
                   " BCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==\r\n"
                   "ADR;TYPE=work;LABEL=\"İzmir\":;;Kordon Boyu 1;Konak;İzmir;;Türkiye\r\nEND:VCARD\r\n")
            << QStringList{QStringLiteral(
                   "Doğan Öztürk||+90-536-555-12-12||0232 555 12 13|dogan@posta.com|Kordon Boyu 1\nKonak\nİzmir\nTürkiye")}
            << QString();
        QTest::newRow("our columns, Excel's sep=;, Windows-1254")
            << QByteArray(
                   "sep=;\r\nsoyad;AD;ctelefon;Email;ADRES\r\n\xDE"
                   "ahin;\xC7"
                   "a\xF0la;0532 111 22 33;cagla@ornek.com.tr;"
                   "\"Ba\xF0"
                   "dat Cad. \x93"
                   "K\xF6\xFE"
                   "k\x94; No 5\r\nKad\xFDk\xF6y\"\r\n")
            << QStringList{QStringLiteral("Çağla|Şahin|0532 111 22 33|||cagla@ornek.com.tr|Bağdat Cad. “Köşk”; No 5\nKadıköy")}
            << QString();
        QTest::newRow("Google Contacts, ISO-8859-9") << QByteArray(
            "Name,Given Name,Additional Name,Family Name,Birthday,E-mail 1 - Type,E-mail 1 - Value,"
            "Phone 1 - Type,Phone 1 - Value,Phone 2 - Type,Phone 2 - Value,Address 1 - Formatted\r\n"
            "\xDD"
            "pek Ilg\xFDn,\xDD"
            "pek,,Ilg\xFDn,1990-01-01,* Home,ipek@ornek.com.tr ::: ipek@posta.com,"
            "Mobile,0544 333 22 11,Work Fax,0312 999 00 00,\"Gazi Bulvar\xFD 7\nU\xFE"
            "ak\"\r\n") << QStringList{QStringLiteral("İpek|Ilgın|0544 333 22 11|||ipek@ornek.com.tr|Gazi Bulvarı 7\nUşak")}
                                                     << QStringLiteral("columns not read: Birthday (1 lines)");
        QTest::newRow("Outlook, UTF-8 with a byte order mark")
            << QByteArray(
                   "\xEF\xBB\xBF\"First Name\",\"Middle Name\",\"Last Name\",\"Business Phone\",\"Home Phone\",\"Mobile Phone\","
                   "\"E-mail Address\",\"Home Street\",\"Home City\",\"Home Postal Code\"\r\n"
                   "\"Ümit\",\"\",\"Koç\",\"(0212) 555 01 02\",\"\",\"0555 101 20 30\",\"umit@koc.com.tr\",\"Lale Sk. 3, Daire 4\","
                   "\"Beşiktaş\",\"34349\"\r\n")
            << QStringList{QStringLiteral("Ümit|Koç|0555 101 20 30||(0212) 555 01 02|umit@koc.com.tr|Lale Sk. 3, Daire 4\nBeşiktaş\n34349")}
            << QString();
        QTest::newRow("Thunderbird, tab, UTF-16")
            << Utf16Le(QStringLiteral("First Name\tLast Name\tDisplay Name\tPrimary Email\tWork Phone\tHome Phone\tMobile Number\r\n"
                                      "\t\tÇiğdem Gül\tcigdem@eposta.net\t\t0224 222 11 00\t\r\n"))
            << QStringList{QStringLiteral("Çiğdem Gül|||0224 222 11 00||cigdem@eposta.net|")} << QString();

        // A detail that cannot be taken is listed; the card keeps the rest. A
        // tel: URI gives its number, without separators when it would not fit.
        QTest::newRow("a detail that does not fit")
            << QByteArray(
                   "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Kaya;Ali\r\n# a comment\r\nFN\r\nNOTE:C:\\belgeler\\\r\nTEL;CELL:0532 111 22 33\r\n"
                   "ADR;HOME:;;G\xC3\xBCl Sk. 5\\\r\nKat 2;Ankara;;;\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Lisa\r\nTEL;VALUE=uri:tel:+90-(532)-111-22-33;ext=12-34\r\nEMAIL:lisa@ornek."
                   "com\r\nEND:"
                   "VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nEMAIL:yalniz@eposta.net\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nORG:Velmora A.\xC5\x9E.;Muhasebe\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nBDAY:1990-01-01\r\nEND:VCARD\r\n")
            << QStringList{QStringLiteral("Ali|Kaya|0532 111 22 33||||Gül Sk. 5\nKat 2\nAnkara"),
                           QStringLiteral("Lisa||+905321112233,1234|||lisa@ornek.com|"), QStringLiteral("|||||yalniz@eposta.net|"),
                           QStringLiteral("Velmora A.Ş.||||||")}
            << QStringLiteral("card 1: not taken: line 4, which is not a vCard line, line 5, which is not a vCard line, NOTE");
        QTest::newRow("a character split by a fold") << QByteArray(
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:\xC5\x9E"
            "ahin;\xC3\x87"
            "a\xC4\r\n \x9F"
            "la\r\nNOTE:\xFF\xFE bozuk\r\n"
            "TEL:0212 000 11 22\r\nEND:VCARD\r\n") << QStringList{QStringLiteral("Çağla|Şahin|0212 000 11 22||||")}
                                                     << QString();
        QTest::newRow("each value in its declared charset")
            << QByteArray(
                   "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:\x94\x5C\x93\x6F;\x83\x5C\x83\x89\r\n"
                   "ADR;CHARSET=ISO-8859-9:;;\xDE"
                   "ehir Cad.;\xDDzmir\r\nEMAIL;CHARSET=X-HICBIRI:a@b.c\r\nEND:VCARD\r\n")
            << QStringList{QStringLiteral("ソラ|能登|||||Şehir Cad.\nİzmir")}
            << QStringLiteral("card 1: not taken: EMAIL on line 5: the charset \"X-HICBIRI\" is not known");
        QTest::newRow("a card inside a card") << QByteArray(
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Kaya;Ay\xC5\x9F"
            "e\r\nTEL;HOME:0312 111 11 11\r\nAGENT:\r\n"
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Demir;Can\r\nTEL;CELL:0533 222 22 22\r\nEND:VCARD\r\n"
            "EMAIL:ayse@ornek.com\r\nEND:VCARD\r\n")
                                              << QStringList{QStringLiteral("Can|Demir|0533 222 22 22||||"),
                                                             QStringLiteral("Ayşe|Kaya||0312 111 11 11||ayse@ornek.com|")}
                                              << QString();
        QTest::newRow("line breaks in a value") << QByteArray(
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Ak;Ece\r\nLABEL;ENCODING=QUOTED-PRINTABLE:Lale Sk. 3=0D=0AKonak=0D=\r\n=0A=C4=B0zmir\r\n"
            "END:VCARD\r\n") << QStringList{QStringLiteral("Ece|Ak|||||Lale Sk. 3\nKonak\nİzmir")}
                                                << QString();
        QTest::newRow("vCard in UTF-16 without a byte order mark")
            << Utf16Le(QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Gül;Çiğdem\r\nTEL:0224 222 11 00\r\nEND:VCARD\r\n")).mid(2)
            << QStringList{QStringLiteral("Çiğdem|Gül|0224 222 11 00||||")} << QString();
        QTest::newRow("CSV with CR line breaks")
            << QByteArray("Ad,Soyad,CTelefon\rAli,Veli,0532 000 00 01\rCan,Cem,\"0532\r000 00 02\"\r")
            << QStringList{QStringLiteral("Ali|Veli|0532 000 00 01||||"), QStringLiteral("Can|Cem|0532\n000 00 02||||")} << QString();
    }

    void importsFilesAsProgramsWriteThem()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, contacts);
        QFETCH(QString, message);
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(db, {});
        WriteFile(home.FilePath(QStringLiteral("in.dat")), file);
        const TRun run = Import(home.FilePath(QStringLiteral("in.dat")), db);
        QCOMPARE(run.Error, QStringLiteral("<no error>"));
        QVERIFY2(run.Ok, qPrintable(run.Messages.join(u'\n')));
        QCOMPARE(ContactRows(db), contacts);
        QCOMPARE(run.Summary.Added, contacts.size());
        if (!message.isEmpty())
            QVERIFY2(run.Messages.contains(message), qPrintable(run.Messages.join(u'\n')));
    }

    // What the tool exports, it imports back as the same contacts, in every format.
    void exportThenImportGivesTheSameContacts()
    {
        TTestHome home;
        const QString from = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(from, {});
        AddSampleContacts(ServerTests() ? TestServer(ServerDatabaseFor(from)) : from, 400);
        RunSql(from, QStringLiteral("INSERT INTO DBASE (Ad, Soyad, Email, Adres) VALUES (?, ?, ?, ?)"),
               {QStringLiteral("Ali, Veli; \"Can\""), QStringLiteral("Back\\slash"), QStringLiteral("a@b.c"),
                QStringLiteral("satır 1\r\nsatır 2")});
        // Without a name: the card's FN is the e-mail or the number, which comes back as no name.
        RunSql(from, QStringLiteral("INSERT INTO DBASE (Email) VALUES (?)"), {QStringLiteral("yalniz@eposta.net")});
        RunSql(from, QStringLiteral("INSERT INTO DBASE (ITelefon) VALUES (?)"), {QStringLiteral("0312 000 00 00")});
        // A line break inside a value comes back as LF, in every format.
        // Compared as sets: an empty text comes back as NULL, which the server sorts last.
        QStringList expected = ContactRows(from);
        expected.replaceInStrings(QStringLiteral("\r\n"), QStringLiteral("\n"));
        expected.sort();
        const QStringList formats[] = {{"--format", "vcard"},
                                       {"--format", "vcard", "--vcard-version", "4.0"},
                                       {"--format", "csv"},
                                       {"--format", "csv", "--delimiter", ";"}};
        for (const QStringList &format : formats) {
            const QString file = home.FilePath(QStringLiteral("out"));
            const QString into = home.FilePath(QStringLiteral("into.mdb"));
            QFile::remove(into);
            MakeContactsDatabase(into, {});
            QCOMPARE(QProcess::execute(Tool(), QStringList{"export", file, "--from", QFileInfo(from).fileName()} + format), 0);
            QProcess import;
            import.start(Tool(), {"import", file, "--into", QFileInfo(into).fileName(), "--allow-duplicates"});
            QVERIFY(import.waitForFinished(60000));
            QCOMPARE(import.exitCode(), 0);
            QCOMPARE(import.readAllStandardOutput(), QByteArray("read 403, added 403, skipped as duplicate 0, refused 0\n"));
            QVERIFY(!FileBytes(file).contains("\nFN:\r\n"));
            QStringList got = ContactRows(into);
            got.sort();
            QCOMPARE(got, expected);
        }
        // The export is in the program's Turkish order.
        QCOMPARE(QProcess::execute(
                     Tool(), {"export", home.FilePath(QStringLiteral("o.csv")), "--from", QFileInfo(from).fileName(), "--format", "csv"}),
                 0);
        const QList<QByteArray> lines = FileBytes(home.FilePath(QStringLiteral("o.csv"))).split('\n');
        QVERIFY(
            lines.first().startsWith("\xEF\xBB\xBF"
                                     "Ad,Soyad,CTelefon,ETelefon,ITelefon,Email,Adres\r"));
        const auto at = [&](const char *start) {
            return std::find_if(lines.begin(), lines.end(), [&](const QByteArray &l) { return l.startsWith(start); }) - lines.begin();
        };
        const qsizetype cem = at("Cem,"), cag = at("Çağla,"), dog = at("Doğan,");
        QVERIFY(cag > cem && dog > cag && dog < lines.size());
    }

    // The same person: the same name (case and Turkish marks aside) with a
    // shared number or e-mail, or the same record; a shared number alone is not.
    void duplicatesAreSkippedAndListed()
    {
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(
            db, {{"Ahmet", "Kaya", "0532 111 22 33", {}, {}, "Ahmet@Ornek.com.tr", {}}, {"Işık", "Ödemiş", {}, {}, {}, {}, {}}});
        const QString csv = home.FilePath(QStringLiteral("in.csv"));
        WriteFile(csv,
                  "Ad,Soyad,CTelefon,ETelefon,Email\nAHMET,kaya,+90 (532) 111 22 33,,\nAy\xC5\x9F"
                  "e,Kaya,,0532 111 22 33,\n"
                  "ahmet,KAYA,,,ahmet@ornek.COM.tr\n\xC4\xB0\xC5\x9F\xC4\xB1k,\xC3\x96"
                  "demi\xC5\x9F,,,\n"
                  "I\xC5\x9F\xC4\xB1k,\xC3\x96"
                  "demi\xC5\x9F,,,\nCan,Cem,0212 000 00 00,,\n\xC3\x87"
                  "an,Cem,,0090 212 000 00 00,\n");
        TRun run = Import(csv, db);
        QVERIFY(run.Ok);
        QCOMPARE(run.Summary.Duplicates, 4);
        QCOMPARE(ContactRows(db).size(), 2 + 3);
        for (const char *m : {"line 2: skipped as duplicate: the same name and number \"+90 (532) 111 22 33\" as contact No 1",
                              "line 4: skipped as duplicate: the same name and e-mail \"ahmet@ornek.COM.tr\" as contact No 1",
                              "line 6: skipped as duplicate: the same as contact No 2",
                              "line 8: skipped as duplicate: the same name and number \"0090 212 000 00 00\" as line 7"})
            QVERIFY2(run.Messages.contains(QString::fromUtf8(m)), qPrintable(run.Messages.join(u'\n')));
        // The second time adds nothing, the contact without number or e-mail included.
        run = Import(csv, db);
        QCOMPARE(run.Summary.Added, 0);
        QCOMPARE(run.Summary.Duplicates, 7);
        run = Import(csv, db, [](TRunOptions &o) { o.AllowDuplicates = true; });
        QCOMPARE(run.Summary.Added, 7);
        // Numbers are read from the dialling place: without its area code, the same number.
        WriteFile(csv, "Ad,Soyad,CTelefon\nOya,Ok,0212 333 44 55\nOya,Ok,333 44 55\n");
        QCOMPARE(Import(csv, db, [](TRunOptions &o) { o.DryRun = true; }).Summary.Duplicates, 0);
        QCOMPARE(Import(csv, db, [](TRunOptions &o) { o.DryRun = true, o.Place = {"90", "212"}; }).Summary.Duplicates, 1);
    }

    // Among many contacts each repeat is still found, as the first it
    // repeats; names are folded alike whatever blanks or bytes they hold.
    void duplicatesAmongManyContacts()
    {
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(db, {});
        QByteArray csv = "Ad,Soyad,CTelefon,ETelefon,Email\n";
        constexpr int kMany = 20000;
        for (int i = 0; i < kMany; ++i)
            csv += QStringLiteral("Ki\u015Fi%1,Soyad%2,0532 %3,,k%1@ornek.com\n").arg(i).arg(i % 7).arg(i, 7, 10, QChar(u'0')).toUtf8();
        csv += QStringLiteral("  K\u0130\u015E\u01301\u00A0,\u3000SOYAD1 ,+90 532 000 00 01,,\n").toUtf8(); // line 20002
        csv += "Ki\xC5\x9Fi12345,Soyad4,0532 0012345,,k12345@ornek.com\n";                                  // line 20003
        csv += "Ki\xC5\x9Fi777,Soyad0,,,K777@Ornek.com\n";                                                  // line 20004
        const QString file = home.FilePath(QStringLiteral("many.csv"));
        WriteFile(file, csv);
        const TRun run = Import(file, db);
        QVERIFY(run.Ok);
        QCOMPARE(run.Summary.Duplicates, 3);
        QCOMPARE(run.Summary.Added, kMany);
        for (const char *m : {"line 20002: skipped as duplicate: the same name and number \"+90 532 000 00 01\" as line 3",
                              "line 20003: skipped as duplicate: the same as line 12347",
                              "line 20004: skipped as duplicate: the same name and e-mail \"K777@Ornek.com\" as line 779"})
            QVERIFY2(run.Messages.contains(QString::fromUtf8(m)), qPrintable(run.Messages.join(u'\n')));
        // Bytes that are not UTF-8 read as one replacement character each.
        QCOMPARE(TDuplicateCheck::NameKey("Ay\xFF\xC5\x9F"
                                          "e",
                                          "\xC4\xB0NCE"),
                 QByteArray("ay\xEF\xBF\xBD"
                            "se ince"));
    }

    // Each problem is reported where it is, and the database is left as it was.
    void badInputWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("report");        // in a message, or the error
        QTest::addColumn<int>("addedWhenSkipping"); // -1: the whole file is refused

        QTest::newRow("broken quoting") << QByteArray("Ad,Soyad\n\"Ali\"x,Veli\nCan,Cem\n")
                                        << "line 2: the quoting is broken (a quote inside a field, or text after a closing quote)" << 1;
        QTest::newRow("quote never closed") << QByteArray("Ad,Soyad\nCan,Cem\n\"Ali,Veli\nAyşe,Kaya\n")
                                            << "line 3: a quoted field is never closed" << 1;
        QTest::newRow("not UTF-8 after the start") << QByteArray("Ad,Soyad\n") + QByteArray(70000, ' ') + "\nCan,Cem\n\xDE" "ahin,Kaya\n"
                                                   << "line 4 is not readable as UTF-8 (name the file's encoding with --encoding)" << 1;
        QTest::newRow("NUL bytes") << QByteArray("Ad,Soyad\nCan,Cem\nA\0li,Veli\n", 26) << "line 3 holds a NUL byte" << 1;
        QTest::newRow("neither vCard nor CSV") << QByteArray("{\n  \"ad\": \"Ali\",\n  \"soyad\": \"Veli\"\n}\n")
                                               << "not a vCard or CSV file" << -1;
        QTest::newRow("unknown header") << QByteArray("Vorname;Nachname\nAli;Veli\n")
                                        << "the file's first line \"Vorname,Nachname\" names none of the columns" << -1;
        QTest::newRow("binary junk") << QByteArray::fromHex("1f8b0800000000000003ed5d6b73db3812fd2b") + QByteArray(3000, '\x8f') << "not"
                                     << -1;
        QTest::newRow("card cut short by a soft break") << QByteArray(
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Kaya;Ali\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
            "FN;ENCODING=QUOTED-PRINTABLE:Ali=") << "card 2: the file ends before END:VCARD: the card is cut short"
                                                        << 1;
        QTest::newRow("junk after a card") << QByteArray("BEGIN:VCARD\nVERSION:3.0\nFN:Ali\nEND:VCARD\n\x01\x02garbage\n")
                                           << "line 5: text outside a card" << 1;
    }

    void badInputWritesNothing()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, report);
        QFETCH(int, addedWhenSkipping);
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(db, {{"Eski", "Kişi", {}, {}, {}, {}, {}}});
        const QStringList before = ContactRows(db);
        const QString in = home.FilePath(QStringLiteral("in"));
        WriteFile(in, file);
        TRun run = Import(in, db);
        QVERIFY(!run.Ok);
        QVERIFY2(run.Error.contains(report) || run.Messages.join(u'\n').contains(report),
                 qPrintable(run.Error + u'\n' + run.Messages.join(u'\n')));
        QCOMPARE(ContactRows(db), before);
        QCOMPARE(run.Summary.Added, 0);

        run = Import(in, db, [](TRunOptions &o) {
            o.SkipBad = true;
            o.DryRun = true;
        });
        QCOMPARE(ContactRows(db), before);
        run = Import(in, db, [](TRunOptions &o) { o.SkipBad = true; });
        QCOMPARE(run.Ok, addedWhenSkipping >= 0);
        QCOMPARE(ContactRows(db).size(), 1 + std::max(addedWhenSkipping, 0));
    }

    // A file of empty records: the first problems are listed, the rest counted.
    void problemListIsBounded()
    {
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(db, {});
        QByteArray csv = "Ad,Soyad\n";
        for (int i = 0; i < 2000; ++i)
            csv += ",\n";
        WriteFile(home.FilePath(QStringLiteral("in.csv")), csv);
        TImportReport report;
        TADOConnection connection;
        OpenContactsDatabase(connection, QFileInfo(db).fileName());
        TImportOptions options;
        options.File = home.FilePath(QStringLiteral("in.csv"));
        QVERIFY(CheckImport(connection, options, report));
        QCOMPARE(report.Counts.Refused, 2000);
        QCOMPARE(report.Messages.size(), TImportReport::MostMessages);
        QCOMPARE(report.MessagesLeftOut, 2000 - qint64(TImportReport::MostMessages));
        QCOMPARE(MessagesLeftOutLine(report), QStringLiteral("... and 1500 more not listed"));
    }

    // Another desktop importing the same people meanwhile on the server:
    // the import waits for it, then finds them as duplicates.
    void concurrentImportsAddEachPersonOnce()
    {
        if (!ServerTests())
            QSKIP("on the file, the write lock is one lock for every program");
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(db, {});
        WriteFile(home.FilePath(QStringLiteral("in.csv")), "Ad,Soyad,CTelefon\nAli,Veli,0532 000 00 01\nCan,Cem,0532 000 00 02\n");
        TPgProvider other(TestServer(ServerDatabaseFor(db)));
        other.BeginWrite();
        other.Execute(
            "INSERT INTO public.dbase (ad, soyad, ctelefon) VALUES ('Ali', 'Veli', '0532 000 00 01'),"
            " ('Can', 'Cem', '0532 000 00 02')");
        TRun run;
        std::atomic<bool> done = false;
        std::thread import([&] {
            run = Import(home.FilePath(QStringLiteral("in.csv")), db);
            done = true;
        });
        // The other import ends once this one waits for it (or has gone
        // ahead without waiting).
        while (!done
               && RunSql(db, QStringLiteral("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND NOT granted")).toInt() == 0)
            QThread::msleep(5);
        other.CommitWrite();
        import.join();
        QCOMPARE(run.Error, QStringLiteral("<no error>"));
        QCOMPARE(run.Summary.Duplicates, 2);
        QCOMPARE(ContactRows(db).size(), 2);
    }

    // A line longer than any contact's: refused, read in bounded pieces.
    void endlessLineIsRefused()
    {
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(db, {});
        const QString file = home.FilePath(QStringLiteral("uzun.csv"));
        WriteFile(file, QByteArray("Ad,Soyad\nAli,") + QByteArray(3 << 20, 'x'));
        const TRun run = Import(file, db);
        QVERIFY2(run.Error.contains(QStringLiteral("line 2 is longer than 1048576 bytes")), qPrintable(run.Error));
        QCOMPARE(ContactRows(db).size(), 0);
    }

    // A named pipe is refused unopened: an open for reading would wait for
    // a writer for ever.
    void aPipeIsRefusedUnopened()
    {
        TTestHome home;
        MakeContactsDatabase(home.FilePath(QStringLiteral("fihrist.mdb")), {});
        const QString fifo = home.FilePath(QStringLiteral("kisiler.vcf"));
        TFifoWatch pipe(fifo);
        QProcess tool;
        tool.start(Tool(), {"import", fifo, "--into", "fihrist.mdb"});
        QVERIFY(tool.waitForFinished(-1));
        QVERIFY(!pipe.OpenedByOthers());
        QCOMPARE(tool.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(tool.readAllStandardError());
        QVERIFY2(said.contains(fifo + QStringLiteral(" is not a regular file")), qPrintable(said));
        QCOMPARE(ContactRows(home.FilePath(QStringLiteral("fihrist.mdb"))).size(), 0);
    }

    // Another desktop writing holds the import back for as long as any
    // write waits; then it fails plainly, having written nothing.
    void lockedDatabaseFailsClearly()
    {
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(db, {});
        WriteFile(home.FilePath(QStringLiteral("in.csv")), "Ad\nAli\n");
        std::unique_ptr<TProvider> other;
        if (ServerTests()) {
            auto pg = std::make_unique<TPgProvider>(TestServer(ServerDatabaseFor(db)));
            pg->BeginWrite();
            pg->Execute("LOCK TABLE public.dbase IN EXCLUSIVE MODE");
            other = std::move(pg);
        } else {
            other = std::make_unique<TSqliteProvider>(db);
            other->BeginWrite();
        }
        const TRun run = Import(home.FilePath(QStringLiteral("in.csv")), db);
        other->RollbackWrite();
        QVERIFY2(run.Error.contains(QStringLiteral("in use by another program")), qPrintable(run.Error));
        QCOMPARE(ContactRows(db).size(), 0);
    }

    // A row the database refuses, well into a large file, fails the import
    // as a whole: nothing is written.
    void refusedRowWritesNothing()
    {
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(db, {});
        QByteArray csv = "Ad,CTelefon\n";
        for (int i = 0; i < 5000; ++i)
            csv += (i == 3000 ? QByteArray("Bozuk") : "Ki\xC5\x9Fi" + QByteArray::number(i)) + ",0532 " + QByteArray::number(i) + "\n";
        WriteFile(home.FilePath(QStringLiteral("in.csv")), csv);
        std::unique_ptr<TProvider> engine;
        if (ServerTests()) {
            engine = std::make_unique<TPgProvider>(TestServer(ServerDatabaseFor(db)));
            engine->RunStatement(
                "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF NEW.ad = 'Bozuk' THEN "
                "RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$",
                {}, nullptr);
            engine->RunStatement("CREATE TRIGGER refuse BEFORE INSERT ON public.dbase FOR EACH ROW EXECUTE FUNCTION refuse()", {}, nullptr);
        } else {
            engine = std::make_unique<TSqliteProvider>(db);
            engine->RunStatement(
                "CREATE TRIGGER refuse BEFORE INSERT ON DBASE WHEN NEW.Ad = 'Bozuk' BEGIN SELECT RAISE(ABORT, 'refused'); END", {},
                nullptr);
        }
        engine.reset();
        for (const bool allow : {false, true}) {
            const TRun run = Import(home.FilePath(QStringLiteral("in.csv")), db, [&](TRunOptions &o) { o.AllowDuplicates = allow; });
            QVERIFY(!run.Ok);
            QVERIFY2(run.Error.contains(QStringLiteral("refused")), qPrintable(run.Error));
            QCOMPARE(ContactRows(db).size(), 0);
        }
    }

    // Stopped by the user, the import takes back what it wrote and says so;
    // a check reads the file through and writes nothing.
    void cancelAndCheckWriteNothing()
    {
        TTestHome home;
        const QString db = home.FilePath(QStringLiteral("fihrist.mdb"));
        MakeContactsDatabase(db, {{"Ahmet", {}, "0532 111 22 33"}});
        QByteArray csv = "Ad,CTelefon\n";
        for (int i = 0; i < 500; ++i)
            csv += "Kişi " + QByteArray::number(i) + ",0212 000 " + QByteArray::number(1000 + i) + '\n';
        csv += "Ahmet,0532 111 22 33\nBozuk,\"0532 111\n";
        WriteFile(home.FilePath(QStringLiteral("in.csv")), csv);

        TCancelAtOnce cancel;
        SetProgressSink(&cancel);
        const TRun stopped = Import(home.FilePath(QStringLiteral("in.csv")), db, [](TRunOptions &o) { o.SkipBad = true; });
        SetProgressSink(nullptr);
        QCOMPARE(stopped.Error, EAbort().Message());
        QCOMPARE(ContactRows(db).size(), 1);

        TImportReport report;
        TADOConnection connection;
        OpenContactsDatabase(connection, QFileInfo(db).fileName());
        TImportOptions options;
        options.File = home.FilePath(QStringLiteral("in.csv"));
        QVERIFY(!CheckImport(connection, options, report, 3));
        QCOMPARE(report.Kind, TContactFileKind::Csv);
        QCOMPARE(report.Encoding, QStringLiteral("UTF-8"));
        QCOMPARE(report.Counts.Added, 0); // a refused record: nothing would be written
        QCOMPARE(report.Counts.Duplicates, 1);
        QCOMPARE(report.Counts.Refused, 1);
        QCOMPARE(report.Preview.size(), 3u);
        QCOMPARE(report.Preview[1][0], QStringLiteral("Kişi 1"));
        QCOMPARE(report.Preview[1][2], QStringLiteral("0212 000 1001"));
        QCOMPARE(report.Messages.back().Position, 503);
        options.SkipBad = true;
        report = TImportReport();
        QVERIFY(CheckImport(connection, options, report));
        QCOMPARE(report.Counts.Added, 500);
        QCOMPARE(ContactRows(db).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
