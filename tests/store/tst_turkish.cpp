// Turkish text on the program's connection: LIKE and the sort by first name.
#include "StoreTestSupport.h"
#include "support/TestHome.h"
#include "store/TurkishText.h"
#include "contacts/ContactsDatabase.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {
QString Path(const TTestHome &home)
{
    return home.FilePath(QStringLiteral("fihrist.mdb"));
}
}

class TestTurkish : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void likeIgnoresCaseAndTurkishMarks_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");
        QTest::newRow("marks and case") << "Şahin"
                                        << "sahin%" << true;
        QTest::newRow("whole value") << "Şahin"
                                     << "sahin" << true;
        QTest::newRow("whole value only") << "Şahinler"
                                          << "sahin" << false;
        QTest::newRow("dotless capital") << "Işık"
                                         << "ış%" << true;
        QTest::newRow("ascii capitals") << "ISIK"
                                        << "ış%" << true;
        QTest::newRow("dotted capital") << "İsmail"
                                        << "is%" << true;
        QTest::newRow("upper pattern") << "çağla"
                                       << "ÇAĞLA" << true;
        QTest::newRow("ö ü") << "Ömer Ünlü"
                             << "omer unlu" << true;
        QTest::newRow("percent in middle") << "Gökhan Öztürk"
                                           << "g%TÜRK" << true;
        QTest::newRow("percent both ends") << "Zeynep"
                                           << "%YN%" << true;
        QTest::newRow("percent alone empty") << ""
                                             << "%" << true;
        QTest::newRow("empty pattern") << "a"
                                       << "" << false;
        QTest::newRow("underscore is one letter") << "Ağa"
                                                  << "A_a" << true;
        QTest::newRow("underscore not two") << "Ağğa"
                                            << "A_a" << false;
        QTest::newRow("underscore not none") << "Aa"
                                             << "A_a" << false;
        QTest::newRow("backtracking") << "abcabcabd"
                                      << "%abd" << true;
        QTest::newRow("backtracking fails") << "abcabcab"
                                            << "%ab_d%" << false;
        QTest::newRow("other letters") << "straße"
                                       << "STRASSE" << false;
        QTest::newRow("quote in pattern") << "O'Neil"
                                          << "o'n%" << true;
        QTest::newRow("sql text in pattern") << "x"
                                             << "' OR '1'='1" << false;
    }
    void likeIgnoresCaseAndTurkishMarks()
    {
        QFETCH(QString, value);
        QFETCH(QString, pattern);
        QFETCH(bool, matches);
        TTestHome home;
        MakeContacts(Path(home), {});
        TStoreSession s(QStringLiteral("SELECT :v LIKE :p AS M, :v LIKE :p ESCAPE '!' AS E"));
        s.Query.Parameters.SetValue(0, value);
        s.Query.Parameters.SetValue(1, pattern);
        s.Query.Parameters.SetValue(2, value);
        s.Query.Parameters.SetValue(3, pattern);
        s.Query.Open();
        QCOMPARE(s.Query.FieldByName(QStringLiteral("M"))->AsString(), matches ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(s.Query.FieldByName(QStringLiteral("E"))->AsString(), matches ? QStringLiteral("1") : QStringLiteral("0"));
    }

    void escapeMakesWildcardsLiteral()
    {
        const QByteArray pattern = QByteArrayLiteral("100!%");
        TTurkishPattern p(pattern.constData(), std::size_t(pattern.size()), '!');
        QVERIFY(p.Matches("100%", 4));
        QVERIFY(!p.Matches("1000", 4));
        const QByteArray under = QByteArrayLiteral("a!_b%");
        TTurkishPattern q(under.constData(), std::size_t(under.size()), '!');
        QVERIFY(q.Matches("a_bc", 4));
        QVERIFY(!q.Matches("axbc", 4));
        const QByteArray dangling = QByteArrayLiteral("ab!");
        TTurkishPattern r(dangling.constData(), std::size_t(dangling.size()), '!');
        QVERIFY(!r.Matches("ab", 2));
        QVERIFY(!r.Matches("ab!", 3));
    }

    void searchesNeverMatchNullAndMatchEmptyWithPercent()
    {
        TTestHome home;
        MakeContacts(Path(home), {QStringLiteral("Şahin"), QStringLiteral("Sahin"), QStringLiteral("Şahinler"), QStringLiteral("")});
        OtherProgramExec(Path(home), QStringLiteral("INSERT INTO DBASE (Soyad) VALUES ('boş ad')"));
        TStoreSession s(QStringLiteral("SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD"));
        s.Query.Parameters.SetValue(0, QStringLiteral("%"));
        s.Query.Open();
        QCOMPARE(s.Query.RecordCount(), 4);
        s.Query.Close();
        s.Query.Parameters.SetValue(0, QStringLiteral("ŞAHİN"));
        s.Query.Open();
        QCOMPARE(ColumnValues(s.Query, QStringLiteral("Ad")), (QStringList{"Sahin", "Şahin"}));
        // ESCAPE in the statement, and null never matching.
        TStoreSession x(
            QStringLiteral("SELECT '100%' LIKE '100!%' ESCAPE '!' AS A, '1000' LIKE '100!%' ESCAPE '!' AS B,"
                           " 'a_b' LIKE 'A!_%' ESCAPE '!' AS C, NULL LIKE '%' AS N, 'x' LIKE NULL AS P"));
        x.Query.Open();
        QCOMPARE(x.Query.FieldByName(QStringLiteral("A"))->AsString(), QStringLiteral("1"));
        QCOMPARE(x.Query.FieldByName(QStringLiteral("B"))->AsString(), QStringLiteral("0"));
        QCOMPARE(x.Query.FieldByName(QStringLiteral("C"))->AsString(), QStringLiteral("1"));
        QVERIFY(x.Query.FieldByName(QStringLiteral("N"))->IsNull());
        QVERIFY(x.Query.FieldByName(QStringLiteral("P"))->IsNull());
        // A bad escape is the engine's error.
        TStoreSession e(QStringLiteral("SELECT * FROM DBASE WHERE AD LIKE 'a' ESCAPE 'ab'"));
        QCOMPARE(ErrorOf([&] { e.Query.Open(); }), QStringLiteral("ESCAPE expression must be a single character"));
    }

    void firstNamesSortInTurkishAlphabeticalOrder()
    {
        const QStringList sorted = {"ahmet", "Ayşe",  "Bora",   "Cem",    "cengiz",  "Çağla",   "çiğdem", "Deniz", "Ege",
                                    "Gül",   "Güler", "Ğ",      "Hakan",  "ılgaz",   "Işık",    "İpek",   "irem",  "Jale",
                                    "Kemal", "Oya",   "Ömer",   "Pınar",  "Quentin", "Rıza",    "Sinan",  "Şule",  "Tarık",
                                    "Umut",  "Ümit",  "Volkan", "Walter", "Xavier",  "Yasemin", "Zafer"};
        QStringList shuffled = sorted;
        std::reverse(shuffled.begin(), shuffled.end());
        std::swap(shuffled[3], shuffled[17]);
        TTestHome home;
        MakeContacts(Path(home), shuffled);
        TStoreSession s;
        s.Query.Open();
        QVERIFY(s.Connection.TurkishNoCase());
        QCOMPARE(ColumnValues(s.Query, QStringLiteral("Ad")), sorted);
    }

    void orderIsTotalAndCaseDecidesTies()
    {
        const auto cmp = [](const char *a, const char *b) { return TurkishCompare(a, std::strlen(a), b, std::strlen(b)); };
        QVERIFY(cmp("Ahmet", "ahmet") < 0);
        QVERIFY(cmp("ahmet", "Ahmet") > 0);
        QCOMPARE(cmp("Çağla", "Çağla"), 0);
        QVERIFY(cmp("Cem", "Çağla") < 0);
        QVERIFY(cmp("Çağla", "Deniz") < 0);
        QVERIFY(cmp("ILIK", "ılık") < 0 && cmp("ılık", "ilik") < 0 && cmp("ılık", "İlik") < 0);
        QVERIFY(cmp("ılgaz", "Işık") < 0);
        QVERIFY(cmp("Kazım", "Kâzım") < 0 && cmp("Kâzım", "Kazma") < 0);
        QVERIFY(cmp("", "a") < 0);
        QVERIFY(cmp("a", "a ") < 0);
        // Invalid UTF-8 still orders deterministically.
        QVERIFY(cmp("a\xff", "a\xfe") > 0);
    }

    void theStockShellStillReadsAndSortsTheFile()
    {
        const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
        if (shell.isEmpty())
            QSKIP("the sqlite3 shell is not installed");
        TTestHome home;
        MakeContacts(Path(home), {QStringLiteral("Deniz"), QStringLiteral("cem"), QStringLiteral("Bora")});
        {
            TStoreSession s;
            s.Query.Open();
            s.Query.Append();
            s.Query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Ali"));
            s.Query.Post();
        }
        QProcess p;
        p.start(shell, {Path(home), QStringLiteral("SELECT Ad FROM DBASE ORDER BY AD; PRAGMA integrity_check;")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("Ali\nBora\ncem\nDeniz\nok\n"));
    }
};

QTEST_GUILESS_MAIN(TestTurkish)
#include "tst_turkish.moc"
