// Opening the contact list: the record set's "SELECT * FROM DBASE ORDER BY
// AD" on 100,000 and on 1,000,000 sample contacts, against the stock sqlite3
// shell running the same statement on the same file (output to /dev/null),
// in the same run: the time until Open returns with the first rows for the
// grid, and until the whole set is read. Also the snapshot's memory against
// the table's text bytes, and the peak memory of a process that opens the
// million and reads them all (the benchmark run again as a child).
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "platform/core/Progress.h"
#include "contacts/ContactsDatabase.h"
#include "bench/support/BenchSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <cstdlib>

namespace {

const char *const kStatement = "SELECT * FROM DBASE ORDER BY AD";
constexpr int kContacts = 100000;
constexpr int kMillion = 1000000;

QTemporaryDir *gDir = nullptr;

QString DatabaseFile(int contacts = kContacts)
{
    return gDir->filePath(contacts == kContacts ? QStringLiteral("fihrist.mdb") : QStringLiteral("milyon.mdb"));
}

// What is timed: until Open returns (the first rows are there for the
// grid), or until the whole set is read.
enum class TUntil { FirstRows, WholeSet };

void OpenRecordSet(benchmark::State &state, bool withConnection, TUntil until = TUntil::WholeSet, int contacts = kContacts)
{
    TADOConnection connection;
    connection.SetConnectionString(QStringLiteral("Data Source=") + DatabaseFile(contacts));
    TADOQuery query;
    query.SetConnection(&connection);
    query.SQL.Add(QString::fromLatin1(kStatement));
    if (!withConnection)
        connection.Open();
    std::size_t snapshot = 0;
    for (auto _ : state) {
        if (withConnection)
            connection.Open();
        query.Open();
        if (until == TUntil::WholeSet)
            query.FetchAll();
        state.PauseTiming();
        if (query.RecordCount() != contacts)
            state.SkipWithError("wrong row count");
        snapshot = query.SnapshotBytes();
        query.Close();
        if (withConnection)
            connection.Close();
        state.ResumeTiming();
    }
    const double text = ContactsTextBytes(DatabaseFile(contacts));
    state.counters["rows"] = contacts;
    state.counters["snapshot_bytes"] = double(snapshot);
    state.counters["text_bytes"] = text;
    state.counters["snapshot_per_text"] = double(snapshot) / text;
}

// Open and Close of the record set, the whole set read; the connection is
// opened once, outside the timing.
void BM_RecordSetOpen(benchmark::State &state)
{
    OpenRecordSet(state, false);
}
// The connection opened and closed inside the timing as well.
void BM_RecordSetOpenWithConnection(benchmark::State &state)
{
    OpenRecordSet(state, true);
}
// Until Open returns with the first rows.
void BM_RecordSetFirstRows(benchmark::State &state)
{
    OpenRecordSet(state, false, TUntil::FirstRows);
}

// The million: the first rows, the whole set, the shell's ordered read.
void BM_MillionFirstRows(benchmark::State &state)
{
    OpenRecordSet(state, false, TUntil::FirstRows, kMillion);
}
void BM_MillionWholeSet(benchmark::State &state)
{
    OpenRecordSet(state, false, TUntil::WholeSet, kMillion);
}
void BM_MillionSqlite3Shell(benchmark::State &state)
{
    TimeProgram(state, {Sqlite3Shell(), QFile::encodeName(DatabaseFile(kMillion)).toStdString(), kStatement});
}

// The child's work: open the million, read them all, say the memory before
// the Open and the peak (kilobytes).
int PeakMemoryChild(const char *file)
{
    const long before = ProcessStatusKb("VmRSS:");
    TADOConnection connection;
    connection.SetConnectionString(QStringLiteral("Data Source=") + QString::fromLocal8Bit(file));
    TADOQuery query;
    query.SetConnection(&connection);
    query.SQL.Add(QString::fromLatin1(kStatement));
    query.Open();
    query.FetchAll();
    std::printf("%ld %ld %d %ld %zu\n", before, ProcessStatusKb("VmHWM:"), query.RecordCount(), ProcessStatusKb("VmRSS:"),
                query.SnapshotBytes());
    return 0;
}

void PrintPeakMemory()
{
    const std::string out = QFile::encodeName(gDir->filePath(QStringLiteral("peak.txt"))).toStdString();
    // This program again, whatever directory it was started from (the run
    // works in its temporary folder).
    if (!RunProgram({"/proc/self/exe", "--peak-memory", QFile::encodeName(DatabaseFile(kMillion)).toStdString()}, out)) {
        std::printf("peak memory: not measured\n");
        return;
    }
    long before = 0, peak = 0, after = 0;
    int rows = 0;
    double snapshot = 0;
    if (FILE *f = std::fopen(out.c_str(), "r")) {
        if (std::fscanf(f, "%ld %ld %d %ld %lf", &before, &peak, &rows, &after, &snapshot) != 5)
            rows = 0;
        std::fclose(f);
    }
    const double text = ContactsTextBytes(DatabaseFile(kMillion));
    std::printf(
        "peak memory, %d contacts read: %.1f MiB (%.1f MiB before Open, %.1f MiB once read, of which the snapshot %.1f MiB);"
        " text %.1f MiB; peak / text %.2f, (peak - before) / text %.2f (target <= 1.3)\n",
        rows, double(peak) / 1024, double(before) / 1024, double(after) / 1024, snapshot / 1048576, text / 1048576,
        double(peak) * 1024 / text, double(peak - before) * 1024 / text);
}

// Open with a progress sink in force, as in the window: reading the rows
// reports through TProgress (the sink here answers at once, so only the
// reporting's own cost is measured).
void BM_RecordSetOpenWithProgress(benchmark::State &state)
{
    struct TQuietSink : TProgressSink {
        void Begin(const QString &, qint64, bool) override {}
        bool Update(qint64, qint64, const QString &) override { return true; }
        void End() override {}
    } sink;
    SetProgressSink(&sink);
    OpenRecordSet(state, false);
    SetProgressSink(nullptr);
}

// A search: the surname statement with the pattern "ş%" (Turkish LIKE on
// every row, then the sort of the matches).
void BM_RecordSetSearch(benchmark::State &state)
{
    TADOConnection connection;
    TADOQuery query;
    query.SetConnection(&connection);
    query.SQL.Add(QStringLiteral("SELECT * FROM DBASE WHERE SOYAD LIKE :deger ORDER BY AD"));
    query.Parameters.SetValue(0, QStringLiteral("ş%"));
    connection.Open();
    int found = 0;
    for (auto _ : state) {
        query.Open();
        query.FetchAll();
        state.PauseTiming();
        found = query.RecordCount();
        query.Close();
        state.ResumeTiming();
    }
    state.counters["rows"] = found;
}

void RunShell(benchmark::State &state, const char *statement)
{
    TimeProgram(state, {Sqlite3Shell(), QFile::encodeName(DatabaseFile()).toStdString(), statement});
}

void BM_Sqlite3Shell(benchmark::State &state)
{
    RunShell(state, kStatement);
}
// The shell's own LIKE (ASCII letter case only) on the same column.
void BM_Sqlite3ShellSearch(benchmark::State &state)
{
    RunShell(state, "SELECT * FROM DBASE WHERE SOYAD LIKE 's%' ORDER BY AD");
}

BENCHMARK(BM_RecordSetFirstRows)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RecordSetOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RecordSetOpenWithProgress)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RecordSetOpenWithConnection)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Sqlite3Shell)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_MillionFirstRows)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(4.0);
BENCHMARK(BM_MillionWholeSet)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(4.0);
BENCHMARK(BM_MillionSqlite3Shell)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(4.0);
BENCHMARK(BM_RecordSetSearch)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Sqlite3ShellSearch)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--peak-memory") == 0)
        return PeakMemoryChild(argv[2]);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    gDir = &dir;
    for (int contacts : {kContacts, kMillion}) {
        CreateContactsDatabase(DatabaseFile(contacts));
        AddSampleContacts(DatabaseFile(contacts), contacts);
    }
    QDir::setCurrent(dir.path());

    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("million: first rows / sqlite3 shell's ordered read", "BM_MillionFirstRows/", "BM_MillionSqlite3Shell/", 0.25);
    reporter.PrintRatio("million: whole set / sqlite3 shell's ordered read", "BM_MillionWholeSet/", "BM_MillionSqlite3Shell/", 1.0);
    PrintPeakMemory();
    reporter.PrintRatio("record set open (whole set) / sqlite3 shell", "BM_RecordSetOpen/", "BM_Sqlite3Shell/", 1.0);
    reporter.PrintRatio("record set first rows / sqlite3 shell", "BM_RecordSetFirstRows/", "BM_Sqlite3Shell/", 0.25);
    reporter.PrintRatio("record set open with its connection / sqlite3 shell", "BM_RecordSetOpenWithConnection/", "BM_Sqlite3Shell/", 1.5);
    reporter.PrintRatio("record set open with progress / without", "BM_RecordSetOpenWithProgress/", "BM_RecordSetOpen/", 1.03);
    reporter.PrintRatio("record set search / sqlite3 shell search", "BM_RecordSetSearch/", "BM_Sqlite3ShellSearch/", 1.5);
    benchmark::Shutdown();
    return 0;
}
