// The record set on a PostgreSQL server: Open of "SELECT * FROM DBASE ORDER
// BY AD" on 100,000 sample contacts against psql copying the same rows out
// (COPY ... TO STDOUT), and a search against psql running the same
// statement with the same pattern, in the same run, on a private cluster
// started for the run.
#include "bench/support/BenchCluster.h"
#include "bench/support/BenchSupport.h"
#include "platform/core/PlatformSettings.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/PgProvider.h"
#include "contacts/ContactsServer.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <string>

namespace {

constexpr int kContacts = 100000;
const char *const kSearch = "SELECT * FROM DBASE WHERE SOYAD LIKE :deger ORDER BY AD";
QString gServer;

std::string Psql()
{
    return QStandardPaths::findExecutable(QStringLiteral("psql")).toStdString();
}

void OpenRecordSet(benchmark::State &state, const QString &sql, const QString &pattern)
{
    TADOConnection connection;
    TADOQuery query;
    query.SetConnection(&connection);
    query.SQL.Add(sql);
    if (!pattern.isEmpty())
        query.Parameters.SetValue(0, pattern);
    connection.Open();
    int rows = 0;
    for (auto _ : state) {
        query.Open();
        state.PauseTiming();
        rows = query.RecordCount();
        query.Close();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}

void BM_ServerOpen(benchmark::State &state)
{
    OpenRecordSet(state, QStringLiteral("SELECT * FROM DBASE ORDER BY AD"), QString());
}

void BM_PsqlCopy(benchmark::State &state)
{
    TimeProgram(state, {Psql(), "-X", "-q", "-d", gServer.toStdString(), "-c", "COPY (SELECT * FROM DBASE ORDER BY AD) TO STDOUT"});
}

void BM_ServerSearch(benchmark::State &state)
{
    OpenRecordSet(state, QString::fromLatin1(kSearch), QStringLiteral("ş%"));
}

void BM_PsqlSearch(benchmark::State &state)
{
    TimeProgram(
        state,
        {Psql(), "-X", "-q", "-A", "-t", "-d", gServer.toStdString(), "-c", "SELECT * FROM DBASE WHERE SOYAD LIKE 'ş%' ORDER BY AD"});
}

BENCHMARK(BM_ServerOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PsqlCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ServerSearch)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_PsqlSearch)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    int rc = 0;
    try {
        TBenchCluster cluster(kContacts);
        gServer = cluster.Server();
        TRatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        reporter.PrintRatio("record set open on the server / psql COPY", "BM_ServerOpen/", "BM_PsqlCopy/", 1.5);
        reporter.PrintRatio("record set search on the server / psql", "BM_ServerSearch/", "BM_PsqlSearch/", 1.5);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        rc = 1;
    }
    benchmark::Shutdown();
    return rc;
}
