#pragma once

#include <QString>
#include <optional>

// The narrow interface between a record set and the controls bound to it.
// The record set and its data source implement it; the bound edit boxes,
// the memo and the grid use nothing else of them.

// What a data source tells the controls bound to it.
enum class TDataEvent {
    RecordChanged,  // the current row moved, or its values changed
    DataSetChanged, // rows were added or removed, or the whole set was loaded
    StateChanged,   // the state changed (browse, edit, insert, closed)
    RowsAdded,      // more rows of a result still being read arrived after the last
};

// A control bound to a data source.
class TDataLink {
public:
    virtual ~TDataLink() = default;
    // The record set changed; the control shows the current row again.
    virtual void DataEvent(TDataEvent event) = 0;
    // The record set is about to write or leave the pending row: hand the
    // text the user typed (and only typed text) to the bound field.
    virtual void UpdateData() {}
};

// What bound controls read from and write to a record set.
class TLinkedDataSet {
public:
    virtual bool Active() const = 0;
    virtual bool RowPending() const = 0; // a row is being edited or inserted
    virtual bool Inserting() const = 0;
    virtual int FieldIndex(const QString &name) const = 0; // -1 when absent
    virtual int FieldWidth(int field) const = 0;           // 0: no limit
    virtual QString FieldText(int field) const = 0;        // of the current row
    virtual void SetFieldText(int field, const std::optional<QString> &value) = 0;
    // Rows as the grid shows them: the result's rows, then a new row while
    // one is being inserted. Reading them does not move the cursor.
    virtual int DisplayRowCount() const = 0;
    virtual int CurrentDisplayRow() const = 0; // -1 when there is none
    virtual QString DisplayText(int row, int field) const = 0;
    virtual void MoveToDisplayRow(int row) = 0;

protected:
    ~TLinkedDataSet() = default;
};

// A data source as the bound controls see it.
class TLinkSource {
public:
    virtual TLinkedDataSet *LinkedDataSet() const = 0;
    virtual void AddLink(TDataLink *link) = 0;
    virtual void RemoveLink(TDataLink *link) = 0;

protected:
    ~TLinkSource() = default;
};
