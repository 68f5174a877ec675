// Import and export of 100,000 contacts against the engines' own bulk
// tools, in the same run:
//
//   build/bench/bench/import_export/bench_import_export
//
// On the file: the contacts tool against the stock sqlite3 shell, and the
// import as the window calls it (in the program, on an open connection).
// On the server (a private cluster started for the run): the import as the
// window calls it against "psql \copy" of the same CSV. And what progress
// costs: the import and the export with a progress sink installed against
// without one, in processor time, alternating runs.
//
// import of a vCard file and of a CSV file into an empty contacts table,
// against the shell's ".import" of an equivalent CSV (the same rows with
// their keys) into the same table; export to vCard and to CSV, against
// "sqlite3 -csv" of the same statement. Each side is a program started
// anew; the empty database is put back before each import, untimed. The
// imports allow duplicates, so that both sides write all 100,000 rows (the
// sample contacts share many e-mail addresses). Besides the real times,
// the ratios of the programs' processor times are printed: on a busy
// machine they vary less.
#include "bench/support/BenchCluster.h"
#include "bench/support/BenchSupport.h"
#include "platform/core/PlatformSettings.h"
#include "platform/core/Progress.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/PgProvider.h"
#include "contacts/ContactExport.h"
#include "contacts/ContactImport.h"
#include "contacts/ContactsDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <time.h>

namespace {

constexpr int kContacts = 100000;

struct TFiles {
    QTemporaryDir Dir;
    std::string Path(const char *name) const { return QDir(Dir.path()).filePath(QString::fromLatin1(name)).toStdString(); }
};

std::unique_ptr<TFiles> files;

TFiles &Files()
{
    if (files)
        return *files;
    files = std::make_unique<TFiles>();
    TFiles &f = *files;
    CreateContactsDatabase(QString::fromStdString(f.Path("empty.mdb")));
    CreateContactsDatabase(QString::fromStdString(f.Path("fihrist.mdb")));
    AddSampleContacts(QString::fromStdString(f.Path("fihrist.mdb")), kContacts);
    const std::string tool = VELMORA_REHBER_DB;
    RunProgram({tool, "export", f.Path("contacts.vcf"), "--format", "vcard", "--from", f.Path("fihrist.mdb")});
    RunProgram({tool, "export", f.Path("contacts.csv"), "--format", "csv", "--from", f.Path("fihrist.mdb")});
    RunProgram({Sqlite3Shell(), "-csv", f.Path("fihrist.mdb"), "SELECT * FROM DBASE"}, f.Path("anchor.csv"));
    return f;
}

// Processor time of each benchmark's program, summed, and its runs.
std::map<std::string, std::pair<double, int>> cpuTimes;

// Times argv (real time), with a fresh empty database at target before
// each run when target is given; keeps the program's processor time too.
void TimeChild(benchmark::State &state, const char *key, const std::vector<std::string> &argv, const std::string &target = std::string(),
               const std::string &output = "/dev/null")
{
    TFiles &f = Files();
    for (auto _ : state) {
        if (!target.empty()) {
            state.PauseTiming();
            QFile::remove(QString::fromStdString(target));
            QFile::copy(QString::fromStdString(f.Path("empty.mdb")), QString::fromStdString(target));
            state.ResumeTiming();
        }
        double cpu = 0;
        if (!RunProgram(argv, output, &cpu)) {
            state.SkipWithError("program failed");
            break;
        }
        cpuTimes[key].first += cpu;
        ++cpuTimes[key].second;
    }
}

void PrintCpuRatio(const char *label, const char *ours, const char *anchor)
{
    const auto a = cpuTimes[ours], b = cpuTimes[anchor];
    if (a.second > 0 && b.second > 0 && b.first > 0)
        std::printf("processor time ratio %s: %.2f\n", label, (a.first / a.second) / (b.first / b.second));
}

void BM_ImportVCard(benchmark::State &state)
{
    TFiles &f = Files();
    TimeChild(state, "import vcard",
              {VELMORA_REHBER_DB, "import", f.Path("contacts.vcf"), "--into", f.Path("into.mdb"), "--allow-duplicates"},
              f.Path("into.mdb"));
}

void BM_ImportCsv(benchmark::State &state)
{
    TFiles &f = Files();
    TimeChild(state, "import csv",
              {VELMORA_REHBER_DB, "import", f.Path("contacts.csv"), "--into", f.Path("into.mdb"), "--allow-duplicates"},
              f.Path("into.mdb"));
}

void BM_Sqlite3ShellImport(benchmark::State &state)
{
    TFiles &f = Files();
    TimeChild(state, "shell import", {Sqlite3Shell(), f.Path("into.mdb"), ".import --csv " + f.Path("anchor.csv") + " DBASE"},
              f.Path("into.mdb"));
}

void BM_ExportVCard(benchmark::State &state)
{
    TFiles &f = Files();
    TimeChild(state, "export vcard",
              {VELMORA_REHBER_DB, "export", f.Path("out.vcf"), "--format", "vcard", "--from", f.Path("fihrist.mdb")});
}

void BM_ExportCsv(benchmark::State &state)
{
    TFiles &f = Files();
    TimeChild(state, "export csv", {VELMORA_REHBER_DB, "export", f.Path("out.csv"), "--format", "csv", "--from", f.Path("fihrist.mdb")});
}

void BM_Sqlite3ShellCsv(benchmark::State &state)
{
    TFiles &f = Files();
    TimeChild(state, "shell csv", {Sqlite3Shell(), "-csv", f.Path("fihrist.mdb"), "SELECT * FROM DBASE ORDER BY AD"}, std::string(),
              f.Path("shell.csv"));
}

// A sink as cheap as the window's between repaints: it keeps the figures.
class TCountingSink final : public TProgressSink {
public:
    void Begin(const QString &, qint64, bool) override {}
    bool Update(qint64 done, qint64, const QString &) override
    {
        Done = done;
        ++Updates;
        return true;
    }
    void End() override {}
    qint64 Done = 0;
    qint64 Updates = 0;
};

// The import as the window runs it: an open connection on the database
// named as Veri.ini names it (the file, or the server it maps to).
bool ImportInProgram(const QString &database, const std::string &file)
{
    TADOConnection connection;
    OpenContactsDatabase(connection, database);
    TImportOptions options;
    options.File = QString::fromStdString(file);
    options.AllowDuplicates = true;
    TImportReport report;
    return ImportContacts(connection, options, report) && report.Counts.Added == kContacts;
}

void BM_ImportCsvInProgram(benchmark::State &state)
{
    TFiles &f = Files();
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(QString::fromStdString(f.Path("into.mdb")));
        QFile::copy(QString::fromStdString(f.Path("empty.mdb")), QString::fromStdString(f.Path("into.mdb")));
        state.ResumeTiming();
        if (!ImportInProgram(QString::fromStdString(f.Path("into.mdb")), f.Path("contacts.csv"))) {
            state.SkipWithError("import failed");
            break;
        }
    }
}

// The server part: a private cluster, its database "rehber" mapped as
// fihrist.mdb in Veri.ini, the table emptied before each import.
QString gServer;

void EmptyServerTable()
{
    TPgProvider(gServer).Execute("TRUNCATE dbase RESTART IDENTITY");
}

void BM_ServerImportCsvInProgram(benchmark::State &state)
{
    TFiles &f = Files();
    if (gServer.isEmpty()) {
        state.SkipWithError("no server");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        EmptyServerTable();
        state.ResumeTiming();
        if (!ImportInProgram(QStringLiteral("fihrist.mdb"), f.Path("contacts.csv"))) {
            state.SkipWithError("import failed");
            break;
        }
    }
}

void BM_PsqlCopyCsv(benchmark::State &state)
{
    TFiles &f = Files();
    if (gServer.isEmpty()) {
        state.SkipWithError("no server");
        return;
    }
    const std::string copy =
        "\\copy dbase (no, ad, soyad, ctelefon, etelefon, itelefon, email, adres) from '" + f.Path("anchor.csv") + "' csv";
    for (auto _ : state) {
        state.PauseTiming();
        EmptyServerTable();
        state.ResumeTiming();
        if (!RunProgram({QStandardPaths::findExecutable(QStringLiteral("psql")).toStdString(), "-X", "-q", "-d", gServer.toStdString(),
                         "-c", copy})) {
            state.SkipWithError("psql failed");
            break;
        }
    }
}

BENCHMARK(BM_ImportCsvInProgram)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ServerImportCsvInProgram)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_PsqlCopyCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

double ProcessSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Processor time with a sink over that without: the fastest of several
// runs of each, alternating, so that a busy machine weighs on both alike.
void PrintProgressCost(const char *label, const std::function<void()> &work)
{
    TCountingSink sink;
    double with = 1e9, without = 1e9;
    for (int run = 0; run < 16; ++run) {
        const bool withSink = run % 2 == 1;
        SetProgressSink(withSink ? &sink : nullptr);
        const double start = ProcessSeconds();
        work();
        double &best = withSink ? with : without;
        best = std::min(best, ProcessSeconds() - start);
    }
    SetProgressSink(nullptr);
    std::printf("progress cost %s: %+.1f %% (%lld updates in 8 runs; target < 3 %%)\n", label, (with / without - 1) * 100,
                static_cast<long long>(sink.Updates));
}

void PrintProgressCosts()
{
    TFiles &f = Files();
    const QString into = QString::fromStdString(f.Path("into.mdb"));
    PrintProgressCost("import of 100000 CSV records", [&] {
        QFile::remove(into);
        QFile::copy(QString::fromStdString(f.Path("empty.mdb")), into);
        ImportInProgram(into, f.Path("contacts.csv"));
    });
    TADOConnection connection;
    OpenContactsDatabase(connection, QString::fromStdString(f.Path("fihrist.mdb")));
    TADOQuery contacts;
    contacts.SetConnection(&connection);
    contacts.SQL.Add(QString::fromLatin1(AllRecordsStatement));
    contacts.Open();
    TExportOptions options;
    options.File = QString::fromStdString(f.Path("progress.vcf"));
    PrintProgressCost("export of 100000 vCards", [&] { ExportContacts(contacts, options); });
}

BENCHMARK(BM_ImportVCard)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_Sqlite3ShellImport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_ExportVCard)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_Sqlite3ShellCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication qt(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::unique_ptr<TBenchCluster> cluster;
    try {
        cluster = std::make_unique<TBenchCluster>(0);
        gServer = cluster->Server();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s; the server benchmarks are skipped\n", e.what());
    }
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("import of 100000 vCards / sqlite3 shell .import", "BM_ImportVCard", "BM_Sqlite3ShellImport", 2.0);
    reporter.PrintRatio("import of 100000 CSV records / sqlite3 shell .import", "BM_ImportCsv", "BM_Sqlite3ShellImport", 2.0);
    reporter.PrintRatio("export of 100000 vCards / sqlite3 shell -csv", "BM_ExportVCard", "BM_Sqlite3ShellCsv", 2.0);
    reporter.PrintRatio("export of 100000 CSV records / sqlite3 shell -csv", "BM_ExportCsv", "BM_Sqlite3ShellCsv", 2.0);
    reporter.PrintRatio("import of 100000 CSV records in the program / sqlite3 shell .import", "BM_ImportCsvInProgram",
                        "BM_Sqlite3ShellImport", 2.0);
    reporter.PrintRatio("import of 100000 CSV records on the server / psql \\copy", "BM_ServerImportCsvInProgram", "BM_PsqlCopyCsv", 2.0);
    PrintCpuRatio("import of 100000 vCards / sqlite3 shell .import", "import vcard", "shell import");
    PrintCpuRatio("import of 100000 CSV records / sqlite3 shell .import", "import csv", "shell import");
    PrintCpuRatio("export of 100000 vCards / sqlite3 shell -csv", "export vcard", "shell csv");
    PrintCpuRatio("export of 100000 CSV records / sqlite3 shell -csv", "export csv", "shell csv");
    PrintProgressCosts();
    cluster.reset();
    benchmark::Shutdown();
    files.reset();
    return 0;
}
