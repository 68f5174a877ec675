#pragma once

#include "platform/core/DataLink.h"

#include <QAbstractTableModel>
#include <QString>
#include <vector>

// One column of the data grid: the field it shows and its title.
struct TGridColumn {
    QString FieldName;
    QString Title;
};

// The rows of the grid's record set, read straight from its snapshot: the
// model asks for the cells it paints and keeps no copy of its own.
class TGridModel final : public QAbstractTableModel, public TDataLink {
    Q_OBJECT
public:
    explicit TGridModel(QObject *parent = nullptr);
    ~TGridModel() override;

    void SetLinkSource(TLinkSource *source);
    TLinkSource *LinkSource() const { return FSource; }
    TLinkedDataSet *DataSet() const; // the active record set, or nullptr

    void AddColumn(const TGridColumn &column);
    const std::vector<TGridColumn> &Columns() const { return FColumns; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The record set's current row as a grid row, or -1.
    int CurrentRow() const;

    void DataEvent(TDataEvent event) override;

Q_SIGNALS:
    // The record set's cursor moved (or the rows were loaded anew).
    void CursorMoved();

private:
    void ResolveFields();

    TLinkSource *FSource = nullptr;
    std::vector<TGridColumn> FColumns;
    std::vector<int> FFieldIndex; // per column; -1 when the field is absent
    int FIndicatorRow = -1;
    int FRows = 0;      // the rows the views were last told of
    int FHeldBack = -1; // while rows are announced: the count before them
};
