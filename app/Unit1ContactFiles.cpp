// Contact files in and out of the window: the entries at the end of
// "İşlemler", files dropped on the window or given on the command line,
// and the earlier Windows version's Jet file found at activation.
#include "app/Unit1.h"

#include "app/ContactFiles.h"
#include "app/ImportDialog.h"
#include "app/ImportText.h"
#include "app/JetConversion.h"
#include "platform/core/Exception.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/ErrorText.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/JetSignature.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QTimer>

void TForm1::CreateContactFileMenu()
{
    lemler1->addSeparator();
    KisileriIceAktar1 = lemler1->addAction(QStringLiteral("&Kişileri İçe Aktar..."));
    KisileriIceAktar1->setObjectName(QStringLiteral("KisileriIceAktar1"));
    KisileriDisaAktar1 = lemler1->addAction(QStringLiteral("Kişileri &Dışa Aktar..."));
    KisileriDisaAktar1->setObjectName(QStringLiteral("KisileriDisaAktar1"));
    GuardedConnect(KisileriIceAktar1, &QAction::triggered, this, [this] { KisileriIceAktar1Click(KisileriIceAktar1); });
    GuardedConnect(KisileriDisaAktar1, &QAction::triggered, this, [this] { KisileriDisaAktar1Click(KisileriDisaAktar1); });
    setAcceptDrops(true);
}

// ---------------------------------------------------------------------------
// Import

void TForm1::KisileriIceAktar1Click(QObject *)
{
    const QStringList files = QFileDialog::getOpenFileNames(this, QStringLiteral("Kişileri İçe Aktar"), QString(), ContactImportFilter());
    ImportContactFiles(files);
}

void TForm1::ImportContactFiles(const QStringList &files)
{
    // Files handed over while an import dialog is open wait for it: each
    // dialog checks its file when it comes to the front, after the imports
    // before it.
    FImportQueue.append(files);
    if (FImporting)
        return;
    FImporting = true;
    const auto done = qScopeGuard([this] { FImporting = false; });
    while (!FImportQueue.isEmpty()) {
        const QStringList batch = FImportQueue.takeFirst();
        for (const QString &argument : batch) {
            const QString path = ContactFilePath(argument);
            if (!path.isEmpty() && !Application->Guard([&] { ImportContactFile(path); }))
                break; // an error or a cancel ends the whole drop
        }
    }
}

void TForm1::ImportContactFile(const QString &path)
{
    if (!ADOConnection1->Connected())
        FormActivate(this);
    // Opening the record set again would drop the contact being typed.
    if (ADOQuery1->RowPending())
        throw Exception(QStringLiteral("Önce düzenlenen kişiyi onaylayın ya da vazgeçin, sonra içe aktarın"));

    TImportOptions options;
    {
        TImportDialog dialog(*ADOConnection1, path, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        options = dialog.Options();
    }
    TImportReport report;
    bool written = false;
    try {
        written = ImportContacts(*ADOConnection1, options, report);
    } catch (const EContactFileError &e) {
        throw Exception(ContactFileErrorText(e));
    }
    std::int64_t hidden = 0;
    if (written) {
        // The window's own statement again, so that the grid shows them;
        // the search filter stays as the user set it.
        const int before = ADOQuery1->Active() ? ADOQuery1->RecordCount() : 0;
        ADOQuery1->Close();
        ADOQuery1->Open();
        hidden = std::max<std::int64_t>(0, report.Counts.Added - (ADOQuery1->RecordCount() - before));
    }
    Application->ShowMessage(ImportSummaryText(path, report, written, hidden));
}

void TForm1::dragEnterEvent(QDragEnterEvent *e)
{
    if (!e->mimeData()->hasUrls())
        return;
    for (const QUrl &url : e->mimeData()->urls())
        if (url.isLocalFile() && IsContactFileName(url.toLocalFile())) {
            e->acceptProposedAction();
            return;
        }
}

void TForm1::dropEvent(QDropEvent *e)
{
    QStringList files;
    for (const QUrl &url : e->mimeData()->urls())
        if (url.isLocalFile() && IsContactFileName(url.toLocalFile()))
            files << url.toLocalFile();
    e->acceptProposedAction();
    // The dialog runs after the drop has ended, not inside it.
    QTimer::singleShot(0, this, [this, files] { ImportContactFiles(files); });
}

// ---------------------------------------------------------------------------
// Export

void TForm1::KisileriDisaAktar1Click(QObject *)
{
    const QStringList filters = ContactExportFilters();
    QString filter = filters.first();
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Kişileri Dışa Aktar"), QStringLiteral("kisiler.vcf"),
                                                      filters.join(QStringLiteral(";;")), &filter);
    if (!file.isEmpty())
        ExportContactsTo(file, filter);
}

void TForm1::ExportContactsTo(const QString &file, const QString &filter)
{
    const TExportOptions options = ContactExportOptions(file, filter);
    const std::int64_t written = ExportContacts(*ADOQuery1, options);
    Application->ShowMessage(QStringLiteral("%1 kişi %2 dosyasına yazıldı.").arg(written).arg(options.File));
}

// ---------------------------------------------------------------------------
// The earlier Windows version's database

// Opens the connection; when the file is a Jet file, the error box asks
// whether to convert it now. No leaves the file and the window as they
// were (the error has been shown); Yes converts it and opens the result.
void TForm1::OpenJetDatabase()
{
    // The conversion keeps the window's events going: an activation that
    // comes meanwhile waits for its end.
    if (FConverting)
        throw EAbort();
    QString path;
    try {
        ADOConnection1->Open();
        return;
    } catch (const EDatabaseError &e) {
        path = ADOConnection1->DatabasePath();
        if (!IsJetFile(path))
            throw;
        const QString question = JetConversionQuestion(TApplication::ErrorBoxText(WindowErrorText(e)), path);
        if (Application->MessageBox(question, Application->Title(), TMessageKind::Question) != IDYES)
            throw EAbort();
    }
    {
        FConverting = true;
        const auto done = qScopeGuard([this] { FConverting = false; });
        ConvertJetDatabase(path);
    }
    ADOConnection1->Open();
}
