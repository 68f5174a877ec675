#pragma once

#include <vector>

class TADOQuery;

// What a data source tells the controls bound to it.
enum class TDataEvent {
    RecordChanged,  // the current row moved, or its values changed
    DataSetChanged, // rows were added, removed, or the whole set was loaded
    StateChanged,   // the record set's state changed (browse, edit, insert, closed)
};

// A control bound to a data source: a bound edit box, the memo, the grid.
class TDataLink {
public:
    virtual ~TDataLink() = default;
    // The record set changed; the control shows the current row again.
    virtual void DataEvent(TDataEvent event) = 0;
    // The record set is about to write or leave the pending row: hand the
    // text the user typed (and only typed text) to the bound field.
    virtual void UpdateData() {}
};

// DataSource1: binds the record set to the window's controls. AutoEdit is
// off: a bound control never starts an edit by itself; it is writable only
// while the record set is in rsEdit or rsInsert.
class TDataSource {
public:
    TDataSource() = default;
    ~TDataSource();
    TDataSource(const TDataSource &) = delete;
    TDataSource &operator=(const TDataSource &) = delete;

    TADOQuery *DataSet() const { return FDataSet; }
    void SetDataSet(TADOQuery *dataSet);

    bool AutoEdit() const { return FAutoEdit; }
    void SetAutoEdit(bool on) { FAutoEdit = on; }

    void AddLink(TDataLink *link);
    void RemoveLink(TDataLink *link);

    // Called by the record set. Notify is held back while the record set's
    // controls are disabled; the record set sends DataSetChanged when they
    // are enabled again.
    void Notify(TDataEvent event);
    void UpdateData();

private:
    TADOQuery *FDataSet = nullptr;
    bool FAutoEdit = false;
    std::vector<TDataLink *> FLinks;
};
