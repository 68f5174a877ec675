// Cursor moves, bookmarks, disabled controls and the grid's random access:
// all on the snapshot, never on the database.
#include "store/ADOQuery.h"

#include "store/ADOQueryImpl.h"

#include <limits>

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
    FetchAll();
    FinishPending();
    d->Cursor = d->RowCount() - 1;
    d->Bof = d->Eof = d->RowCount() == 0;
    Notify(TDataEvent::RecordChanged);
}

void TADOQuery::Next()
{
    CheckActive();
    FetchRows(d->Cursor + 2);
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
    FetchRows(std::numeric_limits<long long>::max());
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
    if (recNo == RecNo() || recNo < 1)
        return;
    FetchRows(recNo);
    if (recNo > d->RowCount())
        return;
    FinishPending();
    MoveTo(recNo - 1);
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

TCellView TADOQuery::StoredCell(int row, int fieldIndex) const
{
    if (d->State == rsClosed || fieldIndex < 0 || fieldIndex >= int(d->Columns.size()) || row < 0 || row >= d->RowCount())
        return TCellView();
    return d->Rows.Cell(std::size_t(row), fieldIndex);
}

void TADOQuery::MoveToDisplayRow(int row)
{
    CheckActive();
    if (row < 0 || row >= d->RowCount() || (row == d->Cursor && d->State != rsInsert))
        return;
    FinishPending();
    MoveTo(row);
}
