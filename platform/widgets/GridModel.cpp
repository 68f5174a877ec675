#include "platform/widgets/GridModel.h"

#include "platform/widgets/DisplayHead.h"

namespace {

// A grid cell shows one line: the line breaks of a memo become blanks.
QString OneLine(QString text)
{
    for (QChar &c : text)
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
    return text;
}

} // namespace

TGridModel::TGridModel(QObject *parent) : QAbstractTableModel(parent) {}

TGridModel::~TGridModel()
{
    if (FSource)
        FSource->RemoveLink(this);
}

void TGridModel::SetLinkSource(TLinkSource *source)
{
    if (FSource)
        FSource->RemoveLink(this);
    FSource = source;
    if (FSource)
        FSource->AddLink(this);
    DataEvent(TDataEvent::DataSetChanged);
}

TLinkedDataSet *TGridModel::DataSet() const
{
    TLinkedDataSet *set = FSource ? FSource->LinkedDataSet() : nullptr;
    return set && set->Active() ? set : nullptr;
}

void TGridModel::AddColumn(const TGridColumn &column)
{
    beginInsertColumns({}, int(FColumns.size()), int(FColumns.size()));
    FColumns.push_back(column);
    ResolveFields();
    endInsertColumns();
}

void TGridModel::ResolveFields()
{
    FFieldIndex.clear();
    TLinkedDataSet *set = DataSet();
    for (const TGridColumn &column : FColumns)
        FFieldIndex.push_back(set ? set->FieldIndex(column.FieldName) : -1);
}

int TGridModel::rowCount(const QModelIndex &parent) const
{
    TLinkedDataSet *set = DataSet();
    if (parent.isValid() || !set)
        return 0;
    return FHeldBack >= 0 ? FHeldBack : set->DisplayRowCount();
}

int TGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(FColumns.size());
}

QVariant TGridModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    TLinkedDataSet *set = DataSet();
    const int field = index.column() < int(FFieldIndex.size()) ? FFieldIndex[size_t(index.column())] : -1;
    if (!set || field < 0 || index.row() >= set->DisplayRowCount())
        return {};
    QString text = set->DisplayText(index.row(), field);
    text.truncate(DisplayHeadLength(text));
    return role == Qt::DisplayRole ? OneLine(text) : text;
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section < int(FColumns.size()) ? FColumns[size_t(section)].Title : QString();
    // The row indicator: the current row, marked by the record set's state.
    if (section != CurrentRow())
        return QString();
    const TLinkedDataSet *set = DataSet();
    if (set->Inserting())
        return QStringLiteral("*");
    if (set->RowPending())
        return QStringLiteral("I");
    return QStringLiteral("\u25B6");
}

int TGridModel::CurrentRow() const
{
    TLinkedDataSet *set = DataSet();
    return set ? set->CurrentDisplayRow() : -1;
}

void TGridModel::DataEvent(TDataEvent event)
{
    if (event == TDataEvent::RowsAdded) {
        // Rows of a result still being read: the views keep where they are.
        const int rows = rowCount();
        if (rows > FRows) {
            FHeldBack = FRows;
            beginInsertRows({}, FRows, rows - 1);
            FHeldBack = -1;
            endInsertRows();
        }
        FRows = rows;
        return;
    }
    if (event == TDataEvent::DataSetChanged) {
        beginResetModel();
        ResolveFields();
        endResetModel();
    } else {
        const int row = CurrentRow();
        if (FIndicatorRow >= 0 && FIndicatorRow < rowCount())
            Q_EMIT headerDataChanged(Qt::Vertical, FIndicatorRow, FIndicatorRow);
        if (row >= 0)
            Q_EMIT headerDataChanged(Qt::Vertical, row, row);
        if (event == TDataEvent::RecordChanged && row >= 0)
            Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
    FIndicatorRow = CurrentRow();
    FRows = rowCount();
    Q_EMIT CursorMoved();
}
