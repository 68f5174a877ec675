// Append, Edit, Post, Cancel and Delete: the pending row and how it is
// written to the database.
#include "store/ADOQuery.h"

#include "store/ADOConnection.h"
#include "store/ADOQueryImpl.h"
#include "store/Provider.h"

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
    FetchAll(); // the new row goes after the last
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

TProvider *TADOQuery::Engine() const
{
    TProvider *engine = FConnection ? FConnection->Engine() : nullptr;
    if (!engine)
        throw EDatabaseError(ClosedText());
    return engine;
}

void TADOQuery::WritePending()
{
    TProvider *engine = Engine();
    const int n = int(d->Columns.size());
    std::vector<int> changed;
    for (int c = 0; c < n; ++c)
        if (d->Changed[std::size_t(c)])
            changed.push_back(c);

    if (d->State == rsInsert) {
        std::vector<int> all;
        for (int c = 0; c < n; ++c)
            all.push_back(c);
        std::vector<TCellValue> values;
        for (int c : changed)
            values.push_back(d->Pending[std::size_t(c)]);
        // The row as stored: its new key and the defaults of the columns
        // nobody touched.
        std::vector<TCellValue> stored = engine->Insert(d->Table.Target, OriginsOf(changed), values, OriginsOf(all));
        if (stored.size() != std::size_t(n))
            stored = d->Pending;

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
        TRowWrite write{d->Table.Target, OriginsOf(changed), {}, OriginsOf(where), {}, !d->Table.KeyColumns.empty()};
        for (int c : changed)
            write.Values.push_back(d->Pending[std::size_t(c)]);
        for (int c : where)
            write.Original.push_back(original[std::size_t(c)]);
        std::vector<TCellValue> stored;
        const int rowsChanged = engine->Update(write, &stored);
        if (rowsChanged == 0)
            throw EDatabaseError(
                QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read."));
        if (rowsChanged > 1)
            throw EDatabaseError(
                QStringLiteral("Key column information is insufficient or incorrect. Too many rows were affected by update."));

        // Only the changed columns take what was written; the others keep
        // what was read.
        std::vector<TCellValue> row = original;
        for (std::size_t k = 0; k < changed.size(); ++k)
            row[std::size_t(changed[k])] = k < stored.size() ? stored[k] : d->Pending[std::size_t(changed[k])];
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

// The columns read from the table (not expressions), in order.
std::vector<int> TADOQuery::StoredColumns() const
{
    std::vector<int> columns;
    for (int c = 0; c < int(d->Columns.size()); ++c)
        if (!d->Columns[std::size_t(c)].Origin.isEmpty())
            columns.push_back(c);
    return columns;
}

// After a delete that found the row changed: the row as another program
// left it, found by its key, takes its place in the snapshot so that the
// user sees what is there now. False when the row is gone.
bool TADOQuery::ShowRowAsStored(const std::vector<TCellValue> &original)
{
    const std::vector<int> all = StoredColumns();
    // The key set to itself changes nothing and returns the whole row.
    const QStringList key = OriginsOf(d->Table.KeyColumns);
    TRowWrite look{d->Table.Target, key, {}, key, {}, true, OriginsOf(all)};
    for (int c : d->Table.KeyColumns) {
        look.Values.push_back(original[std::size_t(c)]);
        look.Original.push_back(original[std::size_t(c)]);
    }
    std::vector<TCellValue> stored;
    if (Engine()->Update(look, &stored) != 1 || stored.size() != all.size())
        return false;
    std::vector<TCellValue> row = original;
    for (std::size_t k = 0; k < all.size(); ++k)
        row[std::size_t(all[k])] = stored[k];
    d->Rows.BeginRow();
    for (const TCellValue &v : row)
        d->Rows.AddCell(v.View());
    d->Rows.EndRowReplacing(std::size_t(d->Cursor));
    Notify(TDataEvent::RecordChanged);
    return true;
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
    TProvider *engine = Engine();
    const std::vector<TCellValue> original = d->RowValues(d->Cursor);
    // The row goes only as it was read: every column still holding the
    // value read, like the changed columns of a Post.
    const std::vector<int> where = RowMatchColumns(StoredColumns());
    TRowWrite write{d->Table.Target, {}, {}, OriginsOf(where), {}, !d->Table.KeyColumns.empty()};
    for (int c : where)
        write.Original.push_back(original[std::size_t(c)]);
    const int deleted = engine->Delete(write);
    if (deleted > 1)
        throw EDatabaseError(QStringLiteral("Key column information is insufficient or incorrect. Too many rows were affected by delete."));
    if (deleted == 0 && (!write.ByKey || ShowRowAsStored(original)))
        throw EDatabaseError(
            QStringLiteral("Row cannot be located for deleting. Some values may have been changed since it was last read."));
    // Otherwise another program deleted it first: it is gone either way.

    d->Rows.RemoveRow(std::size_t(d->Cursor));
    d->Pending.clear();
    d->Changed.clear();
    if (d->Cursor >= d->RowCount())
        d->Cursor = d->RowCount() - 1;
    d->Eof = d->Bof = d->RowCount() == 0;
    SetState(rsBrowse);
    Notify(TDataEvent::DataSetChanged);
}
