#pragma once

#include "platform/core/DataLink.h"

#include <vector>

class TADOQuery;

// DataSource1: binds the record set to the window's controls. AutoEdit is
// off: a bound control never starts an edit by itself; it is writable only
// while the record set is in rsEdit or rsInsert.
class TDataSource final : public TLinkSource {
public:
    TDataSource() = default;
    ~TDataSource();
    TDataSource(const TDataSource &) = delete;
    TDataSource &operator=(const TDataSource &) = delete;

    TADOQuery *DataSet() const { return FDataSet; }
    void SetDataSet(TADOQuery *dataSet);

    bool AutoEdit() const { return FAutoEdit; }
    void SetAutoEdit(bool on) { FAutoEdit = on; }

    TLinkedDataSet *LinkedDataSet() const override;
    void AddLink(TDataLink *link) override;
    void RemoveLink(TDataLink *link) override;

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
