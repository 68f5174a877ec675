#pragma once

#include <QString>

class TDataSource;

// What the exports may know of a data grid: its data source and its
// columns, each bound to a field by name, with its current width in pixels.
// The window's grid (TDBGrid) implements it; nothing here needs a widget.
class TGridColumns {
public:
    virtual ~TGridColumns() = default;
    virtual TDataSource *DataSource() const = 0;
    virtual int ColumnCount() const = 0;
    virtual QString ColumnFieldName(int column) const = 0;
    virtual int ColumnWidth(int column) const = 0;
};
