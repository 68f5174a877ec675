#include "store/ADOQuery.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/CellValue.h"
#include "store/DataSource.h"
#include "store/ResultColumns.h"
#include "store/RowArena.h"
#include "store/Statement.h"
#include "store/StatementText.h"

#include <sqlite3.h>

namespace {

const QString &ClosedText()
{
    static const QString text = QStringLiteral("Cannot perform this operation on a closed dataset");
    return text;
}

[[noreturn]] void RaiseNotEditing()
{
    throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
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

} // namespace

class TADOQuery::TImpl {
public:
    TDataSetState State = rsClosed;
    TRowArena Rows;
    std::vector<TResultColumn> Columns;
    TResultTable Table;
    std::vector<std::unique_ptr<TField>> Fields;
    long long Cursor = -1;             // the current row of the snapshot; RowCount() while inserting
    long long CursorBeforeInsert = -1; // where Cancel of a new row goes back to
    bool Eof = true;
    bool Bof = true;
    int DisableCount = 0;
    std::vector<TCellValue> Pending;   // the row being edited or inserted
    std::vector<bool> Changed;

    long long RowCount() const { return (long long)Rows.RowCount(); }
    bool Editing() const { return State == rsEdit || State == rsInsert; }
    bool HasRow() const { return Cursor >= 0 && Cursor < RowCount(); }

    TCellView CurrentCell(int i) const
    {
        if (Editing())
            return Pending[std::size_t(i)].View();
        if (State != rsClosed && HasRow())
            return Rows.Cell(std::size_t(Cursor), i);
        return {};
    }

    std::vector<TCellValue> RowValues(long long row) const
    {
        std::vector<TCellValue> values;
        values.reserve(Columns.size());
        for (int c = 0; c < int(Columns.size()); ++c)
            values.push_back(TCellValue::FromView(Rows.Cell(std::size_t(row), c)));
        return values;
    }
};

TADOQuery::TADOQuery() : d(std::make_unique<TImpl>()) {}

TADOQuery::~TADOQuery()
{
    if (FDataSource && FDataSource->DataSet() == this)
        FDataSource->SetDataSet(nullptr);
    FDataSource = nullptr;
    if (FConnection)
        FConnection->DetachDataSet(this);
}

void TADOQuery::SetConnection(TADOConnection *c)
{
    if (FConnection == c)
        return;
    Close();
    if (FConnection)
        FConnection->DetachDataSet(this);
    FConnection = c;
    if (FConnection)
        FConnection->AttachDataSet(this);
}

TDataSetState TADOQuery::State() const
{
    return d->State;
}

// -- notifications ---------------------------------------------------------

void TADOQuery::Notify(TDataEvent event)
{
    if (FDataSource)
        FDataSource->Notify(event);
}

void TADOQuery::SetState(TDataSetState state)
{
    if (d->State == state)
        return;
    d->State = state;
    Notify(TDataEvent::StateChanged);
}

void TADOQuery::UpdateData()
{
    if (FDataSource)
        FDataSource->UpdateData();
}

void TADOQuery::CheckActive() const
{
    if (d->State == rsClosed)
        throw EDatabaseError(ClosedText());
}

void TADOQuery::CheckWritable() const
{
    if (!d->Table.Updatable)
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
}

void TADOQuery::FinishPending()
{
    if (!d->Editing())
        return;
    UpdateData();
    if (!d->Editing())
        return;
    if (Modified())
        WritePending();
    else
        Cancel();
}

// -- open and close --------------------------------------------------------

void TADOQuery::Open()
{
    if (Active())
        return;
    if (!FConnection)
        throw EDatabaseError(QStringLiteral("Missing Connection or ConnectionString"));
    FConnection->Open();

    TStatement stmt(FConnection->Handle(), SQL.Text());
    if (stmt.ColumnCount() == 0 || !stmt.ReadOnly())
        throw EDatabaseError(QStringLiteral("CommandText does not return a result set"));
    // Parameters go by position; a name the engine merged into one
    // parameter takes the value of its first occurrence.
    for (int i = 1; i <= stmt.ParameterCount(); ++i) {
        const QString name = QString::fromUtf8(stmt.ParameterName(i).mid(1));
        int index = -1;
        for (int k = 0; k < Parameters.Count() && index < 0 && !name.isEmpty(); ++k)
            if (Parameters[k].Name.compare(name, Qt::CaseInsensitive) == 0)
                index = k;
        if (index < 0 && i - 1 < Parameters.Count())
            index = i - 1;
        if (index >= 0 && Parameters[index].Value)
            stmt.BindText(i, *Parameters[index].Value);
        else
            stmt.BindNull(i);
    }

    TResultTable table;
    std::vector<TResultColumn> columns = DescribeColumns(stmt, &table);
    const int n = int(columns.size());

    TRowArena &rows = d->Rows;
    rows.Clear();
    rows.SetColumnCount(n);
    sqlite3_stmt *h = stmt.Handle();
    try {
        while (stmt.Step()) {
            rows.BeginRow();
            for (int c = 0; c < n; ++c) {
                switch (sqlite3_column_type(h, c)) {
                case SQLITE_INTEGER: rows.AddInteger(sqlite3_column_int64(h, c)); break;
                case SQLITE_FLOAT: rows.AddFloat(sqlite3_column_double(h, c)); break;
                case SQLITE_TEXT: {
                    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(h, c));
                    rows.AddBytes(TCellKind::Text, text, std::size_t(sqlite3_column_bytes(h, c)));
                    break;
                }
                case SQLITE_BLOB: {
                    const auto *blob = static_cast<const char *>(sqlite3_column_blob(h, c));
                    rows.AddBytes(TCellKind::Blob, blob, std::size_t(sqlite3_column_bytes(h, c)));
                    break;
                }
                default: rows.AddNull(); break;
                }
            }
            rows.EndRow();
        }
    } catch (...) {
        rows.Clear();
        throw;
    }
    rows.ShrinkToFit();

    // Columns without a declared type take the type of their first value.
    for (int c = 0; c < n; ++c) {
        TResultColumn &col = columns[std::size_t(c)];
        if (!col.TypeFromValues)
            continue;
        col.Type = ftString;
        for (std::size_t r = 0; r < rows.RowCount(); ++r) {
            const TCellView cell = rows.Cell(r, c);
            if (cell.Kind != TCellKind::Null) {
                col.Type = FieldTypeFromValue(cell.Kind);
                break;
            }
        }
    }

    // The same columns as before keep their field objects.
    bool same = d->Fields.size() == columns.size();
    for (int c = 0; same && c < n; ++c) {
        const TField *f = d->Fields[std::size_t(c)].get();
        const TResultColumn &col = columns[std::size_t(c)];
        same = f->FieldName() == col.Name && f->DataType() == col.Type && f->Size() == col.Size;
    }
    if (!same) {
        d->Fields.clear();
        for (int c = 0; c < n; ++c) {
            const TResultColumn &col = columns[std::size_t(c)];
            d->Fields.push_back(std::make_unique<TField>(this, c, col.Name, col.Type, col.Size));
        }
    }
    d->Columns = std::move(columns);
    d->Table = std::move(table);
    d->Cursor = d->RowCount() ? 0 : -1;
    d->Eof = d->RowCount() == 0;
    d->Bof = true;
    SetState(rsBrowse);
    Notify(TDataEvent::DataSetChanged);
}

void TADOQuery::Close()
{
    if (!Active())
        return;
    d->Rows.Clear();
    d->Pending.clear();
    d->Changed.clear();
    d->Cursor = -1;
    d->Eof = d->Bof = true;
    SetState(rsClosed);
    Notify(TDataEvent::DataSetChanged);
}

void TADOQuery::StatementChanged()
{
    Close();
    Parameters.Rebuild(SQL.Text());
}

// -- cursor ----------------------------------------------------------------

void TADOQuery::MoveTo(long long row)
{
    d->Cursor = row;
    d->Eof = d->Bof = false;
    Notify(TDataEvent::RecordChanged);
}

void TADOQuery::First()
{
    CheckActive();
    FinishPending();
    d->Cursor = d->RowCount() ? 0 : -1;
    d->Bof = true;
    d->Eof = d->RowCount() == 0;
    Notify(TDataEvent::RecordChanged);
}

void TADOQuery::Last()
{
    CheckActive();
    FinishPending();
    d->Cursor = d->RowCount() - 1;
    d->Bof = d->Eof = d->RowCount() == 0;
    Notify(TDataEvent::RecordChanged);
}

void TADOQuery::Next()
{
    CheckActive();
    FinishPending();
    if (d->Cursor + 1 < d->RowCount())
        MoveTo(d->Cursor + 1);
    else
        d->Eof = true;
}

void TADOQuery::Prior()
{
    CheckActive();
    FinishPending();
    if (d->Cursor > 0)
        MoveTo(d->Cursor - 1);
    else
        d->Bof = true;
}

bool TADOQuery::Eof() const
{
    return d->State == rsClosed || (d->State != rsInsert && d->Eof);
}

bool TADOQuery::Bof() const
{
    return d->State == rsClosed || (d->State != rsInsert && d->Bof);
}

bool TADOQuery::IsEmpty() const
{
    return d->State == rsClosed || (d->RowCount() == 0 && d->State != rsInsert);
}

int TADOQuery::RecordCount() const
{
    CheckActive();
    return int(d->RowCount());
}

int TADOQuery::RecNo() const
{
    CheckActive();
    if (d->State == rsInsert || !d->HasRow())
        return -1;
    return int(d->Cursor + 1);
}

void TADOQuery::SetRecNo(int recNo)
{
    CheckActive();
    // Outside the set nothing moves.
    if (recNo == RecNo() || recNo < 1 || recNo > d->RowCount())
        return;
    FinishPending();
    MoveTo(recNo - 1);
}

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

// -- bookmarks -------------------------------------------------------------

TBookmark TADOQuery::GetBookmark() const
{
    if (d->State == rsClosed || d->State == rsInsert || !d->HasRow())
        return std::nullopt;
    return (long long)d->Rows.RowId(std::size_t(d->Cursor));
}

void TADOQuery::GotoBookmark(const TBookmark &bookmark)
{
    CheckActive();
    if (!bookmark)
        return;
    FinishPending();
    const long long row = d->Rows.FindRow(std::uint64_t(*bookmark));
    if (row < 0)
        throw EDatabaseError(QStringLiteral("Record not found"));
    MoveTo(row);
}

bool TADOQuery::BookmarkValid(const TBookmark &bookmark) const
{
    return d->State != rsClosed && bookmark && *bookmark >= 0 && d->Rows.FindRow(std::uint64_t(*bookmark)) >= 0;
}

// -- controls --------------------------------------------------------------

void TADOQuery::DisableControls()
{
    ++d->DisableCount;
}

void TADOQuery::EnableControls()
{
    if (d->DisableCount == 0)
        return;
    if (--d->DisableCount == 0) {
        Notify(TDataEvent::DataSetChanged);
        Notify(TDataEvent::StateChanged);
    }
}

bool TADOQuery::ControlsDisabled() const
{
    return d->DisableCount > 0;
}

// -- fields ----------------------------------------------------------------

int TADOQuery::FieldCount() const
{
    return d->State == rsClosed ? 0 : int(d->Fields.size());
}

TField *TADOQuery::Fields(int index) const
{
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return d->Fields[std::size_t(index)].get();
}

TField *TADOQuery::FindField(const QString &name) const
{
    for (int i = 0; i < FieldCount(); ++i)
        if (d->Fields[std::size_t(i)]->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return d->Fields[std::size_t(i)].get();
    return nullptr;
}

int TADOQuery::FieldIndex(const QString &name) const
{
    const TField *field = FindField(name);
    return field ? field->Index() : -1;
}

int TADOQuery::FieldWidth(int fieldIndex) const
{
    return Fields(fieldIndex)->Size();
}

TField *TADOQuery::FieldByName(const QString &name) const
{
    if (TField *f = FindField(name))
        return f;
    throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}

void TADOQuery::CheckFieldIndex(int fieldIndex) const
{
    if (fieldIndex < 0 || fieldIndex >= int(d->Columns.size()))
        throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(fieldIndex));
}

bool TADOQuery::FieldIsNull(int fieldIndex) const
{
    CheckFieldIndex(fieldIndex);
    return d->CurrentCell(fieldIndex).Kind == TCellKind::Null;
}

QString TADOQuery::FieldText(int fieldIndex) const
{
    CheckFieldIndex(fieldIndex);
    return CellText(d->CurrentCell(fieldIndex), d->Columns[std::size_t(fieldIndex)].Type);
}

double TADOQuery::FieldDateTime(int fieldIndex) const
{
    CheckFieldIndex(fieldIndex);
    return CellDateTime(d->CurrentCell(fieldIndex));
}

void TADOQuery::SetFieldText(int fieldIndex, const std::optional<QString> &value)
{
    if (!d->Editing())
        RaiseNotEditing();
    CheckFieldIndex(fieldIndex);
    const auto i = std::size_t(fieldIndex);
    d->Pending[i] = value ? CellFromText(*value, d->Columns[i].Type) : TCellValue();
    d->Changed[i] = true;
    Notify(TDataEvent::RecordChanged);
}

// -- the grid ----------------------------------------------------------------

int TADOQuery::DisplayRowCount() const
{
    if (d->State == rsClosed)
        return 0;
    return int(d->RowCount()) + (d->State == rsInsert ? 1 : 0);
}

int TADOQuery::CurrentDisplayRow() const
{
    if (d->State == rsClosed)
        return -1;
    if (d->State == rsInsert)
        return int(d->RowCount());
    return d->HasRow() ? int(d->Cursor) : -1;
}

QString TADOQuery::DisplayText(int row, int fieldIndex) const
{
    if (d->State == rsClosed || fieldIndex < 0 || fieldIndex >= int(d->Columns.size()) || row < 0)
        return QString();
    const TFieldType type = d->Columns[std::size_t(fieldIndex)].Type;
    if (d->Editing() && row == d->Cursor)
        return CellText(d->Pending[std::size_t(fieldIndex)].View(), type);
    if (row >= d->RowCount())
        return QString();
    return CellText(d->Rows.Cell(std::size_t(row), fieldIndex), type);
}

void TADOQuery::MoveToDisplayRow(int row)
{
    CheckActive();
    if (row < 0 || row >= d->RowCount() || (row == d->Cursor && d->State != rsInsert))
        return;
    FinishPending();
    MoveTo(row);
}

std::size_t TADOQuery::SnapshotBytes() const
{
    std::size_t bytes = d->Rows.Bytes();
    for (const TCellValue &v : d->Pending)
        bytes += sizeof v + std::size_t(v.Bytes.capacity());
    return bytes;
}
