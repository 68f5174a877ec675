// Where the window's contacts are kept: the file or the office's server.
#include "app/Unit1DataSource.h"

#include "app/DataSourceDialog.h"
#include "app/Unit1.h"
#include "platform/core/Exception.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/ErrorText.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/DataSources.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

void AddDataSourceMenu(TForm1 *form)
{
    form->Ayarlar1->addSeparator();
    QAction *item = form->Ayarlar1->addAction(QStringLiteral("&Veri Kaynağı..."));
    item->setObjectName(QStringLiteral("VeriKaynagi1"));
    GuardedConnect(item, &QAction::triggered, form, [form] { ChooseDataSource(form); });
}

namespace {

// Opens the source now set for the window's data source on a connection of
// its own, while the window's connection stays open on the previous one.
void TryDataSource(const TADOConnection &windows)
{
    TADOConnection probe;
    probe.SetConnectionString(windows.ConnectionString());
    probe.Open();
}

void Reopen(TForm1 *form)
{
    form->ADOQuery1->Close();
    form->ADOConnection1->Close();
    form->ADOConnection1->Open();
    form->ADOQuery1->Open();
}

} // namespace

void ChooseDataSource(TForm1 *form)
{
    // The record set is closed and opened again: a contact being typed
    // would be lost with it.
    if (form->ADOQuery1->RowPending())
        throw Exception(QStringLiteral("Önce düzenlenen kaydı onaylayınız ya da vazgeçiniz"));

    TADOConnection &connection = *form->ADOConnection1;
    const QString source = TADOConnection::ConnectionStringValue(connection.ConnectionString(), QStringLiteral("Data Source"));
    const std::optional<QString> previous = ServerForDataSource(source);
    std::optional<TServerSettings> current;
    if (previous)
        current = TServerSettings::Parse(*previous).value_or(TServerSettings{});

    // A source that does not open is not taken: the user keeps the previous
    // one, which stays open meanwhile, or goes back to the settings.
    TDataSourceDialog dialog(current, form);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return;
        SaveDataSourceChoice(source, dialog.Choice(), dialog.Password());
        try {
            TryDataSource(connection);
            break;
        } catch (const EAbort &) {
            SetServerForDataSource(source, previous);
            throw;
        } catch (const std::exception &e) {
            SetServerForDataSource(source, previous);
            const QString reason = WindowErrorText(e);
            dialog.Result->setText(reason);
            const QString question = QStringLiteral(
                                         "Yeni veri kaynağı açılamadı: %1\r\rÖnceki veri kaynağıyla sürdürülsün mü? "
                                         "\"Hayır\" ayarlara geri döner.")
                                         .arg(reason);
            if (Application->MessageBox(question, Application->Title(), TMessageKind::Question) == IDYES)
                return;
        }
    }

    try {
        Reopen(form);
    } catch (...) {
        // Back on the previous source; the error that stopped the new one
        // is the one box the user sees.
        SetServerForDataSource(source, previous);
        try {
            Reopen(form);
        } catch (...) {
        }
        throw;
    }
}
