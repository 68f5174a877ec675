// Who is calling, among 100,000 sample contacts: the program's lookup of a
// received number (through a record set on the file, compared by the
// numbers' keys) against a plain SQL query on the same file that finds the
// same contact by the number exactly as stored, in the same run.
#include "app/CallerLookup.h"
#include "bench/support/BenchSupport.h"
#include "contacts/ContactsDatabase.h"
#include "store/ADOConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sqlite3.h>

namespace {

constexpr int kContacts = 100000;

QString gDatabase;
QString gStored;   // a mobile number as the file holds it, "0532 123 45 67"
QString gReceived; // the same number as a modem reports it, "5321234567"

void BM_FindCaller(benchmark::State &state)
{
    TADOConnection connection;
    connection.SetConnectionString(QStringLiteral("Data Source=fihrist.mdb"));
    connection.Open();
    TCallerMatch match;
    for (auto _ : state)
        match = FindCaller(&connection, gReceived, TPhonePlace{});
    if (!match.Found)
        state.SkipWithError("the caller was not found");
}

void BM_PlainSqlQuery(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(gDatabase).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM DBASE WHERE CTELEFON = ?1 OR ETELEFON = ?1 OR ITELEFON = ?1 ORDER BY AD", -1, &stmt, nullptr);
    const QByteArray number = gStored.toUtf8();
    int rows = 0;
    for (auto _ : state) {
        sqlite3_bind_text(stmt, 1, number.constData(), int(number.size()), SQLITE_STATIC);
        rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            ++rows;
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (rows == 0)
        state.SkipWithError("the plain query found nothing");
}

BENCHMARK(BM_FindCaller)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_PlainSqlQuery)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// A mobile number the sample file holds, from its middle.
QString StoredMobile()
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(gDatabase).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT CTELEFON FROM DBASE WHERE CTELEFON LIKE '05%' AND No > 50000 LIMIT 1", -1, &stmt, nullptr);
    QString number;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        number = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return number;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir dir;
    gDatabase = dir.filePath(QStringLiteral("fihrist.mdb"));
    CreateContactsDatabase(gDatabase);
    AddSampleContacts(gDatabase, kContacts);
    QDir::setCurrent(dir.path());
    gStored = StoredMobile();
    gReceived = gStored;
    gReceived.remove(u' ');
    gReceived.remove(0, 1); // caller ID gives the national number without its "0"

    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("caller lookup / plain SQL query", "BM_FindCaller", "BM_PlainSqlQuery", 10.0);
    benchmark::Shutdown();
    return 0;
}
