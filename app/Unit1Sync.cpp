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

std::optional<QString> AskPassword(QWidget *parent, const TSyncAccount &account, bool wrong)
{
    QString label = QStringLiteral("%1 kullanıcısının %2 sunucusundaki parolası:").arg(account.User, account.Host());
    if (wrong)
        label.prepend(QStringLiteral("Kullanıcı adı ya da parola yanlış.\n"));
    const TProgressPause pause;
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
    if (dialog.Removed())
        FKept.reset();
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
    if (!FAccount.IsSet() || FAccount.IntervalMinutes == 0 || FSync)
        return;
    if (WindowBusy() || !FForm->ADOConnection1->Connected()) {
        FSyncPending = true;
        FRetry.start(kPostponeMs);
        return;
    }
    // Only a password the program already has: nothing is asked.
    TAccountSyncHooks hooks;
    hooks.Password = [this](bool wrong) { return wrong ? std::nullopt : KnownPassword(FAccount); };
    FSync = new TAccountSync(*FForm->ADOConnection1, FAccount, hooks, TSyncOptions{}, this);
    // Nothing is deleted in bulk without the user: that waits for "Şimdi Eşitle".
    connect(FSync, &TAccountSync::MassDeleteAsked, FSync, [sync = FSync.data()] { sync->ConfirmMassDelete(false); });
    connect(FSync, &TAccountSync::Finished, this, [this] { Quietly([this] { AutoSyncFinished(); }); });
    FSync->Start();
}

void TSyncController::AutoSyncFinished()
{
    const TAccountSyncOutcome outcome = FSync->Outcome();
    FSync->deleteLater();
    FSync = nullptr;
    FAccount = outcome.Account;
    // "Şimdi Eşitle" asked for while this one ran comes now.
    if (std::exchange(FByHandPending, false))
        QTimer::singleShot(0, this, [this] { Application->Guard([this] { SyncNow(); }); });
    const TSyncResult &result = outcome.Result;
    if (result.Changed())
        RefreshGrid();
    if (outcome.NoPassword)
        Notify(QStringLiteral("Eşitleme hesabının parolası bulunamadı: İşlemler > Şimdi Eşitle ile parolayı yazın."));
    else if (result.Error.Kind == TSyncFailure::None)
        FNotified.clear();
    else if (result.Error.Kind != TSyncFailure::Cancelled)
        Notify(SyncErrorText(result.Error));
    if (outcome.AccountError)
        std::rethrow_exception(outcome.AccountError);
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

// The password the program has for the account: the one typed while it
// runs, then the keyring's or ~/.netrc's.
std::optional<QString> TSyncController::KnownPassword(const TSyncAccount &account) const
{
    if (FKept && FKept->Host == account.Host() && FKept->User == account.User)
        return FKept->Password;
    return LookupPassword(account);
}

// Keeps the password where the desktop keeps passwords; without a keyring,
// or with one that refuses it, in ~/.netrc when the user agrees; and in
// memory for as long as the program runs in any case.
void TSyncController::KeepPassword(const TSyncAccount &account, const QString &password)
{
    FKept = TKeptPassword{account.Host(), account.User, password};
    bool refused = false;
    try {
        if (StorePassword(account, password, false) == TPasswordPlace::Keyring)
            return;
    } catch (const EKeyringError &) {
        refused = true;
    }
    const QString why = refused ? QStringLiteral("Masaüstünün anahtarlığı parolayı kaydetmedi.")
                                : QStringLiteral("Parolayı saklayacak bir anahtarlık bulunamadı.");
    if (Application->MessageBox(why + QStringLiteral(" Parola ~/.netrc dosyasına, yalnızca sizin okuyabileceğiniz biçimde yazılsın mı?"),
                                Application->Title(), TMessageKind::Question)
        == IDYES)
        StoreNetRcPassword(account, password);
}

// One sync of the account with its progress dialog. The dialog steps
// aside while the sync asks something (a password, a certificate, a mass
// deletion), so that the question is the window that takes input, and
// İptal ends the sync whenever it is pressed.
TAccountSyncOutcome TSyncController::RunByHand(bool *typed, bool *declined)
{
    TAccountSyncHooks hooks;
    hooks.Password = [this, typed, declined](bool wrong) -> std::optional<QString> {
        if (!wrong)
            if (std::optional<QString> known = KnownPassword(FAccount))
                return known;
        std::optional<QString> password = AskPassword(FForm, FAccount, wrong);
        *typed = *typed || password.has_value();
        *declined = !password.has_value();
        return password;
    };
    hooks.TrustCertificate = [](const QString &fingerprint) {
        const TProgressPause pause;
        return Application->MessageBox(TrustFingerprintQuestion(fingerprint), Application->Title(), TMessageKind::Question) == IDYES;
    };
    TAccountSync sync(*FForm->ADOConnection1, FAccount, hooks, TSyncOptions{});
    FSync = &sync;
    bool finished = false, cancelled = false;
    qint64 done = 0;
    {
        TProgress progress(QStringLiteral("Rehber sunucuyla eşitleniyor"), 0, true);
        const auto step = [&] {
            if (!progress.Step(done) && !std::exchange(cancelled, true))
                sync.Cancel();
        };
        connect(&sync, &TAccountSync::Progress, &sync, [&](qint64 d, qint64 total) {
            done = d;
            progress.SetTotal(total);
            step();
        });
        connect(&sync, &TAccountSync::MassDeleteAsked, &sync, [&sync](int count, TSyncSide side) {
            int answer = IDNO;
            {
                const TProgressPause pause;
                answer = Application->MessageBox(MassDeleteQuestion(count, side), Application->Title(), TMessageKind::Question);
            }
            sync.ConfirmMassDelete(answer == IDYES);
        });
        // The dialog shows after half a second even while no reply has come.
        QTimer tick;
        connect(&tick, &QTimer::timeout, &sync, step);
        tick.start(100);
        QEventLoop loop;
        connect(&sync, &TAccountSync::Finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        sync.Start();
        if (!finished)
            loop.exec();
    }
    FSync = nullptr;
    return sync.Outcome();
}

void TSyncController::SyncNow()
{
    // The entry again before the progress dialog shows: the first one goes on.
    if (FByHand)
        return;
    RequireNoPendingRow(FForm);
    if (FSync) { // an automatic sync under way: this one follows it
        FByHandPending = true;
        return;
    }
    FByHand = true;
    const auto done = qScopeGuard([this] { FByHand = false; });
    FAccount = LoadSyncAccount();
    if (!FAccount.IsSet()) {
        ChooseAccount();
        if (!FAccount.IsSet())
            return;
    }
    bool typed = false, declined = false;
    const TAccountSyncOutcome outcome = RunByHand(&typed, &declined);
    FAccount = outcome.Account;
    const TSyncResult &result = outcome.Result;
    if (outcome.NoPassword || (declined && result.Error.Kind == TSyncFailure::Unauthorized))
        throw EAbort();
    // The summary shows even when the password could not be kept.
    std::exception_ptr notKept = outcome.AccountError;
    if (typed && outcome.Password && (result.Error.Kind == TSyncFailure::None || result.Changed())) {
        try {
            KeepPassword(FAccount, *outcome.Password);
        } catch (...) {
            notKept = std::current_exception();
        }
    }
    ShowOutcome(result);
    if (notKept)
        std::rethrow_exception(notKept);
}

// What "Şimdi Eşitle" shows at its end: the summary when something changed
// (or that nothing did), the failure, a stop with what was done before it,
// and an automatic sync's failure not yet shown when this one did not
// succeed either.
void TSyncController::ShowOutcome(const TSyncResult &result)
{
    if (result.Changed())
        RefreshGrid();
    const std::optional<QString> earlier = std::exchange(FAutoFailure, std::nullopt);
    FNotified.clear();
    QStringList parts;
    switch (result.Error.Kind) {
    case TSyncFailure::None: parts << (result.Changed() ? SyncSummaryText(result) : NothingToSyncText()); break;
    case TSyncFailure::MassDelete: // the user said no: nothing went wrong
        parts << SyncErrorText(result.Error);
        break;
    case TSyncFailure::Cancelled: parts << SyncSummaryText(result); break;
    default:
        throw Exception(result.Changed() ? SyncErrorText(result.Error) + QStringLiteral("\n\n") + SyncSummaryText(result)
                                         : SyncErrorText(result.Error));
    }
    if (earlier && result.Error.Kind != TSyncFailure::None)
        parts << QStringLiteral("Son otomatik eşitleme yapılamamıştı: %1").arg(*earlier);
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
