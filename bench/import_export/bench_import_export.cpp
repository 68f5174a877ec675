// The contacts tool against the stock sqlite3 shell, 100,000 contacts, in
// the same run:
//
//   build/bench/bench/import_export/bench_import_export
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
#include "bench/support/BenchSupport.h"
#include "contacts/ContactsDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

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
void TimeChild(benchmark::State &state, const char *key, const std::vector<std::string> &argv,
               const std::string &target = std::string(), const std::string &output = "/dev/null")
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
    TimeChild(state, "import vcard", {VELMORA_REHBER_DB, "import", f.Path("contacts.vcf"), "--into", f.Path("into.mdb"), "--allow-duplicates"},
              f.Path("into.mdb"));
}

void BM_ImportCsv(benchmark::State &state)
{
    TFiles &f = Files();
    TimeChild(state, "import csv", {VELMORA_REHBER_DB, "import", f.Path("contacts.csv"), "--into", f.Path("into.mdb"), "--allow-duplicates"},
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
    TimeChild(state, "export vcard", {VELMORA_REHBER_DB, "export", f.Path("out.vcf"), "--format", "vcard", "--from", f.Path("fihrist.mdb")});
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
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("import of 100000 vCards / sqlite3 shell .import", "BM_ImportVCard", "BM_Sqlite3ShellImport", 2.0);
    reporter.PrintRatio("import of 100000 CSV records / sqlite3 shell .import", "BM_ImportCsv", "BM_Sqlite3ShellImport", 2.0);
    reporter.PrintRatio("export of 100000 vCards / sqlite3 shell -csv", "BM_ExportVCard", "BM_Sqlite3ShellCsv", 2.0);
    reporter.PrintRatio("export of 100000 CSV records / sqlite3 shell -csv", "BM_ExportCsv", "BM_Sqlite3ShellCsv", 2.0);
    PrintCpuRatio("import of 100000 vCards / sqlite3 shell .import", "import vcard", "shell import");
    PrintCpuRatio("import of 100000 CSV records / sqlite3 shell .import", "import csv", "shell import");
    PrintCpuRatio("export of 100000 vCards / sqlite3 shell -csv", "export vcard", "shell csv");
    PrintCpuRatio("export of 100000 CSV records / sqlite3 shell -csv", "export csv", "shell csv");
    benchmark::Shutdown();
    files.reset();
    return 0;
}
