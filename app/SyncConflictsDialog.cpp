#include "app/SyncConflictsDialog.h"

#include "app/FieldLabels.h"
#include "platform/widgets/Application.h"
#include "sync/SyncSession.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString LocalText(const TSyncConflict &c)
{
    return c.What == TSyncConflict::Kind::DeletedHereChangedThere ? QStringLiteral("(rehberden silindi)") : c.LocalValue;
}

QString ServerText(const TSyncConflict &c)
{
    return c.What == TSyncConflict::Kind::ChangedHereDeletedThere ? QStringLiteral("(sunucudan silindi)") : c.ServerValue;
}

} // namespace

TSyncConflictsDialog::TSyncConflictsDialog(TADOConnection &connection, QWidget *parent) : QDialog(parent), FConnection(connection)
{
    setObjectName(QStringLiteral("SyncConflictsDialog"));
    setWindowTitle(QStringLiteral("Eşitleme Çakışmaları"));
    setAccessibleName(QStringLiteral("Eşitleme Çakışmaları"));

    auto *intro = new QLabel(QStringLiteral("Eşitlemenin kendi başına karara bağlayamadığı değişiklikler. Rehberdeki değer "
                                            "korundu; sunucudakini isterseniz alabilirsiniz."),
                             this);
    intro->setWordWrap(true);
    Table = new QTableWidget(0, 4, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setAccessibleName(QStringLiteral("Çakışmalar"));
    Table->setHorizontalHeaderLabels(
        {QStringLiteral("Kişi"), QStringLiteral("Alan"), QStringLiteral("Rehberdeki değer"), QStringLiteral("Sunucudaki değer")});
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->verticalHeader()->hide();

    TakeButton = new QPushButton(QStringLiteral("&Sunucudakini Al"), this);
    TakeButton->setObjectName(QStringLiteral("TakeButton"));
    DismissButton = new QPushButton(QStringLiteral("&Yok Say"), this);
    DismissButton->setObjectName(QStringLiteral("DismissButton"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(TakeButton, QDialogButtonBox::ActionRole);
    buttons->addButton(DismissButton, QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("&Kapat"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    GuardedConnect(TakeButton, &QPushButton::clicked, this, [this] { Settle(true); });
    GuardedConnect(DismissButton, &QPushButton::clicked, this, [this] { Settle(false); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(Table);
    layout->addWidget(buttons);
    resize(640, 360);
    Reload();
}

void TSyncConflictsDialog::Reload()
{
    FConflicts = PendingConflicts(FConnection);
    Table->setRowCount(int(FConflicts.size()));
    for (int row = 0; row < int(FConflicts.size()); ++row) {
        const TSyncConflict &c = FConflicts[size_t(row)];
        const QString cells[] = {c.ContactName, ContactFieldLabel(c.Column), LocalText(c), ServerText(c)};
        for (int column = 0; column < 4; ++column)
            Table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    // Each column as wide as its header and its values; the last takes the rest.
    Table->resizeColumnsToContents();
    if (!FConflicts.empty())
        Table->selectRow(0);
    TakeButton->setEnabled(!FConflicts.empty());
    DismissButton->setEnabled(!FConflicts.empty());
}

// The rows selected, all at once.
void TSyncConflictsDialog::Settle(bool takeServerValue)
{
    int row = int(FConflicts.size());
    std::vector<qint64> ids;
    for (const QModelIndex &index : Table->selectionModel()->selectedRows()) {
        if (index.row() >= int(FConflicts.size()))
            continue;
        ids.push_back(FConflicts[size_t(index.row())].Id);
        row = std::min(row, index.row());
    }
    if (ids.empty())
        return;
    for (const qint64 id : ids) {
        if (takeServerValue) {
            TakeServerValue(FConnection, id);
            FChanged = true;
        } else {
            DismissConflict(FConnection, id);
        }
    }
    Reload();
    if (!FConflicts.empty())
        Table->selectRow(std::min(row, int(FConflicts.size()) - 1));
}
