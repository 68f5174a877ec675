#pragma once

// The record set's own state, shared by the files that implement it:
// ADOQuery.cpp (opening, the snapshot, fields), ADOQueryCursor.cpp (moves,
// bookmarks, the grid) and ADOQueryEditing.cpp (Append, Edit, Post, Delete).
#include "platform/core/Exception.h"
#include "store/ADOQuery.h"
#include "store/CellValue.h"
#include "store/Provider.h"
#include "store/ResultColumns.h"
#include "store/RowArena.h"

#include <QTimer>
#include <memory>
#include <vector>

inline const QString &ClosedText()
{
    static const QString text = QStringLiteral("Cannot perform this operation on a closed dataset");
    return text;
}

[[noreturn]] inline void RaiseNotEditing()
{
    throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
}

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
    std::vector<TCellValue> Pending; // the row being edited or inserted
    std::vector<bool> Changed;
    std::unique_ptr<TRowStream> Rest; // the rows of the result still to come
    std::unique_ptr<QTimer> Slices;   // reads them from the event loop
    bool Reading = false;             // a slice is being read
    QString Failure;                  // why the reading from the event loop stopped

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
