// Append, Edit, Post, Cancel and Delete: the pending row and how it is
// written to the database.
#include "store/ADOQuery.h"

#include "store/ADOConnection.h"
#include "store/ADOQueryImpl.h"
#include "store/Statement.h"
#include "store/StatementText.h"

#include <sqlite3.h>

namespace {

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

} // namespace

// -- editing ---------------------------------------------------------------

void TADOQuery::BeginInsert()
{
    d->CursorBeforeInsert = d->Cursor;
    d->Pending.assign(d->Columns.size(), TCellValue());
    d->Changed.assign(d->Columns.size(), false);
    d->Cursor = d->RowCount();
    SetState(rsInsert);
    Notify(TDataEvent::DataSetChanged);
}

void TADOQuery::Append()
{
    CheckActive();
    CheckWritable();
    FinishPending();
    BeginInsert();
}

void TADOQuery::Edit()
{
    CheckActive();
    if (d->Editing())
        return;
    CheckWritable();
    if (!d->HasRow()) {
        BeginInsert();
        return;
    }
    d->Pending = d->RowValues(d->Cursor);
    d->Changed.assign(d->Columns.size(), false);
    SetState(rsEdit);
}

void TADOQuery::Post()
{
    if (!d->Editing())
        RaiseNotEditing();
    UpdateData();
    if (!d->Editing())
        RaiseNotEditing();
    WritePending();
}

void TADOQuery::Cancel()
{
    if (!d->Editing())
        return;
    const bool inserting = d->State == rsInsert;
    d->Pending.clear();
    d->Changed.clear();
    if (inserting) {
        d->Cursor = std::min(d->CursorBeforeInsert, d->RowCount() - 1);
        if (d->Cursor < 0 && d->RowCount())
            d->Cursor = 0;
        d->Eof = d->Bof = d->RowCount() == 0;
    }
    SetState(rsBrowse);
    Notify(inserting ? TDataEvent::DataSetChanged : TDataEvent::RecordChanged);
}

bool TADOQuery::Modified() const
{
    if (!d->Editing())
        return false;
    for (bool c : d->Changed)
        if (c)
            return true;
    return false;
}

QStringList TADOQuery::OriginsOf(const std::vector<int> &columns) const
{
    QStringList names;
    for (int c : columns)
        names << d->Columns[std::size_t(c)].Origin;
    return names;
}

std::vector<int> TADOQuery::RowMatchColumns(const std::vector<int> &alsoCheck) const
{
    std::vector<int> where = d->Table.KeyColumns;
    if (where.empty()) {
        for (int c = 0; c < int(d->Columns.size()); ++c)
            where.push_back(c);
        return where;
    }
    for (int c : alsoCheck)
        if (std::find(where.begin(), where.end(), c) == where.end())
            where.push_back(c);
    return where;
}

void TADOQuery::WritePending()
{
    sqlite3 *db = FConnection ? FConnection->Handle() : nullptr;
    if (!db)
        throw EDatabaseError(ClosedText());
    const int n = int(d->Columns.size());
    std::vector<int> changed;
    for (int c = 0; c < n; ++c)
        if (d->Changed[std::size_t(c)])
            changed.push_back(c);

    if (d->State == rsInsert) {
        std::vector<int> all;
        for (int c = 0; c < n; ++c)
            all.push_back(c);
        TStatement insert(db, InsertSql(d->Table.Target, OriginsOf(changed), OriginsOf(all)));
        int pos = 1;
        for (int c : changed)
            d->Pending[std::size_t(c)].Bind(insert, pos++);
        // The row as stored: its new key and the defaults of the columns
        // nobody touched.
        std::vector<TCellValue> stored = d->Pending;
        if (insert.Step())
            for (int c = 0; c < n; ++c)
                stored[std::size_t(c)] = TCellValue::FromColumn(insert, c);
        insert.Execute();

        d->Rows.BeginRow();
        for (const TCellValue &v : stored)
            d->Rows.AddCell(v.View());
        d->Rows.EndRow();
        d->Pending.clear();
        d->Changed.clear();
        d->Cursor = d->RowCount() - 1;
        d->Eof = d->Bof = false;
        SetState(rsBrowse);
        Notify(TDataEvent::DataSetChanged);
        return;
    }

    // rsEdit
    if (!changed.empty()) {
        const std::vector<TCellValue> original = d->RowValues(d->Cursor);
        const std::vector<int> where = RowMatchColumns(changed);
        const bool byKey = !d->Table.KeyColumns.empty();
        std::optional<TSavepoint> savepoint;
        if (!byKey)
            savepoint.emplace(db);
        TStatement update(db, UpdateSql(d->Table.Target, OriginsOf(changed), OriginsOf(where), OriginsOf(changed)));
        int pos = 1;
        for (int c : changed)
            d->Pending[std::size_t(c)].Bind(update, pos++);
        for (int c : where)
            original[std::size_t(c)].Bind(update, pos++);
        std::vector<TCellValue> stored = d->Pending;
        int rowsChanged = 0;
        while (update.Step()) {
            if (rowsChanged++ == 0)
                for (std::size_t k = 0; k < changed.size(); ++k)
                    stored[std::size_t(changed[k])] = TCellValue::FromColumn(update, int(k));
        }
        if (rowsChanged == 0)
            throw EDatabaseError(QStringLiteral(
                "Row cannot be located for updating. Some values may have been changed since it was last read."));
        if (rowsChanged > 1)
            throw EDatabaseError(QStringLiteral(
                "Key column information is insufficient or incorrect. Too many rows were affected by update."));
        if (savepoint)
            savepoint->Release();

        // Only the changed columns take what was written; the others keep
        // what was read.
        std::vector<TCellValue> row = original;
        for (int c : changed)
            row[std::size_t(c)] = stored[std::size_t(c)];
        d->Rows.BeginRow();
        for (const TCellValue &v : row)
            d->Rows.AddCell(v.View());
        d->Rows.EndRowReplacing(std::size_t(d->Cursor));
    }
    d->Pending.clear();
    d->Changed.clear();
    SetState(rsBrowse);
    Notify(TDataEvent::RecordChanged);
}

void TADOQuery::Delete()
{
    CheckActive();
    if (d->State == rsInsert) {
        Cancel();
        return;
    }
    if (!d->HasRow())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    CheckWritable();
    if (d->Editing())
        UpdateData();
    sqlite3 *db = FConnection ? FConnection->Handle() : nullptr;
    if (!db)
        throw EDatabaseError(ClosedText());

    const std::vector<TCellValue> original = d->RowValues(d->Cursor);
    const std::vector<int> where = RowMatchColumns({});
    const bool byKey = !d->Table.KeyColumns.empty();
    {
        std::optional<TSavepoint> savepoint;
        if (!byKey)
            savepoint.emplace(db);
        TStatement del(db, DeleteSql(d->Table.Target, OriginsOf(where)));
        int pos = 1;
        for (int c : where)
            original[std::size_t(c)].Bind(del, pos++);
        del.Execute();
        const int deleted = sqlite3_changes(db);
        if (deleted > 1)
            throw EDatabaseError(QStringLiteral(
                "Key column information is insufficient or incorrect. Too many rows were affected by delete."));
        // By key, no row deleted means another program deleted it first:
        // it is gone either way. By values, the row may have been changed.
        if (deleted == 0 && !byKey)
            throw EDatabaseError(QStringLiteral(
                "Row cannot be located for deleting. Some values may have been changed since it was last read."));
        if (savepoint)
            savepoint->Release();
    }

    d->Rows.RemoveRow(std::size_t(d->Cursor));
    d->Pending.clear();
    d->Changed.clear();
    if (d->Cursor >= d->RowCount())
        d->Cursor = d->RowCount() - 1;
    d->Eof = d->Bof = d->RowCount() == 0;
    SetState(rsBrowse);
    Notify(TDataEvent::DataSetChanged);
}
