#pragma once

#include "platform/core/GridColumns.h"
#include "platform/widgets/GridModel.h"

#include <QTableView>

class QMenu;

// The data grid (DBGrid1): shows the rows of its record set and moves the
// record set's cursor with clicks and keys. Editing in the grid is off.
class TDBGrid : public QTableView, public TGridColumns {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);

    // The window's data source: the grid reads its rows through the narrow
    // link interface and hands the data source itself to the exports.
    template <typename Source> void SetDataSource(Source *source)
    {
        FDataSource = source;
        FModel.SetLinkSource(source);
    }
    TDataSource *DataSource() const override { return FDataSource; }

    void AddColumn(const QString &fieldName, const QString &title, int width);
    int ColumnCount() const override;
    QString ColumnFieldName(int column) const override;
    int ColumnWidth(int column) const override;
    QString ColumnTitle(int column) const;

    // The context menu, opened by the right button or the menu key while
    // AutoPopup is on.
    void SetPopupMenu(QMenu *menu) { FPopupMenu = menu; }
    QMenu *PopupMenu() const { return FPopupMenu; }
    void SetAutoPopup(bool on) { FAutoPopup = on; }
    bool AutoPopup() const { return FAutoPopup; }

    TGridModel *GridModel() { return &FModel; }

    // Letters do not search: only the arrow, page, Home and End keys move.
    void keyboardSearch(const QString &) override {}

Q_SIGNALS:
    // Ctrl+Delete: delete the current row at once.
    void DeleteRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void FollowCursor();
    void UserMovedTo(int row);

    TGridModel FModel;
    TDataSource *FDataSource = nullptr;
    QMenu *FPopupMenu = nullptr;
    bool FAutoPopup = true;
    bool FFollowing = false;
};
