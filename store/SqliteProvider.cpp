#include "store/SqliteProvider.h"

#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "platform/core/ReadableFile.h"
#include "store/JetSignature.h"
#include "store/RowArena.h"
#include "store/Statement.h"
#include "store/TurkishText.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

// The file must exist, be a regular file (a named pipe or a device would
// block the reading) and begin like an SQLite database (an empty file is an
// empty database). Nothing is created and nothing written.
void CheckDatabaseFile(const QString &path)
{
    QFile file;
    try {
        TReadableFile readable(path);
        if (!file.open(readable.Release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            throw EFileError(file.errorString(), {TErrorKind::FileRead, path, file.errorString(), 0});
    } catch (const EFileError &e) {
        // The record set's own words, with what the user meets in them.
        switch (e.Kind()) {
        case TErrorKind::FileMissing: throw EDatabaseError(QStringLiteral("Could not find file '%1'.").arg(path), e.Facts());
        case TErrorKind::NotAFile:
            if (QFileInfo(path).isDir())
                throw EDatabaseError(QStringLiteral("Could not find file '%1'.").arg(path), e.Facts());
            throw EDatabaseError(QStringLiteral("Unrecognized database format '%1'.").arg(path), e.Facts());
        default: throw EDatabaseError(QStringLiteral("The file '%1' cannot be opened: %2").arg(path, e.Facts().Detail), e.Facts());
        }
    }
    const QByteArray head = file.read(100);
    static const QByteArray magic("SQLite format 3\0", 16);
    if (HasJetSignature(head))
        throw EDatabaseError(QStringLiteral("Unrecognized database format '%1'. %2").arg(path, JetConvertHint(path)),
                             {TErrorKind::OldDatabase, path, {}, 0});
    if (!head.isEmpty() && (head.size() < 100 || !head.startsWith(magic)))
        throw EDatabaseError(QStringLiteral("Unrecognized database format '%1'.").arg(path), {TErrorKind::NotADatabase, path, {}, 0});
}

// What one statement may do. A statement of this program reads each stored
// row a few times, so its work follows the size of the file; one that goes
// far beyond that (a view over an endless recursive query, whose sort would
// also fill the disk with temporary data) is stopped, and TStatement reports
// it. The work is counted in the engine's steps from the start of each
// statement, checked every so many.
constexpr int kStepsBetweenChecks = 10000;
constexpr qint64 kBaseSteps = 4'000'000;
constexpr qint64 kStepsPerFileByte = 16;

qint64 StepBound(sqlite3 *db)
{
    qint64 bytes = 0;
    const sqlite3_filename file = sqlite3_db_filename(db, "main");
    for (const char *name : {static_cast<const char *>(file), file ? sqlite3_filename_wal(file) : nullptr}) {
        struct stat st;
        if (name && *name && ::stat(name, &st) == 0)
            bytes += st.st_size;
    }
    return kBaseSteps + kStepsPerFileByte * bytes;
}

int CountWork(void *meter)
{
    auto *work = static_cast<TSqliteProvider::TWorkMeter *>(meter);
    work->Steps += kStepsBetweenChecks;
    return work->Steps > kBaseSteps && work->Steps > StepBound(work->Db) ? 1 : 0;
}

int StatementStarts(unsigned, void *meter, void *, void *)
{
    static_cast<TSqliteProvider::TWorkMeter *>(meter)->Steps = 0;
    return 0;
}

// A write that must touch at most one row runs inside a save point, so
// that a write that touched more is taken back whole.
class TSavepoint {
public:
    explicit TSavepoint(sqlite3 *db) : FDb(db) { ExecuteSql(db, SavepointSql()); }
    ~TSavepoint()
    {
        if (!FReleased) {
            sqlite3_exec(FDb, RollbackToSavepointSql().constData(), nullptr, nullptr, nullptr);
            sqlite3_exec(FDb, ReleaseSavepointSql().constData(), nullptr, nullptr, nullptr);
        }
    }
    void Release()
    {
        ExecuteSql(FDb, ReleaseSavepointSql());
        FReleased = true;
    }

private:
    sqlite3 *FDb;
    bool FReleased = false;
};

void BindAll(TStatement &stmt, int &pos, const std::vector<TCellValue> &values)
{
    for (const TCellValue &v : values)
        v.Bind(stmt, pos++);
}

} // namespace

TSqliteProvider::TSqliteProvider(const QString &path)
{
    CheckDatabaseFile(path);
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        throw EDatabaseError(message);
    }
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    FWork = {db, 0};
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, StatementStarts, &FWork);
    sqlite3_progress_handler(db, kStepsBetweenChecks, CountWork, &FWork);

    bool turkishNoCase = false;
    try {
        // Reading the schema proves the file is a database we can read.
        sqlite3_stmt *probe = nullptr;
        const QByteArray probeSql = SchemaProbeSql();
        int code = sqlite3_prepare_v2(db, probeSql.constData(), int(probeSql.size()), &probe, nullptr);
        if (code == SQLITE_OK) {
            code = sqlite3_step(probe);
            if (code == SQLITE_ROW || code == SQLITE_DONE)
                code = SQLITE_OK;
        }
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(probe);
        if (code == SQLITE_NOTADB)
            throw EDatabaseError(QStringLiteral("Unrecognized database format '%1'.").arg(path), {TErrorKind::NotADatabase, path, {}, 0});
        if (code != SQLITE_OK)
            throw EDatabaseError(message);
        RegisterTurkishLike(db);
        TStatement noCaseIndexes(db, NoCaseIndexSql());
        turkishNoCase = !noCaseIndexes.Step();
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    if (turkishNoCase)
        RegisterTurkishNoCase(db);
    FDb = db;
    FTurkishNoCase = turkishNoCase;
}

TSqliteProvider::~TSqliteProvider()
{
    sqlite3_close_v2(FDb);
}

std::vector<TCellValue> TSqliteProvider::Insert(const TWriteTarget &target, const QStringList &columns,
                                                const std::vector<TCellValue> &values, const QStringList &returning)
{
    TStatement insert(FDb, InsertSql(target, columns, returning));
    int pos = 1;
    BindAll(insert, pos, values);
    std::vector<TCellValue> stored;
    if (insert.Step())
        for (int c = 0; c < int(returning.size()); ++c)
            stored.push_back(TCellValue::FromColumn(insert, c));
    insert.Execute();
    return stored;
}

int TSqliteProvider::Update(const TRowWrite &write, std::vector<TCellValue> *stored)
{
    std::optional<TSavepoint> savepoint;
    if (!write.ByKey)
        savepoint.emplace(FDb);
    const QStringList &returning = write.Returning.isEmpty() ? write.Set : write.Returning;
    TStatement update(FDb, UpdateSql(write.Target, write.Set, write.Where, returning));
    int pos = 1;
    BindAll(update, pos, write.Values);
    BindAll(update, pos, write.Original);
    int rowsChanged = 0;
    while (update.Step()) {
        if (rowsChanged++ == 0)
            for (int k = 0; k < int(returning.size()); ++k)
                stored->push_back(TCellValue::FromColumn(update, k));
    }
    if (rowsChanged == 1 && savepoint)
        savepoint->Release();
    return rowsChanged;
}

int TSqliteProvider::Delete(const TRowWrite &write)
{
    std::optional<TSavepoint> savepoint;
    if (!write.ByKey)
        savepoint.emplace(FDb);
    TStatement del(FDb, DeleteSql(write.Target, write.Where));
    int pos = 1;
    BindAll(del, pos, write.Original);
    del.Execute();
    const int deleted = sqlite3_changes(FDb);
    if (deleted == 1 && savepoint)
        savepoint->Release();
    return deleted;
}

TCallLogAccess TSqliteProvider::PrepareCallLog()
{
    // A file the user may not write is opened read-only by SQLite.
    if (sqlite3_db_readonly(FDb, "main") == 1) {
        TStatement exists(FDb, CallLogExistsSql());
        return exists.Step() ? TCallLogAccess::ReadOnly : TCallLogAccess::Missing;
    }
    TStatement(FDb, CreateCallLogSql()).Execute();
    TStatement hasOutcome(FDb, CallLogHasOutcomeSql());
    if (!hasOutcome.Step())
        TStatement(FDb, AddCallLogOutcomeSql()).Execute();
    return TCallLogAccess::Writable;
}
