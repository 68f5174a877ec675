// The XML export of the sample contacts, against the stock sqlite3 shell
// writing the same rows as CSV to a file, in the same run:
//
//   build/bench/bench/xml_export/bench_xml_export
//
// Prints the time of each, the ratio export / shell, and for each size the
// heap the export took above what was held before it (a counting malloc),
// so that 10,000 and 100,000 records can be compared.
#include "HeapCounter.h"

#include "bench/support/BenchSupport.h"
#include "export/XmlExport.h"
#include "platform/widgets/Application.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "contacts/ContactsDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/resource.h>

namespace {

// One database per size, each in its own folder that is also HOME and the
// working directory while it is used.
struct TSample {
    QTemporaryDir Dir;
    std::unique_ptr<TADOConnection> Connection;
    std::unique_ptr<TADOQuery> Query;
};

std::map<int, std::unique_ptr<TSample>> samples;

TSample &Sample(int n)
{
    auto &s = samples[n];
    if (!s) {
        s = std::make_unique<TSample>();
        const QString path = QDir(s->Dir.path()).filePath(QStringLiteral("fihrist.mdb"));
        CreateContactsDatabase(path);
        AddSampleContacts(path, n);
    }
    qputenv("HOME", QFile::encodeName(s->Dir.path()));
    QDir::setCurrent(s->Dir.path());
    if (!s->Connection) {
        s->Connection = std::make_unique<TADOConnection>();
        s->Connection->SetConnectionString(TADOConnection::ComposeConnectionString(TADOConnection::DefaultConnectionKeys()));
        s->Connection->Open();
        s->Query = std::make_unique<TADOQuery>();
        s->Query->SetConnection(s->Connection.get());
        s->Query->SQL.Add(QStringLiteral("SELECT * FROM DBASE ORDER BY AD"));
        s->Query->Open();
    }
    return *s;
}

long MaxRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_DataSetToXml(benchmark::State &state)
{
    TSample &s = Sample(int(state.range(0)));
    std::size_t heapPeak = 0;
    const long rssBefore = MaxRssKiB();
    for (auto _ : state) {
        HeapCounter::ResetPeak();
        const std::size_t before = HeapCounter::Live();
        DataSetToXml(s.Query.get(), QStringLiteral("C:\\VelmoraTelReh.xml"), {});
        heapPeak = std::max(heapPeak, HeapCounter::Peak() - before);
    }
    state.counters["heap_peak_KiB"] = double(heapPeak) / 1024.0;
    state.counters["maxrss_growth_KiB"] = double(MaxRssKiB() - rssBefore);
    state.counters["file_MiB"] = double(QFileInfo(QDir(s.Dir.path()).filePath(QStringLiteral("VelmoraTelReh.xml"))).size()) / (1 << 20);
}

// Opening the record set (the query and the fetch of every row into the
// snapshot) and then exporting: the whole work the shell does.
void BM_OpenAndDataSetToXml(benchmark::State &state)
{
    TSample &s = Sample(int(state.range(0)));
    for (auto _ : state) {
        s.Query->Close();
        s.Query->Open();
        DataSetToXml(s.Query.get(), QStringLiteral("C:\\VelmoraTelReh.xml"), {});
    }
}

void BM_Sqlite3ShellCsv(benchmark::State &state)
{
    TSample &s = Sample(int(state.range(0)));
    const std::string out = QDir(s.Dir.path()).filePath(QStringLiteral("out.csv")).toStdString();
    const std::string db = QDir(s.Dir.path()).filePath(QStringLiteral("fihrist.mdb")).toStdString();
    TimeProgram(state, {Sqlite3Shell(), "-csv", db, "SELECT * FROM DBASE ORDER BY AD"}, out);
}

BENCHMARK(BM_DataSetToXml)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenAndDataSetToXml)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Sqlite3ShellCsv)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication qt(argc, argv);
    TApplication app(QStringLiteral("/usr/bin/velmora-rehber"));
    app.SetMessageBoxHandler([](const TMessageBoxRequest &) { return IDOK; });

    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("export of 10000 records / sqlite3 shell csv", "BM_DataSetToXml/10000/", "BM_Sqlite3ShellCsv/10000/", 2.0);
    reporter.PrintRatio("export of 100000 records / sqlite3 shell csv", "BM_DataSetToXml/100000/", "BM_Sqlite3ShellCsv/100000/", 2.0);
    reporter.PrintRatio("open + export of 100000 records / sqlite3 shell csv", "BM_OpenAndDataSetToXml/100000/",
                        "BM_Sqlite3ShellCsv/100000/", 2.0);
    benchmark::Shutdown();
    samples.clear();
    return 0;
}
