// GridToSpreadsheet with 100,000 sample contacts into a headless
// LibreOffice Calc, against LibreOffice's own import of the same rows from
// a CSV file, in the same run and the same LibreOffice. Starting LibreOffice
// is left out of every figure.
//
//   GridToSpreadsheet   the program's export: the record set walked, every
//                       cell through the automation layer by member name,
//                       the workbook saved as an Excel 97 copy
//   CsvImportAndSave    the anchor with the same result: LibreOffice loads
//                       the rows from CSV (every column as text, as the
//                       export stores them) and stores the document as
//                       Excel 97 (what soffice --convert-to does, without
//                       starting a process)
//   CellsOnly           the export's cell writes alone (no save)
//   CsvImport           LibreOffice's CSV import alone
//   GridToSpreadsheetWithProgress
//                       the export as the window runs it: its progress
//                       dialog shows after half a second and the window
//                       paints on every update (offscreen platform)
//
// The ratios printed at the end are GridToSpreadsheet / CsvImportAndSave,
// CellsOnly / CsvImport and the cost of the progress dialog,
// GridToSpreadsheetWithProgress / GridToSpreadsheet.
#include "export/SpreadsheetExport.h"
#include "platform/automation/CalcOffice.h"
#include "platform/automation/CalcServer.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/automation/OleCall.h"
#include "platform/automation/UnoText.h"
#include "platform/widgets/Application.h"
#include "platform/core/GridColumns.h"
#include "platform/widgets/ProgressDialog.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/DataSource.h"
#include "store/Field.h"
#include "contacts/ContactsDatabase.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMainWindow>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;

namespace {

constexpr int kContacts = 100000;

class TBenchGrid : public TGridColumns {
public:
    TDataSource *Source = nullptr;
    TDataSource *DataSource() const override { return Source; }
    int ColumnCount() const override { return 7; }
    QString ColumnFieldName(int i) const override { return QString::fromLatin1(kNames[i]); }
    int ColumnWidth(int i) const override { return kWidths[i]; }
    static constexpr const char *kNames[7] = {"Ad", "Soyad", "Ctelefon", "ETelefon", "ITelefon", "Email", "Adres"};
    static constexpr int kWidths[7] = {115, 125, 100, 100, 100, 150, 500};
};

struct TWorld {
    QTemporaryDir Dir;
    TCalcSettings Settings;
    std::shared_ptr<TCalcOffice> Office;
    std::unique_ptr<TApplication> App;
    TADOConnection Connection;
    TADOQuery Query;
    TDataSource Source;
    TBenchGrid Grid;
    QString CsvUrl, XlsUrl;
};
TWorld *World = nullptr;

QByteArray CsvField(const QString &s)
{
    QByteArray b = s.toUtf8();
    b.replace('"', "\"\"");
    return '"' + b + '"';
}

void Setup()
{
    RegisterCalcServer(ClassRegistry());
    World = new TWorld;
    const QString home = World->Dir.path();
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", QDir(home).filePath(QStringLiteral(".config")).toLocal8Bit());
    QDir::setCurrent(home);

    World->Settings = TCalcSettings::Defaults();
    World->Settings.Headless = true;
    World->Settings.StartTimeoutSeconds = 120;
    World->Settings.Profile = QDir(home).filePath(QStringLiteral("lo-profile"));
    World->Settings.Save();

    World->App = std::make_unique<TApplication>(QStringLiteral("velmora-rehber"));
    World->App->SetMessageBoxHandler([](const TMessageBoxRequest &) { return IDOK; });

    CreateContactsDatabase(QStringLiteral("fihrist.mdb"));
    AddSampleContacts(QStringLiteral("fihrist.mdb"), kContacts);
    World->Connection.SetConnectionString(TADOConnection::ComposeConnectionString(TADOConnection::DefaultConnectionKeys()));
    World->Query.SetConnection(&World->Connection);
    World->Source.SetDataSet(&World->Query);
    World->Grid.Source = &World->Source;
    World->Query.SQL.Add(QStringLiteral("SELECT * FROM DBASE ORDER BY AD"));
    World->Connection.Open();
    World->Query.Open();

    // The same rows, in the same order, as a CSV file.
    QFile csv(QDir(home).filePath(QStringLiteral("rows.csv")));
    csv.open(QIODevice::WriteOnly);
    QByteArray line;
    for (int i = 0; i < 7; ++i)
        line += (i ? "," : "") + CsvField(World->Query.FieldByName(World->Grid.ColumnFieldName(i))->DisplayName());
    csv.write(line + '\n');
    for (World->Query.First(); !World->Query.Eof(); World->Query.Next()) {
        line.clear();
        for (int i = 0; i < 7; ++i)
            line += (i ? "," : "") + CsvField(World->Query.FieldByName(World->Grid.ColumnFieldName(i))->AsString());
        csv.write(line + '\n');
    }
    csv.close();
    World->CsvUrl = QUrl::fromLocalFile(csv.fileName()).toString(QUrl::FullyEncoded);
    World->XlsUrl = QUrl::fromLocalFile(QDir(home).filePath(QStringLiteral("anchor.xls"))).toString(QUrl::FullyEncoded);

    World->Office = TCalcOffice::Reach(World->Settings); // started here, outside the figures
}

void CloseDocuments()
{
    const Reference<container::XEnumeration> e = World->Office->Desktop()->getComponents()->createEnumeration();
    while (e->hasMoreElements()) {
        const Reference<util::XCloseable> doc(e->nextElement(), UNO_QUERY);
        if (doc.is())
            doc->close(true);
    }
}

uno::Sequence<beans::PropertyValue> Props(std::initializer_list<std::pair<const char *, uno::Any>> list)
{
    uno::Sequence<beans::PropertyValue> s(sal_Int32(list.size()));
    int i = 0;
    for (const auto &[name, value] : list) {
        s.getArray()[i].Name = rtl::OUString::createFromAscii(name);
        s.getArray()[i].Value = value;
        ++i;
    }
    return s;
}

Reference<lang::XComponent> ImportCsv()
{
    // Comma, double quote, UTF-8, from line 1, all seven columns as text.
    return World->Office->Desktop()->loadComponentFromURL(
        ToOUString(World->CsvUrl), rtl::OUString("_blank"), 0,
        Props({{"Hidden", uno::Any(true)},
               {"FilterName", uno::Any(rtl::OUString("Text - txt - csv (StarCalc)"))},
               {"FilterOptions", uno::Any(rtl::OUString("44,34,76,1,1/2/2/2/3/2/4/2/5/2/6/2/7/2"))}}));
}

void BM_CsvImport(benchmark::State &state)
{
    for (auto _ : state) {
        const auto doc = ImportCsv();
        state.PauseTiming();
        CloseDocuments();
        state.ResumeTiming();
    }
}

void BM_CsvImportAndSave(benchmark::State &state)
{
    for (auto _ : state) {
        const auto doc = ImportCsv();
        Reference<frame::XStorable>(doc, UNO_QUERY)
            ->storeToURL(ToOUString(World->XlsUrl),
                         Props({{"FilterName", uno::Any(rtl::OUString("MS Excel 97"))}, {"Overwrite", uno::Any(true)}}));
        state.PauseTiming();
        CloseDocuments();
        state.ResumeTiming();
    }
}

void BM_GridToSpreadsheet(benchmark::State &state)
{
    for (auto _ : state) {
        GridToSpreadsheet(&World->Grid, QStringLiteral("C:\\VelmoraTelReh.xls"), {});
        state.PauseTiming();
        CloseDocuments();
        state.ResumeTiming();
    }
}

// The window's sink, timing the longest stretch without an update (the
// window paints on each update once the dialog shows).
struct TTimedSink : TProgressSink {
    TProgressDialogSink Dialog;
    std::chrono::steady_clock::time_point Last;
    std::chrono::steady_clock::duration Longest{};
    void Begin(const QString &what, qint64 total, bool cancellable) override
    {
        Dialog.Begin(what, total, cancellable);
        Last = std::chrono::steady_clock::now();
    }
    bool Update(qint64 done, qint64 total, const QString &text) override
    {
        const auto now = std::chrono::steady_clock::now();
        Longest = std::max(Longest, now - Last);
        Last = now;
        return Dialog.Update(done, total, text);
    }
    void End() override { Dialog.End(); }
};

void BM_GridToSpreadsheetWithProgress(benchmark::State &state)
{
    QMainWindow window; // what the dialog is modal over and lets paint
    window.resize(589, 650);
    window.show();
    World->App->SetMainWindow(&window);
    TTimedSink sink;
    SetProgressSink(&sink);
    for (auto _ : state) {
        GridToSpreadsheet(&World->Grid, QStringLiteral("C:\\VelmoraTelReh.xls"), {});
        state.PauseTiming();
        CloseDocuments();
        state.ResumeTiming();
    }
    SetProgressSink(nullptr);
    World->App->SetMainWindow(nullptr);
    state.counters["longest_ms_without_update"] = double(std::chrono::duration_cast<std::chrono::milliseconds>(sink.Longest).count());
}

// The export's cell writes without the save: the same member calls.
void BM_CellsOnly(benchmark::State &state)
{
    TADOQuery &q = World->Query;
    for (auto _ : state) {
        TComPtr<IDispatch> app = CreateOleObject(QStringLiteral("EXCEL.APPLICATION"));
        OlePropertySet(app.Get(), QStringLiteral("VISIBLE"), {}, true);
        TComPtr<IDispatch> books = OleFunction(app.Get(), QStringLiteral("WORKBOOKS")).ToDispatch();
        TComPtr<IDispatch> book = OleFunction(books.Get(), QStringLiteral("ADD")).ToDispatch();
        TComPtr<IDispatch> sheet = OlePropertyGet(book.Get(), QStringLiteral("WORKSHEETS"), {1}).ToDispatch();
        std::vector<TField *> fields;
        for (int j = 0; j < 7; ++j)
            fields.push_back(q.FieldByName(World->Grid.ColumnFieldName(j)));
        int row = 1;
        for (q.First(); !q.Eof(); q.Next()) {
            ++row;
            for (int j = 0; j < 7; ++j)
                OlePropertySet(sheet.Get(), QStringLiteral("CELLS"), {VARIANT::ByRef(&row), j + 1}, fields[size_t(j)]->AsString());
        }
        sheet.Reset(); // the rest is written on release
        book.Reset();
        books.Reset();
        app.Reset();
        state.PauseTiming();
        CloseDocuments();
        state.ResumeTiming();
    }
}

class TRatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Times;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs)
            Times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

#define VELMORA_BENCH(fn) BENCHMARK(fn)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime()
VELMORA_BENCH(BM_CsvImport);
VELMORA_BENCH(BM_CellsOnly);
VELMORA_BENCH(BM_CsvImportAndSave);
VELMORA_BENCH(BM_GridToSpreadsheet);
VELMORA_BENCH(BM_GridToSpreadsheetWithProgress);

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    Setup();
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto ratio = [&](const char *a, const char *b) {
        const auto ia = reporter.Times.find(std::string(a) + "/iterations:3/real_time");
        const auto ib = reporter.Times.find(std::string(b) + "/iterations:3/real_time");
        if (ia != reporter.Times.end() && ib != reporter.Times.end())
            std::printf("%s / %s = %.2f\n", a, b, ia->second / ib->second);
    };
    ratio("BM_GridToSpreadsheet", "BM_CsvImportAndSave");
    ratio("BM_CellsOnly", "BM_CsvImport");
    ratio("BM_GridToSpreadsheetWithProgress", "BM_GridToSpreadsheet");

    try {
        CloseDocuments();
        World->Office->Desktop()->terminate();
    } catch (...) {
        // Gone already.
    }
    return 0;
}
