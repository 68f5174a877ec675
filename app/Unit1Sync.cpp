// The directory in step with a CardDAV address book: the menu entries,
// "Şimdi Eşitle" with its progress and summary, and the automatic sync.
#include "app/Unit1Sync.h"

#include "app/DesktopNotification.h"
#include "app/SyncAccountDialog.h"
#include "app/SyncConflictsDialog.h"
#include "app/SyncTexts.h"
#include "app/Unit1.h"
#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/DBGrid.h"
#include "platform/widgets/ProgressDialog.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "sync/Credentials.h"
#include "sync/SyncSession.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QInputDialog>
#include <QMenu>
#include <QScopeGuard>

namespace {

constexpr int kStartDelayMs = 2000;   // the first automatic sync, once the window has opened the directory
constexpr int kPostponeMs = 30000;    // an automatic sync the window was too busy for
constexpr int kRefreshRetryMs = 2000; // the grid waits for the contact being edited

QAction *AddAfter(QMenu *menu, QAction *after, const char *name, const QString &caption)
{
    const QList<QAction *> items = menu->actions();
    const qsizetype at = items.indexOf(after);
    auto *action = new QAction(caption, menu);
    action->setObjectName(QString::fromLatin1(name));
    menu->insertAction(at >= 0 && at + 1 < items.size() ? items.at(at + 1) : nullptr, action);
    return action;
}

void RequireNoPendingRow(TForm1 *form)
{
    if (form->ADOQuery1->RowPending())
        throw Exception(QStringLiteral("Önce düzenlenen kişiyi onaylayın ya da vazgeçin, sonra eşitleyin"));
    if (!form->ADOConnection1->Connected())
        form->FormActivate(form);
}

// Keeps the password where the desktop keeps passwords; without a keyring
// ~/.netrc only when the user agrees.
void KeepPassword(const TSyncAccount &account, const QString &password)
{
    TPasswordPlace place = TPasswordPlace::None;
    try {
        place = StorePassword(account, password, false);
    } catch (const EKeyringError &e) {
        throw Exception(QStringLiteral("Parola anahtarlığa kaydedilemedi: %1").arg(e.Message()));
    }
    if (place == TPasswordPlace::None
        && Application->MessageBox(QStringLiteral("Parolayı saklayacak bir anahtarlık bulunamadı. Parola ~/.netrc dosyasına, "
                                                  "yalnızca sizin okuyabileceğiniz biçimde yazılsın mı?"),
                                   Application->Title(), TMessageKind::Question)
            == IDYES)
        StorePassword(account, password, true);
}

std::optional<QString> AskPassword(QWidget *parent, const TSyncAccount &account, bool wrong)
{
    QString label = QStringLiteral("%1 kullanıcısının %2 sunucusundaki parolası:").arg(account.User, account.Host());
    if (wrong)
        label.prepend(QStringLiteral("Kullanıcı adı ya da parola yanlış.\n"));
    bool ok = false;
    const QString password = QInputDialog::getText(parent, QStringLiteral("Eşitleme Hesabı"), label, QLineEdit::Password, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return password;
}

} // namespace

void AddSyncMenus(TForm1 *form)
{
    auto *controller = new TSyncController(form);
    form->SyncController = controller;
    form->EsitlemeHesabi1 = AddAfter(form->Ayarlar1, form->findChild<QAction *>(QStringLiteral("VeriKaynagi1")), "EsitlemeHesabi1",
                                     QStringLiteral("&Eşitleme Hesabı..."));
    form->SimdiEsitle1 = AddAfter(form->lemler1, form->KisileriDisaAktar1, "SimdiEsitle1", QStringLiteral("&Şimdi Eşitle"));
    form->EsitlemeCakismalari1 =
        AddAfter(form->lemler1, form->SimdiEsitle1, "EsitlemeCakismalari1", QStringLiteral("Eşitleme &Çakışmaları..."));
    GuardedConnect(form->EsitlemeHesabi1, &QAction::triggered, controller, [controller] { controller->ChooseAccount(); });
    GuardedConnect(form->SimdiEsitle1, &QAction::triggered, controller, [controller] { controller->SyncNow(); });
    GuardedConnect(form->EsitlemeCakismalari1, &QAction::triggered, controller, [controller] { controller->ShowConflicts(); });
}

TSyncController::TSyncController(TForm1 *form) : QObject(form), FForm(form), FNotification(new TDesktopNotification(this))
{
    FNotification->OnActivated = [form] {
        form->show();
        form->raise();
        form->activateWindow();
    };
    FRetry.setSingleShot(true);
    connect(&FInterval, &QTimer::timeout, this, [this] { Quietly([this] { AutoSync(); }); });
    connect(&FRetry, &QTimer::timeout, this, [this] {
        Quietly([this] {
            if (FRefreshPending)
                RefreshGrid();
            if (FSyncPending)
                AutoSync();
        });
    });
    AccountChanged();
    if (FInterval.isActive()) {
        FSyncPending = true;
        FRetry.start(kStartDelayMs);
    }
}

TSyncController::~TSyncController() = default;

void TSyncController::AccountChanged()
{
    FAccount = LoadSyncAccount();
    if (FAccount.IsSet() && FAccount.IntervalMinutes > 0)
        FInterval.start(FAccount.IntervalMinutes * 60 * 1000);
    else
        FInterval.stop();
}

// Busy: a contact is being typed, long work or a dialog is under way.
bool TSyncController::WindowBusy() const
{
    return FForm->ADOQuery1->RowPending() || !FForm->DBGrid1->isEnabled() || TProgressDialogSink::Working()
        || QApplication::activeModalWidget() != nullptr;
}

void TSyncController::ChooseAccount()
{
    TSyncAccountDialog dialog(LoadSyncAccount(), FForm);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TSyncAccount account = dialog.Account();
    SaveSyncAccount(account);
    if (account.IsSet() && !dialog.Password().isEmpty())
        KeepPassword(account, dialog.Password());
    AccountChanged();
}

// Work the window starts by itself: a failure is a notification, never a
// box in the middle of the user's typing.
void TSyncController::Quietly(const std::function<void()> &work)
{
    try {
        work();
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        Notify(ExceptionText(e));
    }
}

void TSyncController::AutoSync()
{
    FSyncPending = false;
    if (!FAccount.IsSet() || FAccount.IntervalMinutes == 0 || FSession)
        return;
    if (WindowBusy() || !FForm->ADOConnection1->Connected()) {
        FSyncPending = true;
        FRetry.start(kPostponeMs);
        return;
    }
    const std::optional<QString> password = LookupPassword(FAccount);
    if (!password) {
        Notify(QStringLiteral("Eşitleme hesabının parolası bulunamadı: İşlemler > Şimdi Eşitle ile parolayı yazın."));
        return;
    }
    FSession = new TSyncSession(*FForm->ADOConnection1, FAccount, *password, TSyncOptions{}, this);
    if (!FAccount.TrustedFingerprint.isEmpty())
        FSession->TrustFingerprint(FAccount.TrustedFingerprint);
    // Nothing is deleted in bulk without the user: that waits for "Şimdi Eşitle".
    connect(FSession, &TSyncSession::MassDeleteAsked, FSession, [session = FSession.data()] { session->ConfirmMassDelete(false); });
    connect(FSession, &TSyncSession::Finished, this, [this] { Quietly([this] { AutoSyncFinished(); }); });
    FSession->Start();
}

void TSyncController::AutoSyncFinished()
{
    const TSyncResult result = FSession->Result();
    FSession->deleteLater();
    FSession = nullptr;
    if (result.Changed())
        RefreshGrid();
    if (result.Error.Kind == TSyncFailure::None)
        FNotified.clear();
    else if (result.Error.Kind != TSyncFailure::Cancelled)
        Notify(SyncErrorText(result.Error));
}

// An automatic sync's failure: a notification once (the same failure again
// is not notified again), kept for the next "Şimdi Eşitle".
void TSyncController::Notify(const QString &text)
{
    FAutoFailure = text;
    if (text != FNotified)
        FNotification->Show(QStringLiteral("Eşitleme yapılamadı"), text);
    FNotified = text;
}

// The record set again, so that the grid shows what arrived; the current
// contact stays current when it still exists. A contact being typed is not
// dropped: the grid waits for it.
void TSyncController::RefreshGrid()
{
    TADOQuery &query = *FForm->ADOQuery1;
    if (!query.Active())
        return;
    if (query.RowPending() || TProgressDialogSink::Working() || !FForm->DBGrid1->isEnabled()) {
        FRefreshPending = true;
        FRetry.start(kRefreshRetryMs);
        return;
    }
    FRefreshPending = false;
    const int no = query.FieldIndex(QStringLiteral("No"));
    const int row = query.CurrentDisplayRow();
    const QString current = no >= 0 && row >= 0 ? query.DisplayText(row, no) : QString();
    query.Close();
    query.Open();
    if (!current.isEmpty())
        if (const int at = FForm->ContactDisplayRow(current.toLongLong()); at >= 0)
            query.MoveToDisplayRow(at);
}

TSyncResult TSyncController::Run(const TSyncAccount &account, const QString &password)
{
    TSyncSession session(*FForm->ADOConnection1, account, password, TSyncOptions{});
    if (!account.TrustedFingerprint.isEmpty())
        session.TrustFingerprint(account.TrustedFingerprint);
    FSession = &session;
    bool finished = false, cancelled = false;
    qint64 done = 0;
    {
        TProgress progress(QStringLiteral("Rehber sunucuyla eşitleniyor"), 0, true);
        const auto step = [&] {
            if (!progress.Step(done) && !std::exchange(cancelled, true))
                session.Cancel();
        };
        connect(&session, &TSyncSession::Progress, &session, [&](qint64 d, qint64 total) {
            done = d;
            progress.SetTotal(total);
            step();
        });
        connect(&session, &TSyncSession::MassDeleteAsked, &session, [&session](int count) {
            const int answer = Application->MessageBox(MassDeleteQuestion(count), Application->Title(), TMessageKind::Question);
            session.ConfirmMassDelete(answer == IDYES);
        });
        // The dialog shows after half a second even while no reply has come.
        QTimer tick;
        connect(&tick, &QTimer::timeout, &session, step);
        tick.start(100);
        QEventLoop loop;
        connect(&session, &TSyncSession::Finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        session.Start();
        if (!finished)
            loop.exec();
    }
    FSession = nullptr;
    return session.Result();
}

void TSyncController::SyncNow()
{
    // The entry again before the progress dialog shows: the first one goes on.
    if (FByHand)
        return;
    FByHand = true;
    const auto done = qScopeGuard([this] { FByHand = false; });
    RequireNoPendingRow(FForm);
    while (FSession) // an automatic sync under way ends first
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    FAccount = LoadSyncAccount();
    if (!FAccount.IsSet()) {
        ChooseAccount();
        if (!FAccount.IsSet())
            return;
    }
    std::optional<QString> password = LookupPassword(FAccount);
    bool typed = false;
    TSyncResult result;
    for (int attempt = 0;; ++attempt) {
        if (!password) {
            password = AskPassword(FForm, FAccount, attempt > 0);
            if (!password)
                throw EAbort();
            typed = true;
        }
        result = Run(FAccount, *password);
        const TSyncError &error = result.Error;
        if (error.Kind == TSyncFailure::Unauthorized && attempt < 3) {
            password.reset();
            continue;
        }
        if (error.Kind == TSyncFailure::Certificate && !error.Fingerprint.isEmpty() && error.Fingerprint != FAccount.TrustedFingerprint
            && Application->MessageBox(TrustFingerprintQuestion(error.Fingerprint), Application->Title(), TMessageKind::Question)
                == IDYES) {
            FAccount.TrustedFingerprint = error.Fingerprint;
            SaveSyncAccount(FAccount);
            continue;
        }
        break;
    }
    if (typed && (result.Error.Kind == TSyncFailure::None || result.Changed()))
        KeepPassword(FAccount, *password);
    ShowOutcome(result);
}

// What "Şimdi Eşitle" shows at its end: the summary when something changed,
// the failure, and an automatic sync's failure not yet shown here.
void TSyncController::ShowOutcome(const TSyncResult &result)
{
    if (result.Changed())
        RefreshGrid();
    const std::optional<QString> earlier = std::exchange(FAutoFailure, std::nullopt);
    FNotified.clear();
    const QString summary = SyncSummaryText(result);
    QStringList parts;
    switch (result.Error.Kind) {
    case TSyncFailure::None: break;
    case TSyncFailure::MassDelete: // the user said no: nothing went wrong
        parts << SyncErrorText(result.Error);
        break;
    case TSyncFailure::Cancelled:
        if (result.Changed())
            Application->ShowMessage(summary);
        throw EAbort();
    default:
        throw Exception(result.Changed() ? SyncErrorText(result.Error) + QStringLiteral("\n\n") + summary : SyncErrorText(result.Error));
    }
    if (earlier)
        parts << QStringLiteral("Son otomatik eşitleme yapılamamıştı: %1").arg(*earlier);
    if (result.Changed())
        parts << summary;
    if (!parts.isEmpty())
        Application->ShowMessage(parts.join(QStringLiteral("\n\n")));
}

void TSyncController::ShowConflicts()
{
    RequireNoPendingRow(FForm);
    if (PendingConflicts(*FForm->ADOConnection1).empty()) {
        Application->ShowMessage(QStringLiteral("Bekleyen eşitleme çakışması yok."));
        return;
    }
    TSyncConflictsDialog dialog(*FForm->ADOConnection1, FForm);
    dialog.exec();
    if (dialog.ContactsChanged())
        RefreshGrid();
}
