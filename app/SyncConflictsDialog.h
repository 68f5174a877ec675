#pragma once

#include "sync/SyncTypes.h"

#include <QDialog>

class QPushButton;
class QTableWidget;
class TADOConnection;

// İşlemler > "Eşitleme Çakışmaları...": what a sync could not settle by
// itself, one row each: the contact, the field as the form labels it, the
// directory's value and the server's. The user takes the server's value
// into the contact or dismisses the row (the directory's value stays), for
// as many rows as are selected.
class TSyncConflictsDialog final : public QDialog {
    Q_OBJECT
public:
    TSyncConflictsDialog(TADOConnection &connection, QWidget *parent = nullptr);

    // True once a server's value was written to a contact.
    bool ContactsChanged() const { return FChanged; }

    QTableWidget *Table;
    QPushButton *TakeButton, *DismissButton;

private:
    void Reload();
    void Settle(bool takeServerValue);

    TADOConnection &FConnection;
    std::vector<TSyncConflict> FConflicts;
    bool FChanged = false;
};
