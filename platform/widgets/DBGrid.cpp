#include "platform/widgets/DBGrid.h"

#include "platform/widgets/Application.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent)
{
    setModel(&FModel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone); // cells are cut at their border, as typed
    setFocusPolicy(Qt::ClickFocus);  // reached with the mouse only
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsMovable(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumWidth(12);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setHighlightSections(false);

    connect(&FModel, &TGridModel::CursorMoved, this, &TDBGrid::FollowCursor);
    connect(&FModel, &QAbstractItemModel::modelReset, this, &TDBGrid::FollowCursor);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current, const QModelIndex &previous) {
        if (!FFollowing && current.isValid() && current.row() != previous.row())
            UserMovedTo(current.row());
    });
}

void TDBGrid::AddColumn(const QString &fieldName, const QString &title, int width)
{
    FModel.AddColumn({fieldName, title});
    setColumnWidth(FModel.columnCount() - 1, width);
}

int TDBGrid::ColumnCount() const
{
    return FModel.columnCount();
}

QString TDBGrid::ColumnFieldName(int column) const
{
    return FModel.Columns().at(size_t(column)).FieldName;
}

QString TDBGrid::ColumnTitle(int column) const
{
    return FModel.Columns().at(size_t(column)).Title;
}

int TDBGrid::ColumnWidth(int column) const
{
    return columnWidth(column);
}

// The grid shows the record set's cursor; a move it did not ask for (a
// button, a search, a failed move) is followed here.
void TDBGrid::FollowCursor()
{
    const int row = FModel.CurrentRow();
    FFollowing = true;
    if (row < 0) {
        selectionModel()->clearCurrentIndex();
    } else {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        const QModelIndex target = FModel.index(row, column);
        if (currentIndex() != target)
            selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
        scrollTo(target);
    }
    FFollowing = false;
}

void TDBGrid::UserMovedTo(int row)
{
    if (TLinkedDataSet *set = FModel.DataSet())
        Application->Guard([&] { set->MoveToDisplayRow(row); });
    FollowCursor();
}

void TDBGrid::keyPressEvent(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (event->key() == Qt::Key_Delete && ctrl) {
        Q_EMIT DeleteRequested();
        return;
    }
    if (event->key() == Qt::Key_Insert || event->key() == Qt::Key_F2)
        return;
    if (ctrl && (event->key() == Qt::Key_Home || event->key() == Qt::Key_End)) {
        const int rows = FModel.rowCount();
        if (rows > 0) {
            const int column = currentIndex().isValid() ? currentIndex().column() : 0;
            setCurrentIndex(FModel.index(event->key() == Qt::Key_Home ? 0 : rows - 1, column));
        }
        return;
    }
    QTableView::keyPressEvent(event);
}

void TDBGrid::contextMenuEvent(QContextMenuEvent *event)
{
    if (FAutoPopup && FPopupMenu && isEnabled())
        FPopupMenu->exec(event->globalPos());
}
