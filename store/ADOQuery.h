#pragma once

#include "store/CellValue.h"
#include "store/DataSource.h"
#include "store/Field.h"
#include "store/FieldTypes.h"
#include "platform/core/DataLink.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

class TADOConnection;
class TDataSource;
class TProvider;
class TRowStream;

// The lines of the statement. Any change closes the record set first and
// then derives the parameter list anew from the whole text.
class TSQLStrings {
public:
    explicit TSQLStrings(TADOQuery *owner) : FOwner(owner) {}
    void Clear();
    void Add(const QString &line);
    QString Text() const { return FLines.join(u'\n'); }
    int Count() const { return int(FLines.size()); }

private:
    TADOQuery *FOwner;
    QStringList FLines;
};

// A parameter of the statement: a word beginning with ":" outside quotes.
struct TParameter {
    QString Name;
    std::optional<QString> Value; // bound as text; unset binds null
};

// Where a parameter stands in the statement text: ":deger" from Start.
struct TParameterSpan {
    qsizetype Start = 0;
    qsizetype Length = 0;
    QString Name;
};

// The parameters, addressed by position (0 is the first).
class TParameters {
public:
    int Count() const { return int(FItems.size()); }
    TParameter &operator[](int index); // out of range raises
    const TParameter &operator[](int index) const;
    void SetValue(int index, const QString &value) { (*this)[index].Value = value; }
    void Rebuild(const QString &sqlText); // keeps values of same-named parameters
    static QStringList ParameterNames(const QString &sqlText);
    static std::vector<TParameterSpan> ParameterSpans(const QString &sqlText);

private:
    std::vector<TParameter> FItems;
};

// A bookmark: an opaque token for one row of the snapshot.
using TBookmark = std::optional<long long>;

// ADOQuery1: the record set. Opening it runs the statement and takes the
// whole result into memory (a static, client-side snapshot); every move,
// count and record-number lookup works on that copy. Posts and deletes are
// written to the database at once (optimistic: the row is checked not to have
// been changed by another program since it was read).
class TADOQuery final : public TLinkedDataSet {
public:
    TADOQuery();
    ~TADOQuery();
    TADOQuery(const TADOQuery &) = delete;
    TADOQuery &operator=(const TADOQuery &) = delete;

    TADOConnection *Connection() const { return FConnection; }
    void SetConnection(TADOConnection *c);
    TDataSource *DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource *ds) { FDataSource = ds; } // set by TDataSource::SetDataSet

    TSQLStrings SQL{this};
    TParameters Parameters;

    // -- state
    void Open();  // does nothing when open; state rsBrowse, cursor on the first row
    void Close(); // drops any pending row unwritten; does nothing when closed
    bool Active() const override { return State() != rsClosed; }
    bool RowPending() const override { return State() == rsEdit || State() == rsInsert; }
    bool Inserting() const override { return State() == rsInsert; }
    TDataSetState State() const;

    // -- reading: Open returns once the first rows are there; the rest
    //    arrives from the event loop, slice by slice. Whatever needs rows
    //    not read yet (a move past them, the record count, the last row, a
    //    write) reads them first, showing a progress the user may cancel
    //    (EAbort: the action is abandoned, the reading goes on).
    bool Fetching() const; // rows of the result are still to come
    void FetchAll();

    // -- cursor (each move first finishes a pending row: Post when any field
    //    was changed, Cancel otherwise)
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const;
    bool Bof() const;
    bool IsEmpty() const;
    int RecordCount() const;  // rows of the snapshot (a pending new row not counted)
    int RecNo() const;        // 1-based; -1 while empty or inserting; closed raises
    void SetRecNo(int recNo); // moves there; nothing when already there

    // -- editing
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    bool Modified() const; // any field of the pending row changed

    // -- bookmarks
    TBookmark GetBookmark() const; // empty when there is no current row or inserting
    void GotoBookmark(const TBookmark &bookmark);
    bool BookmarkValid(const TBookmark &bookmark) const;

    // -- controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;

    // -- fields
    int FieldCount() const;
    TField *Fields(int index) const;
    TField *FieldByName(const QString &name) const; // raises "Field 'X' not found"
    TField *FindField(const QString &name) const;   // nullptr when absent

    // -- random access for the grid (no cursor move). Row is 0-based over
    //    the rows the grid shows: the snapshot rows, then the pending new
    //    row while inserting.
    int DisplayRowCount() const override;
    int CurrentDisplayRow() const override; // -1 when there is none
    QString DisplayText(int row, int fieldIndex) const override;
    // The value of a snapshot row as stored (what was last read or written),
    // without copying; a null cell when there is none.
    TCellView StoredCell(int row, int fieldIndex) const;
    void MoveToDisplayRow(int row) override; // a cursor move like any other

    // Used by TField and the bound controls.
    int FieldIndex(const QString &name) const override; // -1 when absent
    int FieldWidth(int fieldIndex) const override;      // the field's Size()
    bool FieldIsNull(int fieldIndex) const;
    QString FieldText(int fieldIndex) const override;
    double FieldDateTime(int fieldIndex) const;
    void SetFieldText(int fieldIndex, const std::optional<QString> &value) override;

    // Memory the snapshot holds, in bytes (rows, their index, the pending row).
    std::size_t SnapshotBytes() const;

    // Called by TSQLStrings when the statement text changes.
    void StatementChanged();

private:
    void Notify(TDataEvent event);
    void SetState(TDataSetState state);
    void UpdateData();
    void CheckActive() const;
    void CheckWritable() const;
    void CheckFieldIndex(int fieldIndex) const;
    void FinishPending();
    void BeginInsert();
    void WritePending();
    TProvider *Engine() const; // the connection's provider; raises when closed
    void MoveTo(long long row);
    void FetchRows(long long count) const; // until count rows are read, or all
    void ReadSlice();
    void StartFetching(std::unique_ptr<TRowStream> rest);
    void EndFetching();
    QStringList OriginsOf(const std::vector<int> &columns) const;
    std::vector<int> RowMatchColumns(const std::vector<int> &alsoCheck) const;
    std::vector<int> StoredColumns() const;
    bool ShowRowAsStored(const std::vector<TCellValue> &original);

    class TImpl;
    std::unique_ptr<TImpl> d;
    TADOConnection *FConnection = nullptr;
    TDataSource *FDataSource = nullptr;
};
