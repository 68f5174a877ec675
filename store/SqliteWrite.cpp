// The file's long writes: one transaction holding the write lock, and rows
// added through one prepared INSERT of many rows at a time.
#include "store/SqliteProvider.h"

#include "platform/core/Exception.h"
#include "store/RowArena.h"
#include "store/Statement.h"
#include "store/StatementText.h"

#include <sqlite3.h>
#include <vector>

namespace {

class TSqliteBulkInsert final : public TBulkInsert {
public:
    TSqliteBulkInsert(sqlite3 *db, const TWriteTarget &target, const QStringList &columns)
        : FDb(db), FTarget(target), FColumns(columns), FCount(int(columns.size())),
          FInsert(db, InsertRowsSql(target, columns, kRowsAStatement))
    {
        FHeld.reserve(std::size_t(kRowsAStatement * FCount));
    }

    void Add(const QByteArray *values) override
    {
        FHeld.insert(FHeld.end(), values, values + FCount);
        if (FHeld.size() == std::size_t(kRowsAStatement * FCount))
            Write(FInsert);
    }

    void Finish() override
    {
        if (FHeld.empty())
            return;
        TStatement rest(FDb, InsertRowsSql(FTarget, FColumns, int(FHeld.size()) / FCount));
        Write(rest);
    }

private:
    // Rows a statement writes: the engine's work per statement is shared
    // out over them.
    static constexpr int kRowsAStatement = 64;

    void Write(TStatement &insert)
    {
        for (std::size_t i = 0; i < FHeld.size(); ++i) {
            if (FHeld[i].isNull())
                insert.BindNull(int(i) + 1);
            else
                insert.BindTextInPlace(int(i) + 1, FHeld[i]);
        }
        insert.Execute();
        insert.Reset();
        FHeld.clear();
    }

    sqlite3 *FDb;
    TWriteTarget FTarget;
    QStringList FColumns;
    int FCount;
    TStatement FInsert;
    std::vector<QByteArray> FHeld; // rows held back, their values in turn
};

} // namespace

void TSqliteProvider::BeginWrite()
{
    // BEGIN IMMEDIATE waits for another program's write as long as the
    // busy timeout allows.
    try {
        ExecuteSql(FDb, BeginWriteSql());
    } catch (const EDatabaseError &) {
        if (sqlite3_errcode(FDb) == SQLITE_BUSY || sqlite3_errcode(FDb) == SQLITE_LOCKED)
            throw DatabaseInUseError();
        throw;
    }
}

void TSqliteProvider::CommitWrite()
{
    try {
        ExecuteSql(FDb, CommitSql());
    } catch (const EDatabaseError &) {
        if (sqlite3_errcode(FDb) == SQLITE_BUSY)
            throw DatabaseInUseError();
        throw;
    }
}

void TSqliteProvider::RollbackWrite() noexcept
{
    if (!sqlite3_get_autocommit(FDb))
        sqlite3_exec(FDb, RollbackSql().constData(), nullptr, nullptr, nullptr);
}

std::unique_ptr<TBulkInsert> TSqliteProvider::BulkInsert(const TWriteTarget &target, const QStringList &columns)
{
    return std::make_unique<TSqliteBulkInsert>(FDb, target, columns);
}

int TSqliteProvider::RunStatement(const QByteArray &sql, const std::vector<TCellValue> &values, TRowArena *rows)
{
    TStatement stmt(FDb, sql);
    for (int i = 1; i <= stmt.ParameterCount(); ++i) {
        const QByteArray name = stmt.ParameterName(i);
        const std::size_t number = name.isEmpty() ? std::size_t(i) : std::size_t(name.mid(1).toInt());
        if (number >= 1 && number <= values.size())
            values[number - 1].Bind(stmt, i);
        else
            stmt.BindNull(i);
    }
    const int n = stmt.ColumnCount();
    if (rows) {
        rows->Clear();
        rows->SetColumnCount(n);
    }
    try {
        while (stmt.Step()) {
            if (!rows)
                continue;
            rows->BeginRow();
            for (int c = 0; c < n; ++c)
                rows->AddCell(TCellValue::FromColumn(stmt, c).View());
            rows->EndRow();
        }
    } catch (const EDatabaseError &) {
        if (sqlite3_errcode(FDb) == SQLITE_BUSY || sqlite3_errcode(FDb) == SQLITE_LOCKED)
            throw DatabaseInUseError();
        throw;
    }
    return n == 0 ? sqlite3_changes(FDb) : 0;
}

TSyncSql TSqliteProvider::SyncSql(const TWriteTarget &contacts, const QStringList &columns, const QString &key) const
{
    return SyncTablesSql(contacts, columns, key);
}
