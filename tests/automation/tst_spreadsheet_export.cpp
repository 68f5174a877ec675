// GridToSpreadsheet against a real record set over an SQLite file and a
// real LibreOffice, started headless on a profile of the test's own. The
// workbooks are read back through UNO.
#include "CalcTestOffice.h"
#include "support/ContactsDb.h"

#include "export/SpreadsheetExport.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "platform/widgets/Application.h"
#include "platform/core/GridColumns.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/DataSource.h"
#include "store/Field.h"
#include "support/TestHome.h"
#include "contacts/ContactsDatabase.h"

#include <QFileInfo>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>

using TSheet = css::uno::Reference<css::sheet::XSpreadsheet>;
using TRow = std::vector<std::optional<QString>>;

namespace {

const QString kMessage = QStringLiteral("\"C:\" anadizinine Excell Formatında Kayıt Tamamlandı");
// What the window does when the export is complete.
void ShowMessage()
{
    Application->ShowMessage(kMessage);
}
const QString kAll = QStringLiteral("SELECT * FROM DBASE ORDER BY AD");

// The window's grid as the export sees it: its data source and columns.
class TTestGrid : public TGridColumns {
public:
    TDataSource *Source = nullptr;
    std::vector<std::pair<QString, int>> Columns{{QStringLiteral("Ad"), 115},       {QStringLiteral("Soyad"), 125},
                                                 {QStringLiteral("Ctelefon"), 100}, {QStringLiteral("ETelefon"), 100},
                                                 {QStringLiteral("ITelefon"), 100}, {QStringLiteral("Email"), 150},
                                                 {QStringLiteral("Adres"), 500}};
    TDataSource *DataSource() const override { return Source; }
    int ColumnCount() const override { return int(Columns.size()); }
    QString ColumnFieldName(int i) const override { return Columns[size_t(i)].first; }
    int ColumnWidth(int i) const override { return Columns[size_t(i)].second; }
};

// Contacts in name order, with Turkish letters, numbers that must stay
// text, empty and missing values and a two-line address.
const std::vector<TRow> &Contacts()
{
    static const std::vector<TRow> rows{
        {u"Ahmet"_qs, u"Yılmaz"_qs, u"0532 123 45 67"_qs, u"00123"_qs, std::nullopt, u"ahmet@ornek.com.tr"_qs, u"Kadıköy\nİstanbul"_qs},
        {u"Ayşe"_qs, u"Öztürk"_qs, u"05321234567"_qs, u""_qs, u"0212 555 00 00"_qs, std::nullopt, u"Çankaya, Ankara"_qs},
        {u"Çiğdem"_qs, u"Güneş"_qs, u"+90 532 000 00 00"_qs, u"1e5"_qs, u"=1+1"_qs, u"cigdem@ornek.com.tr"_qs, u"Şişli"_qs},
        {u"Mehmet"_qs, u"Şahin"_qs, u"0"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {u"Zeynep"_qs, u"İnce"_qs, u"0544 987 65 43"_qs, u"0216 444 44 44"_qs, u"0312 333 33 33"_qs, u"zeynep@ornek.com.tr"_qs,
         u"Bornova, İzmir"_qs},
    };
    return rows;
}

void CreateDatabase(const QString &path, const std::vector<TRow> &rows)
{
    std::vector<TContactRow> contacts;
    for (const TRow &row : rows) {
        TContactRow contact;
        for (const std::optional<QString> &value : row)
            contact.push_back(value ? QVariant(*value) : QVariant());
        contacts.push_back(contact);
    }
    MakeContactsDatabase(path, contacts);
}

} // namespace

class TestSpreadsheetExport : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestHome> FHome;
    std::unique_ptr<TCalcTestOffice> FOffice;
    std::unique_ptr<TApplication> FApp;
    std::unique_ptr<TADOConnection> FConnection;
    std::unique_ptr<TADOQuery> FQuery;
    std::unique_ptr<TDataSource> FSource;
    TTestGrid FGrid;
    QStringList FMessages;
    std::function<void()> FOnMessage;

    void Open(const QString &sql, const QString &parameter = QString())
    {
        FQuery->SQL.Clear();
        FQuery->SQL.Add(sql);
        if (FQuery->Parameters.Count() > 0)
            FQuery->Parameters.SetValue(0, parameter);
        FQuery->Open();
    }

    // Runs the export; returns the one document it made (or none).
    TCalcTestOffice::TDocument Export()
    {
        const auto before = FOffice->Documents();
        GridToSpreadsheet(&FGrid, QStringLiteral("C:\\VelmoraTelReh.xls"), ShowMessage);
        const auto added = TCalcTestOffice::Added(before, FOffice->Documents());
        return added.size() == 1 ? added.front() : TCalcTestOffice::TDocument();
    }

    // The sheet holds the titles and exactly these rows.
    static void CompareSheet(const TSheet &sheet, const std::vector<TRow> &rows)
    {
        const QStringList titles{u"Ad"_qs, u"Soyad"_qs, u"CTelefon"_qs, u"ETelefon"_qs, u"ITelefon"_qs, u"Email"_qs, u"Adres"_qs};
        for (int c = 0; c < 7; ++c)
            QCOMPARE(TCalcTestOffice::Text(sheet, c, 0), titles[c]);
        for (size_t r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < 7; ++c) {
                const QString expected = rows[r][size_t(c)].value_or(QString());
                QCOMPARE(TCalcTestOffice::Text(sheet, c, int(r) + 1), expected);
                if (!expected.isEmpty())
                    QVERIFY(TCalcTestOffice::IsText(sheet, c, int(r) + 1));
            }
        }
        for (int c = 0; c < 8; ++c)
            QVERIFY(TCalcTestOffice::IsEmpty(sheet, c, int(rows.size()) + 1));
        QVERIFY(TCalcTestOffice::IsEmpty(sheet, 7, 0));
    }

private Q_SLOTS:
    void initTestCase()
    {
        FHome = std::make_unique<TTestHome>();
        FOffice = std::make_unique<TCalcTestOffice>(FHome->Path());
        FApp = std::make_unique<TApplication>(QStringLiteral("velmora-rehber"));
        FApp->SetMessageBoxHandler([this](const TMessageBoxRequest &r) {
            // An information box with the title as caption.
            FMessages << (r.Kind == TMessageKind::Information && r.Caption == FApp->Title() ? r.Text : u"(wrong box)"_qs);
            if (FOnMessage)
                FOnMessage();
            return IDOK;
        });
        CreateDatabase(FHome->FilePath(QStringLiteral("fihrist.mdb")), Contacts());
    }

    void init()
    {
        FMessages.clear();
        FOnMessage = nullptr;
        FConnection = std::make_unique<TADOConnection>();
        FConnection->SetConnectionString(TADOConnection::ComposeConnectionString(TADOConnection::DefaultConnectionKeys()));
        FQuery = std::make_unique<TADOQuery>();
        FQuery->SetConnection(FConnection.get());
        FSource = std::make_unique<TDataSource>();
        FSource->SetDataSet(FQuery.get());
        FGrid.Source = FSource.get();
        FConnection->Open();
        Open(kAll);
    }

    void cleanup()
    {
        FQuery->Close();
        FSource.reset();
        FQuery.reset();
        FConnection.reset();
    }

    void cleanupTestCase()
    {
        FOffice.reset(); // ends the test's LibreOffice, and only it
        FApp.reset();
        FHome.reset();
    }

    void copiesTitlesWidthsAndEveryRecord()
    {
        FQuery->SetRecNo(3);
        FGrid.Columns[0].second = 230; // widened by the user
        const QString saved = FHome->FilePath(QStringLiteral("VelmoraTelReh.xls"));
        // When the message shows, the copy is saved and every value is in
        // the sheet; the controls come back only after it.
        const auto before = FOffice->Documents();
        bool savedBeforeMessage = false;
        QString lastRowAtMessage;
        FOnMessage = [&] {
            savedBeforeMessage = QFileInfo::exists(saved) && FQuery->ControlsDisabled();
            const auto added = TCalcTestOffice::Added(before, FOffice->Documents());
            if (added.size() == 1)
                lastRowAtMessage = TCalcTestOffice::Text(TCalcTestOffice::FirstSheet(added.front()), 6, int(Contacts().size()));
        };

        const auto doc = Export();
        FGrid.Columns[0].second = 115;
        QVERIFY(doc.is());
        QCOMPARE(FMessages, QStringList{kMessage});
        QVERIFY(savedBeforeMessage);
        QCOMPARE(lastRowAtMessage, *Contacts().back()[6]);
        QCOMPARE(FQuery->RecNo(), 3);
        QVERIFY(!FQuery->ControlsDisabled());

        const TSheet sheet = TCalcTestOffice::FirstSheet(doc);
        CompareSheet(sheet, Contacts());
        // Widths: pixels x 0.11 characters, one character 1.962 mm.
        const int pixels[] = {230, 125, 100, 100, 100, 150, 500};
        for (int c = 0; c < 7; ++c) {
            const int expected = int(std::lround(pixels[c] * 0.11 * 196.2));
            QVERIFY2(std::abs(TCalcTestOffice::ColumnWidth(sheet, c) - expected) <= 3, qPrintable(QString::number(c)));
        }

        // The saved copy, read back by LibreOffice itself.
        const auto copy = FOffice->Load(saved);
        QVERIFY(copy.is());
        CompareSheet(TCalcTestOffice::FirstSheet(copy), Contacts());
        TCalcTestOffice::Close(copy);
    }

    void emptySetGivesTheTitleRowOnly()
    {
        Open(QStringLiteral("SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD"), QStringLiteral("Yok%"));
        QCOMPARE(FQuery->RecNo(), -1);
        const auto doc = Export();
        QVERIFY(doc.is());
        CompareSheet(TCalcTestOffice::FirstSheet(doc), {});
        QCOMPARE(FMessages, QStringList{kMessage});
        QCOMPARE(FQuery->RecNo(), -1);
        QVERIFY(!FQuery->ControlsDisabled());
    }

    void afterASearchOnlyTheFoundContacts()
    {
        Open(QStringLiteral("SELECT * FROM DBASE WHERE CTELEFON LIKE :deger ORDER BY AD"), QStringLiteral("05%"));
        const auto doc = Export();
        QVERIFY(doc.is());
        CompareSheet(TCalcTestOffice::FirstSheet(doc), {Contacts()[0], Contacts()[1], Contacts()[4]});
    }

    void aSecondExportLeavesTheFirstAlone()
    {
        const auto first = Export();
        QVERIFY(first.is());
        FQuery->First();
        FQuery->Edit();
        FQuery->FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Değişti"));
        FQuery->Post();
        const auto second = Export();
        QVERIFY(second.is());
        QVERIFY(second != first);
        QCOMPARE(TCalcTestOffice::Text(TCalcTestOffice::FirstSheet(first), 1, 1), QStringLiteral("Yılmaz"));
        QCOMPARE(TCalcTestOffice::Text(TCalcTestOffice::FirstSheet(second), 1, 1), QStringLiteral("Değişti"));
        FQuery->Edit();
        FQuery->FieldByName(QStringLiteral("Soyad"))->SetAsString(QStringLiteral("Yılmaz"));
        FQuery->Post();
        TCalcTestOffice::Close(first);
        TCalcTestOffice::Close(second);
    }

    void aNewRowPostedByTheExportBecomesCurrent()
    {
        FQuery->Append();
        FQuery->FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Aaron"));
        FQuery->FieldByName(QStringLiteral("CTelefon"))->SetAsString(QStringLiteral("0505 000 00 01"));
        QCOMPARE(FQuery->RecNo(), -1);
        const auto doc = Export();
        QVERIFY(doc.is());
        const int last = int(Contacts().size()) + 1;
        QCOMPARE(FQuery->RecordCount(), last);
        QCOMPARE(FQuery->RecNo(), last); // the posted row stands at the end
        QCOMPARE(FQuery->FieldByName(QStringLiteral("Ad"))->AsString(), QStringLiteral("Aaron"));
        QCOMPARE(TCalcTestOffice::Text(TCalcTestOffice::FirstSheet(doc), 0, last), QStringLiteral("Aaron"));
        QCOMPARE(TCalcTestOffice::Text(TCalcTestOffice::FirstSheet(doc), 2, last), QStringLiteral("0505 000 00 01"));
        FQuery->Delete();
    }

    void aClosedRecordSetFailsBeforeAnythingStarts()
    {
        FQuery->Close();
        const auto before = FOffice->Documents();
        try {
            GridToSpreadsheet(&FGrid, QStringLiteral("C:\\VelmoraTelReh.xls"), ShowMessage);
            QFAIL("no error");
        } catch (const EDatabaseError &e) {
            QCOMPARE(e.Message(), QStringLiteral("Cannot perform this operation on a closed dataset"));
        }
        QVERIFY(!FQuery->ControlsDisabled());
        QVERIFY(FMessages.isEmpty());
        QCOMPARE(FOffice->Documents().size(), before.size());
    }

    // A failure before the rows (steps 4 to 7) still gives the controls
    // and the record back.
    void noServerGivesItsErrorAndTheControlsBack_data()
    {
        QTest::addColumn<bool>("unregistered");
        QTest::addColumn<QString>("message");
        QTest::newRow("not registered") << true << "Invalid class string";
        QTest::newRow("wrong program path") << false << "LibreOffice Calc cannot be started: the program \"/yok/soffice\" was not found";
    }
    void noServerGivesItsErrorAndTheControlsBack()
    {
        QFETCH(bool, unregistered);
        QFETCH(QString, message);
        const TClassRegistry saved = ClassRegistry();
        TCalcSettings settings = FOffice->Settings();
        if (unregistered) {
            ClassRegistry().Unregister(QStringLiteral("EXCEL.APPLICATION"));
        } else {
            settings.Program = QStringLiteral("/yok/soffice");
            settings.Profile = FHome->FilePath(QStringLiteral("other-profile")); // not running
            settings.Save();
        }
        FQuery->SetRecNo(2);
        QString error;
        try {
            GridToSpreadsheet(&FGrid, QStringLiteral("C:\\VelmoraTelReh.xls"), ShowMessage);
        } catch (const EOleError &e) {
            error = e.Message();
        }
        ClassRegistry() = saved;
        FOffice->Settings().Save();
        QCOMPARE(error, message);
        QCOMPARE(FQuery->RecNo(), 2);
        QVERIFY(!FQuery->ControlsDisabled());
        QVERIFY(FMessages.isEmpty());
    }

    // "İptal" at the progress report of the last record (the first one a
    // short export makes): every cell gathered so far reaches the workbook,
    // nothing is saved, no message, the record set as it was.
    void cancelLeavesTheWorkbookAsFilledSoFar()
    {
        struct TCancellingSink : TProgressSink {
            void Begin(const QString &, qint64, bool) override {}
            bool Update(qint64, qint64, const QString &) override { return false; }
            void End() override {}
        } sink;
        FQuery->SetRecNo(3);
        const QString saved = FHome->FilePath(QStringLiteral("VelmoraTelReh.xls"));
        QFile::remove(saved);
        const auto before = FOffice->Documents();
        SetProgressSink(&sink);
        QVERIFY_THROWS_EXCEPTION(EAbort, GridToSpreadsheet(&FGrid, QStringLiteral("C:\\VelmoraTelReh.xls"), ShowMessage));
        SetProgressSink(nullptr);
        const auto added = TCalcTestOffice::Added(before, FOffice->Documents());
        QCOMPARE(int(added.size()), 1);
        CompareSheet(TCalcTestOffice::FirstSheet(added.front()), Contacts());
        TCalcTestOffice::Close(added.front());
        QVERIFY(FMessages.isEmpty());
        QVERIFY(!QFileInfo::exists(saved));
        QCOMPARE(FQuery->RecNo(), 3);
        QVERIFY(!FQuery->ControlsDisabled());
    }

    // Last: LibreOffice goes away while the completion message is open, so
    // that DisplayAlerts fails; the record and the controls come back.
    void aFailedDisplayAlertsStillRestoresTheRecordSet()
    {
        FQuery->SetRecNo(4);
        FOnMessage = [this] { FOffice->Kill(); };
        try {
            GridToSpreadsheet(&FGrid, QStringLiteral("C:\\VelmoraTelReh.xls"), ShowMessage);
            QFAIL("no error");
        } catch (const EOleError &e) {
            QVERIFY2(e.Message().startsWith(QStringLiteral("LibreOffice Calc")), qPrintable(e.Message()));
        }
        QCOMPARE(FMessages.size(), 1);
        QCOMPARE(FQuery->RecNo(), 4);
        QVERIFY(!FQuery->ControlsDisabled());
    }
};

QTEST_MAIN(TestSpreadsheetExport)
#include "tst_spreadsheet_export.moc"
