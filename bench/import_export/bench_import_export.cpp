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
// import of a vCard file and of a CSV file of distinct contacts into an
// empty contacts table, as users import (duplicates looked for) and with
// --allow-duplicates, against the shell loading an equivalent CSV (the same
// rows with their keys): ".import" into a temporary table, then one
// "INSERT ... SELECT" into the contacts table, in one transaction; the same
// for a CSV of 1,000,000 contacts, to show how the cost grows. Export to
// vCard and to CSV, against "sqlite3 -csv" of the same statement. Each
// side is a program started anew; the empty database is put back before
// each import, untimed. Besides the real times, the ratios of the
// programs' processor times are printed (on a busy machine they vary
// less), and the imports' peak memory over that of importing one contact,
// against the file's size.
#include "bench/support/BenchCluster.h"
#include "bench/support/BenchSupport.h"
#include "platform/core/PlatformSettings.h"
#include "platform/core/Progress.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/PgProvider.h"
#include "store/SqliteProvider.h"
#include "contacts/ContactExport.h"
#include "contacts/ContactImport.h"
#include "contacts/ContactsDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
#include <utility>

namespace {

constexpr int kContacts = 100000;
constexpr int kMillion = 1000000;

struct TFiles {
    QTemporaryDir Dir;
    std::string Path(const char *name) const { return QDir(Dir.path()).filePath(QString::fromLatin1(name)).toStdString(); }
};

std::unique_ptr<TFiles> files;

// n sample contacts made distinct (each e-mail takes the contact's key),
// and their vCard and CSV files and the shell's CSV: prefix.mdb,
// prefix.vcf, prefix.csv, prefix-anchor.csv.
void MakeContactFiles(const TFiles &f, const std::string &prefix, int n, bool vcard)
{
    const QString database = QString::fromStdString(f.Path((prefix + ".mdb").c_str()));
    CreateContactsDatabase(database);
    AddSampleContacts(database, n);
    TSqliteProvider(database).RunStatement("UPDATE DBASE SET Email = replace(Email, '@', No || '@') WHERE Email <> ''", {}, nullptr);
    const std::string tool = VELMORA_REHBER_DB;
    if (vcard)
        RunProgram({tool, "export", f.Path((prefix + ".vcf").c_str()), "--format", "vcard", "--from", database.toStdString()});
    RunProgram({tool, "export", f.Path((prefix + ".csv").c_str()), "--format", "csv", "--from", database.toStdString()});
    RunProgram({Sqlite3Shell(), "-csv", database.toStdString(), "SELECT * FROM DBASE"}, f.Path((prefix + "-anchor.csv").c_str()));
}

TFiles &Files()
{
    if (files)
        return *files;
    files = std::make_unique<TFiles>();
    TFiles &f = *files;
    CreateContactsDatabase(QString::fromStdString(f.Path("empty.mdb")));
    MakeContactFiles(f, "contacts", kContacts, true);
    QFile::rename(QString::fromStdString(f.Path("contacts.mdb")), QString::fromStdString(f.Path("fihrist.mdb")));
    QFile::rename(QString::fromStdString(f.Path("contacts-anchor.csv")), QString::fromStdString(f.Path("anchor.csv")));
    // One contact: what the program holds for an import of its own.
    QFile one(QString::fromStdString(f.Path("one.csv")));
    if (one.open(QIODevice::WriteOnly))
        one.write("Ad,Soyad,CTelefon,ETelefon,ITelefon,Email,Adres\nAli,Kaya,0532 000 00 00,,,ali@ornek.com.tr,Merkez\n");
    return f;
}

bool gMillionMade = false;

void MillionFiles()
{
    if (!std::exchange(gMillionMade, true))
        MakeContactFiles(Files(), "million", kMillion, false);
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

// The contacts tool importing the file into the empty database, as users
// import or allowing duplicates.
std::vector<std::string> ImportArguments(const char *file, bool allowDuplicates)
{
    TFiles &f = Files();
    std::vector<std::string> argv = {VELMORA_REHBER_DB, "import", f.Path(file), "--into", f.Path("into.mdb")};
    if (allowDuplicates)
        argv.push_back("--allow-duplicates");
    return argv;
}

void ImportChild(benchmark::State &state, const char *key, const char *file, bool allowDuplicates)
{
    TimeChild(state, key, ImportArguments(file, allowDuplicates), Files().Path("into.mdb"));
}

// The peak memory of the import into the empty database (kilobytes; 0
// when not measured), read by /usr/bin/time: a program started by this
// one would report this one's peak at least.
long ImportPeakKb(const char *file, bool allowDuplicates)
{
    TFiles &f = Files();
    QFile::remove(QString::fromStdString(f.Path("into.mdb")));
    QFile::copy(QString::fromStdString(f.Path("empty.mdb")), QString::fromStdString(f.Path("into.mdb")));
    std::vector<std::string> argv = {"/usr/bin/time", "-f", "%M", "-o", f.Path("peak.txt")};
    for (const std::string &a : ImportArguments(file, allowDuplicates))
        argv.push_back(a);
    long kb = 0;
    if (RunProgram(argv))
        if (FILE *out = std::fopen(f.Path("peak.txt").c_str(), "r")) {
            if (std::fscanf(out, "%ld", &kb) != 1)
                kb = 0;
            std::fclose(out);
        }
    return kb;
}

// The import's peak memory over that of importing one contact, against
// the size of the file it read.
void PrintPeakMemory(const char *label, const char *file, bool allowDuplicates)
{
    const long one = ImportPeakKb("one.csv", false), peak = ImportPeakKb(file, allowDuplicates);
    if (one <= 0 || peak <= 0) {
        std::printf("peak memory %s: not measured\n", label);
        return;
    }
    const double above = double(peak - one) * 1024;
    const double size = double(QFileInfo(QString::fromStdString(Files().Path(file))).size());
    std::printf("peak memory %s: %.1f MiB, %.1f MiB above one contact's; file %.1f MiB; above / file %.2f (target <= 1.5)\n", label,
                double(peak) / 1024, above / 1048576, size / 1048576, above / size);
}

void BM_ImportVCardChecked(benchmark::State &state)
{
    ImportChild(state, "import vcard checked", "contacts.vcf", false);
}
void BM_ImportCsvChecked(benchmark::State &state)
{
    ImportChild(state, "import csv checked", "contacts.csv", false);
}
void BM_ImportVCard(benchmark::State &state)
{
    ImportChild(state, "import vcard", "contacts.vcf", true);
}
void BM_ImportCsv(benchmark::State &state)
{
    ImportChild(state, "import csv", "contacts.csv", true);
}

// The shell's load of the same rows: into a temporary table, then into
// DBASE, in one transaction.
std::vector<std::string> ShellLoad(const std::string &database, const std::string &csv)
{
    return {Sqlite3Shell(),
            database,
            "BEGIN",
            "CREATE TEMP TABLE t (No, Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres)",
            ".import --csv " + csv + " t",
            "INSERT INTO DBASE SELECT * FROM t",
            "COMMIT"};
}

void BM_Sqlite3ShellImport(benchmark::State &state)
{
    TFiles &f = Files();
    TimeChild(state, "shell import", ShellLoad(f.Path("into.mdb"), f.Path("anchor.csv")), f.Path("into.mdb"));
}

void BM_MillionCsvChecked(benchmark::State &state)
{
    MillionFiles();
    ImportChild(state, "import million csv checked", "million.csv", false);
}
void BM_MillionSqlite3ShellImport(benchmark::State &state)
{
    MillionFiles();
    TFiles &f = Files();
    TimeChild(state, "shell import million", ShellLoad(f.Path("into.mdb"), f.Path("million-anchor.csv")), f.Path("into.mdb"));
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
bool ImportInProgram(const QString &database, const std::string &file, bool allowDuplicates = true)
{
    TADOConnection connection;
    OpenContactsDatabase(connection, database);
    TImportOptions options;
    options.File = QString::fromStdString(file);
    options.AllowDuplicates = allowDuplicates;
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

void ServerImport(benchmark::State &state, bool allowDuplicates)
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
        if (!ImportInProgram(QStringLiteral("fihrist.mdb"), f.Path("contacts.csv"), allowDuplicates)) {
            state.SkipWithError("import failed");
            break;
        }
    }
}

void BM_ServerImportCsvInProgram(benchmark::State &state)
{
    ServerImport(state, true);
}
// As users import: duplicates looked for.
void BM_ServerImportCsvCheckedInProgram(benchmark::State &state)
{
    ServerImport(state, false);
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
BENCHMARK(BM_ServerImportCsvCheckedInProgram)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
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

BENCHMARK(BM_ImportVCardChecked)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_ImportCsvChecked)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_ImportVCard)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_Sqlite3ShellImport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_MillionCsvChecked)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_MillionSqlite3ShellImport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
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
    reporter.PrintRatio("import of 100000 vCards, duplicates looked for / sqlite3 shell load", "BM_ImportVCardChecked/",
                        "BM_Sqlite3ShellImport/", 1.5);
    reporter.PrintRatio("import of 100000 CSV records, duplicates looked for / sqlite3 shell load", "BM_ImportCsvChecked/",
                        "BM_Sqlite3ShellImport/", 1.0);
    reporter.PrintRatio("import of 1000000 CSV records, duplicates looked for / sqlite3 shell load", "BM_MillionCsvChecked/",
                        "BM_MillionSqlite3ShellImport/", 1.0);
    reporter.PrintRatio("import of 100000 vCards, duplicates allowed / sqlite3 shell load", "BM_ImportVCard/", "BM_Sqlite3ShellImport/",
                        2.0);
    reporter.PrintRatio("import of 100000 CSV records, duplicates allowed / sqlite3 shell load", "BM_ImportCsv/", "BM_Sqlite3ShellImport/",
                        2.0);
    reporter.PrintRatio("export of 100000 vCards / sqlite3 shell -csv", "BM_ExportVCard", "BM_Sqlite3ShellCsv", 2.0);
    reporter.PrintRatio("export of 100000 CSV records / sqlite3 shell -csv", "BM_ExportCsv", "BM_Sqlite3ShellCsv", 2.0);
    reporter.PrintRatio("import of 100000 CSV records in the program / sqlite3 shell .import", "BM_ImportCsvInProgram",
                        "BM_Sqlite3ShellImport", 2.0);
    reporter.PrintRatio("import of 100000 CSV records on the server / psql \\copy", "BM_ServerImportCsvInProgram", "BM_PsqlCopyCsv", 2.0);
    reporter.PrintRatio("import of 100000 CSV records on the server, duplicates looked for / psql \\copy",
                        "BM_ServerImportCsvCheckedInProgram", "BM_PsqlCopyCsv", 1.0);
    PrintCpuRatio("import of 100000 vCards, duplicates looked for / sqlite3 shell load", "import vcard checked", "shell import");
    PrintCpuRatio("import of 100000 CSV records, duplicates looked for / sqlite3 shell load", "import csv checked", "shell import");
    PrintCpuRatio("import of 1000000 CSV records, duplicates looked for / sqlite3 shell load", "import million csv checked",
                  "shell import million");
    PrintCpuRatio("import of 100000 vCards, duplicates allowed / sqlite3 shell load", "import vcard", "shell import");
    PrintCpuRatio("import of 100000 CSV records, duplicates allowed / sqlite3 shell load", "import csv", "shell import");
    PrintPeakMemory("import of 100000 vCards, duplicates looked for", "contacts.vcf", false);
    PrintPeakMemory("import of 100000 CSV records, duplicates looked for", "contacts.csv", false);
    PrintPeakMemory("import of 100000 CSV records, duplicates allowed", "contacts.csv", true);
    if (gMillionMade)
        PrintPeakMemory("import of 1000000 CSV records, duplicates looked for", "million.csv", false);
    PrintCpuRatio("export of 100000 vCards / sqlite3 shell -csv", "export vcard", "shell csv");
    PrintCpuRatio("export of 100000 CSV records / sqlite3 shell -csv", "export csv", "shell csv");
    PrintProgressCosts();
    cluster.reset();
    benchmark::Shutdown();
    files.reset();
    return 0;
}
