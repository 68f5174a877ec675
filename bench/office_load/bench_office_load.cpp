// An office on one server: N desktops (10 and 50), each with its own
// connection and record set as the window has, run the window's calls on
// 100,000 sample contacts for a fixed time after their first Open
// (VELMORA_OFFICE_SECONDS, 20 by default): searches by the four search statements, changes confirmed with
// Post, contacts added and deleted. Prints operations per second and the
// median and 99th percentile per kind; an Open and a search are timed to
// their first screen (Open returns) and to their whole set; the 50 desktops
// also read as the version before did (everything at Open, sorted on the
// server), the anchor of the same run. Then what the
// server spends on one Open of the whole list (its processor time and the
// bytes it sends), through a cursor in the list's index order and read in
// one go after a sort as before. Then the server time of the
// Turkish search (EXPLAIN ANALYZE) against its anchor, a plain LIKE on the
// same column, and the same search read without its indexes. All on a
// private cluster started for the run, on its Unix socket.
#include "bench/support/BenchCluster.h"
#include "bench/support/BenchSupport.h"
#include "platform/core/Exception.h"
#include "platform/core/PlatformSettings.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/CellValue.h"
#include "store/Field.h"
#include "store/PgProvider.h"
#include "contacts/ContactsServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <thread>

namespace {

constexpr int kContacts = 100000;
QString gServer;

const char *const kStatements[] = {
    "SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD", "SELECT * FROM DBASE WHERE SOYAD LIKE :deger ORDER BY AD",
    "SELECT * FROM DBASE WHERE CTELEFON LIKE :deger ORDER BY AD", "SELECT * FROM DBASE WHERE ETELEFON LIKE :deger ORDER BY AD"};
// What people type: a start, a piece of the name, a number's start.
const char *const kNamePatterns[] = {"ahmet%", "şah%", "%yılmaz%", "%gül%", "öz%", "ç%", "%kaya", "i%", "elif", "%can%"};
const char *const kNumberPatterns[] = {"0532%", "%4567%", "0212 5%", "%99"};

using TClock = std::chrono::steady_clock;

struct TTimes {
    std::map<std::string, std::vector<double>> Ms; // per kind
    int Conflicts = 0;                             // Posts another desktop beat
    int Failures = 0;
};

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

// Times call, from start when given (the whole of an Open whose first
// screen was timed on its own).
template <class F> void Timed(TTimes &times, const char *kind, F &&call, TClock::time_point start = TClock::now())
{
    try {
        call();
    } catch (const Exception &e) {
        if (e.Message().startsWith(QLatin1String("Row cannot be located")))
            ++times.Conflicts;
        else
            ++times.Failures;
        return;
    }
    times.Ms[kind].push_back(std::chrono::duration<double, std::milli>(TClock::now() - start).count());
}

// A statement as this version reads it, or (before) in parentheses, which
// the provider reads in one go, row by row, as the version before did.
QString Statement(const char *sql, bool before)
{
    const QString text = QString::fromLatin1(sql);
    return before ? u'(' + text + u')' : text;
}

// One desktop: the window's first Open, then the window's calls one after
// the other, without pause, for the given time.
void Desktop(int id, std::chrono::seconds duration, bool before, TTimes &times)
{
    TADOConnection connection;
    TADOQuery query;
    query.SetConnection(&connection);
    query.SQL.Add(Statement("SELECT * FROM DBASE ORDER BY AD", before));
    std::mt19937 random(unsigned(id) * 7919u + 1);
    const auto opened = TClock::now();
    Timed(times, "open_first_screen", [&] { query.Open(); });
    Timed(
        times, "open_whole", [&] { query.FetchAll(); }, opened);
    const auto end = TClock::now() + duration;
    for (int n = 0; TClock::now() < end; ++n) {
        const unsigned op = random() % 100;
        if (op < 60 || !query.Active()) {
            const unsigned s = random() % 4;
            const char *pattern =
                s < 2 ? kNamePatterns[random() % std::size(kNamePatterns)] : kNumberPatterns[random() % std::size(kNumberPatterns)];
            const auto started = TClock::now();
            Timed(times, "search_first_screen", [&] {
                query.Close();
                query.SQL.Clear();
                query.SQL.Add(Statement(kStatements[s], before));
                query.Parameters.SetValue(0, QString::fromUtf8(pattern));
                query.Open();
            });
            Timed(
                times, "search_whole", [&] { query.FetchAll(); }, started);
        } else if (op < 85 && query.RecordCount() > 0) {
            query.SetRecNo(int(random() % unsigned(query.RecordCount())) + 1);
            query.Edit();
            query.FieldByName(QStringLiteral("ETelefon"))->SetAsString(QStringLiteral("0216 %1 %2").arg(id).arg(n));
            Timed(times, "post", [&] { query.Post(); });
            query.Cancel();
        } else {
            query.Append();
            query.FieldByName(QStringLiteral("Ad"))->SetAsString(QStringLiteral("Masa%1 Kişi%2").arg(id).arg(n));
            Timed(times, "append", [&] { query.Post(); });
            query.Cancel();
            if (op >= 95 && query.State() == rsBrowse)
                Timed(times, "delete", [&] { query.Delete(); });
        }
    }
}

// The processor time (seconds) the server process of this connection has
// used, from /proc.
double BackendCpuSeconds(int pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(' ');
    return fields.size() > 15 ? double(fields[13].toLongLong() + fields[14].toLongLong()) / double(sysconf(_SC_CLK_TCK)) : 0;
}

// The bytes the server sends for the rows of an open record set: one
// DataRow message each (type, length, column count, then each value's
// length and its text).
double RowBytes(TADOQuery &query)
{
    double bytes = 0;
    for (int row = 0; row < query.RecordCount(); ++row) {
        bytes += 1 + 4 + 2;
        for (int c = 0; c < query.FieldCount(); ++c) {
            const TCellView cell = query.StoredCell(row, c);
            bytes += 4 + (cell.Kind == TCellKind::Integer ? double(QByteArray::number(qlonglong(cell.Int)).size()) : double(cell.Size));
        }
    }
    return bytes;
}

// One Open of the whole list on one connection, again and again: the
// server's processor time and the bytes received per Open. sql: the list
// read through a cursor, or in parentheses read in one go, row by row.
void ServerCostPerOpen(benchmark::State &state, const QString &sql)
{
    TADOConnection connection;
    TADOQuery query;
    query.SetConnection(&connection);
    query.SQL.Add(QStringLiteral("SELECT pg_backend_pid()"));
    query.Open();
    const int pid = query.Fields(0)->AsString().toInt();
    query.Close();
    query.SQL.Clear();
    query.SQL.Add(sql);
    const double cpu = BackendCpuSeconds(pid);
    std::int64_t opens = 0;
    double bytes = 0;
    for (auto _ : state) {
        query.Open();
        query.FetchAll();
        state.PauseTiming();
        if (!opens)
            bytes = RowBytes(query);
        state.ResumeTiming();
        query.Close();
        ++opens;
    }
    state.counters["server_cpu_ms_per_open"] = (BackendCpuSeconds(pid) - cpu) * 1000 / double(opens);
    state.counters["row_bytes_sent_per_open"] = bytes;
}
void BM_ServerCostPerOpen(benchmark::State &state)
{
    ServerCostPerOpen(state, QStringLiteral("SELECT * FROM DBASE ORDER BY AD"));
}
void BM_ServerCostPerOpenSorted(benchmark::State &state)
{
    ServerCostPerOpen(state, QStringLiteral("(SELECT * FROM DBASE ORDER BY AD)"));
}

// Arguments: the desktops, and 1 to read as the version before did.
void BM_Office(benchmark::State &state)
{
    const int desktops = int(state.range(0));
    const bool before = state.range(1) != 0;
    const int seconds =
        qEnvironmentVariableIntValue("VELMORA_OFFICE_SECONDS") > 0 ? qEnvironmentVariableIntValue("VELMORA_OFFICE_SECONDS") : 20;
    TTimes all;
    for (auto _ : state) {
        std::vector<TTimes> times(static_cast<std::size_t>(desktops));
        std::vector<std::thread> threads;
        for (int d = 0; d < desktops; ++d)
            threads.emplace_back(Desktop, d, std::chrono::seconds(seconds), before, std::ref(times[std::size_t(d)]));
        for (std::thread &t : threads)
            t.join();
        for (const TTimes &t : times) {
            for (const auto &[kind, ms] : t.Ms)
                all.Ms[kind].insert(all.Ms[kind].end(), ms.begin(), ms.end());
            all.Conflicts += t.Conflicts;
            all.Failures += t.Failures;
        }
    }
    for (const auto &[kind, ms] : all.Ms) {
        if (kind.rfind("open", 0) != 0)
            state.counters[kind + "/s"] = double(ms.size()) / seconds;
        state.counters[kind + "_p50_ms"] = Percentile(ms, 0.5);
        state.counters[kind + "_p99_ms"] = Percentile(ms, 0.99);
    }
    state.counters["conflicts"] = all.Conflicts;
    state.counters["failures"] = all.Failures;
}

// The server's own time for one statement, read from EXPLAIN ANALYZE
// through the record set.
double ServerMs(TADOQuery &query, const QString &sql, const QString &pattern)
{
    query.Close();
    query.SQL.Clear();
    query.SQL.Add(QStringLiteral("EXPLAIN (ANALYZE, TIMING OFF) ") + sql);
    query.Parameters.SetValue(0, pattern);
    query.Open();
    query.Last();
    const QString line = query.Fields(0)->AsString();
    return line.section(u':', 1).trimmed().section(u' ', 0, 0).toDouble();
}

void ServerTime(benchmark::State &state, const QString &source, const char *like)
{
    TADOConnection connection;
    connection.SetConnectionString(QStringLiteral("Data Source=") + source);
    TADOQuery query;
    query.SetConnection(&connection);
    const QString sql = QStringLiteral("SELECT * FROM DBASE WHERE SOYAD %1 :deger ORDER BY AD").arg(QLatin1String(like));
    std::size_t k = 0;
    for (auto _ : state)
        state.SetIterationTime(ServerMs(query, sql, QString::fromUtf8(kNamePatterns[k++ % std::size(kNamePatterns)])) / 1000);
}

void BM_TurkishSearchServerTime(benchmark::State &state)
{
    ServerTime(state, QStringLiteral("fihrist.mdb"), "LIKE");
}
void BM_PlainLikeServerTime(benchmark::State &state)
{
    ServerTime(state, QStringLiteral("fihrist.mdb"), "OPERATOR(pg_catalog.~~)");
}
void BM_TurkishSearchWithoutIndexes(benchmark::State &state)
{
    ServerTime(state, QStringLiteral("indekssiz.mdb"), "LIKE");
}

BENCHMARK(BM_Office)->Args({10, 0})->Args({50, 0})->Args({50, 1})->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ServerCostPerOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_ServerCostPerOpenSorted)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_TurkishSearchServerTime)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(40);
BENCHMARK(BM_PlainLikeServerTime)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(40);
BENCHMARK(BM_TurkishSearchWithoutIndexes)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    int rc = 0;
    try {
        TBenchCluster cluster(kContacts);
        gServer = cluster.Server();
        const auto settings = OpenPlatformSettings(QStringLiteral("Veri"));
        settings->setValue(QStringLiteral("Sources/indekssiz.mdb"),
                           gServer + QStringLiteral(" options='-c enable_indexscan=off -c enable_bitmapscan=off'"));
        settings->sync();

        TRatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        reporter.PrintRatio("Turkish search / plain LIKE, server time", "BM_TurkishSearchServerTime", "BM_PlainLikeServerTime", 1.5);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        rc = 1;
    }
    benchmark::Shutdown();
    return rc;
}
