// Where the window's contacts are kept: the file or the office's server.
#include "app/Unit1DataSource.h"

#include "app/DataSourceDialog.h"
#include "app/Unit1.h"
#include "platform/core/Exception.h"
#include "platform/widgets/Application.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/DataSources.h"

#include <QAction>
#include <QMenu>

void AddDataSourceMenu(TForm1 *form)
{
    form->Ayarlar1->addSeparator();
    QAction *item = form->Ayarlar1->addAction(QStringLiteral("Veri Kaynağı..."));
    item->setObjectName(QStringLiteral("VeriKaynagi1"));
    GuardedConnect(item, &QAction::triggered, form, [form] { ChooseDataSource(form); });
}

void ChooseDataSource(TForm1 *form)
{
    // The record set is closed and opened again: a contact being typed
    // would be lost with it.
    if (form->ADOQuery1->RowPending())
        throw Exception(QStringLiteral("Önce düzenlenen kaydı onaylayınız ya da vazgeçiniz"));

    TADOConnection &connection = *form->ADOConnection1;
    const QString source = TADOConnection::ConnectionStringValue(connection.ConnectionString(), QStringLiteral("Data Source"));
    std::optional<TServerSettings> current;
    if (const std::optional<QString> server = ServerForDataSource(source))
        current = TServerSettings::Parse(*server).value_or(TServerSettings{});

    TDataSourceDialog dialog(current, form);
    if (dialog.exec() != QDialog::Accepted)
        return;
    SaveDataSourceChoice(source, dialog.Choice(), dialog.Password());

    form->ADOQuery1->Close();
    connection.Close();
    connection.Open();
    form->ADOQuery1->Open();
}
