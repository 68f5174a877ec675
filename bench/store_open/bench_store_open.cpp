// Opening the contact list: the record set's "SELECT * FROM DBASE ORDER BY
// AD" on 100,000 sample contacts, against the stock sqlite3 shell running
// the same statement on the same file (output to /dev/null), in the same
// run. Also the snapshot's memory against the table's text bytes.
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "platform/core/Progress.h"
#include "store/Statement.h"
#include "contacts/ContactsDatabase.h"
#include "bench/support/BenchSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <string>

namespace {

const char *const kStatement = "SELECT * FROM DBASE ORDER BY AD";
constexpr int kContacts = 100000;

QTemporaryDir *gDir = nullptr;

QString DatabaseFile()
{
    return gDir->filePath(QStringLiteral("fihrist.mdb"));
}

double TextBytes()
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(DatabaseFile()).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    double bytes = 0;
    {
        TStatement st(db,
                      QByteArray("SELECT sum(coalesce(length(CAST(Ad AS BLOB)),0) + coalesce(length(CAST(Soyad AS BLOB)),0)"
                                 " + coalesce(length(CAST(CTelefon AS BLOB)),0) + coalesce(length(CAST(ETelefon AS BLOB)),0)"
                                 " + coalesce(length(CAST(ITelefon AS BLOB)),0) + coalesce(length(CAST(Email AS BLOB)),0)"
                                 " + coalesce(length(CAST(Adres AS BLOB)),0)) FROM DBASE"));
        if (st.Step())
            bytes = st.ColumnDouble(0);
    }
    sqlite3_close(db);
    return bytes;
}

void OpenRecordSet(benchmark::State &state, bool withConnection)
{
    TADOConnection connection;
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
        state.PauseTiming();
        snapshot = query.SnapshotBytes();
        if (query.RecordCount() != kContacts)
            state.SkipWithError("wrong row count");
        query.Close();
        if (withConnection)
            connection.Close();
        state.ResumeTiming();
    }
    const double text = TextBytes();
    state.counters["rows"] = kContacts;
    state.counters["snapshot_bytes"] = double(snapshot);
    state.counters["text_bytes"] = text;
    state.counters["snapshot_per_text"] = double(snapshot) / text;
}

// Open and Close of the record set; the connection is opened once, outside the timing.
void BM_RecordSetOpen(benchmark::State &state)
{
    OpenRecordSet(state, false);
}
// The connection opened and closed inside the timing as well.
void BM_RecordSetOpenWithConnection(benchmark::State &state)
{
    OpenRecordSet(state, true);
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

BENCHMARK(BM_RecordSetOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RecordSetOpenWithProgress)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RecordSetOpenWithConnection)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Sqlite3Shell)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RecordSetSearch)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Sqlite3ShellSearch)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    gDir = &dir;
    CreateContactsDatabase(DatabaseFile());
    AddSampleContacts(DatabaseFile(), kContacts);
    QDir::setCurrent(dir.path());

    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("record set open / sqlite3 shell", "BM_RecordSetOpen/", "BM_Sqlite3Shell/", 1.5);
    reporter.PrintRatio("record set open with its connection / sqlite3 shell", "BM_RecordSetOpenWithConnection/", "BM_Sqlite3Shell/", 1.5);
    reporter.PrintRatio("record set open with progress / without", "BM_RecordSetOpenWithProgress/", "BM_RecordSetOpen/", 1.03);
    reporter.PrintRatio("record set search / sqlite3 shell search", "BM_RecordSetSearch/", "BM_Sqlite3ShellSearch/", 1.5);
    benchmark::Shutdown();
    return 0;
}
