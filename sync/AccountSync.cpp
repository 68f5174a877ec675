#include "sync/AccountSync.h"

#include <QDateTime>
#include <QTimer>

TAccountSync::TAccountSync(TADOConnection &connection, const TSyncAccount &account, TAccountSyncHooks hooks, const TSyncOptions &options,
                           QObject *parent)
    : QObject(parent), FConnection(connection), FHooks(std::move(hooks)), FOptions(options)
{
    FOutcome.Account = account;
}

TAccountSync::~TAccountSync() = default;

void TAccountSync::Start()
{
    FRunning = true;
    Attempt(false);
}

void TAccountSync::Cancel()
{
    if (!FRunning || FCancelled)
        return;
    FCancelled = true;
    if (!FSession)
        return;
    FSession->Cancel();
    // A sync waiting for the answer ends without deleting anything.
    if (std::exchange(FAsking, false))
        FSession->ConfirmMassDelete(false);
}

void TAccountSync::ConfirmMassDelete(bool proceed)
{
    if (FSession && std::exchange(FAsking, false))
        FSession->ConfirmMassDelete(proceed);
}

// One session with a password from the caller.
void TAccountSync::Attempt(bool wrongPassword)
{
    std::optional<QString> password = FOutcome.Password;
    if (!password || wrongPassword)
        password = FHooks.Password ? FHooks.Password(wrongPassword) : std::nullopt;
    if (FCancelled) {
        FOutcome.Result.Error = SyncError(TSyncFailure::Cancelled, QString());
        return End();
    }
    if (!password) {
        FOutcome.NoPassword = !wrongPassword;
        return End();
    }
    FOutcome.Password = password;
    FSession = new TSyncSession(FConnection, FOutcome.Account, *password, FOptions, this);
    connect(FSession, &TSyncSession::Progress, this, &TAccountSync::Progress);
    connect(FSession, &TSyncSession::MassDeleteAsked, this, [this](int count, TSyncSide side) {
        FAsking = true;
        Q_EMIT MassDeleteAsked(count, side);
    });
    connect(FSession, &TSyncSession::Finished, this, &TAccountSync::SessionFinished);
    FSession->Start();
}

void TAccountSync::SessionFinished()
{
    TSyncSession *session = FSession;
    FSession = nullptr;
    session->deleteLater();
    FAsking = false;
    FOutcome.Result = session->Result();
    FOutcome.Requests += session->RequestCount();
    TSyncError &error = FOutcome.Result.Error;
    if (FCancelled && error.Kind == TSyncFailure::MassDelete)
        error = SyncError(TSyncFailure::Cancelled, QString());
    KeepLinkedBook();
    if (error.Kind == TSyncFailure::None && !FOptions.DryRun) {
        FOutcome.Account.LastSync = QDateTime::currentDateTimeUtc();
        FLearnt = true;
    }
    if (FCancelled)
        return End();
    if (error.Kind == TSyncFailure::Unauthorized && FRefusals < 3 && FHooks.Password) {
        ++FRefusals;
        return Attempt(true);
    }
    if (error.Kind == TSyncFailure::Certificate && !error.Fingerprint.isEmpty() && error.Fingerprint != FOutcome.Account.TrustedFingerprint
        && FHooks.TrustCertificate && FHooks.TrustCertificate(error.Fingerprint)) {
        FOutcome.Account.TrustedFingerprint = error.Fingerprint;
        FLearnt = true;
        return Attempt(false);
    }
    End();
}

// The address book the run found by itself is the one the account names
// from now on: later syncs go to it straight away.
void TAccountSync::KeepLinkedBook()
{
    const TSyncResult &result = FOutcome.Result;
    if (result.AddressBook.isEmpty() || result.AddressBook == FOutcome.Account.AddressBook
        || result.Error.Kind == TSyncFailure::OtherAddressBook)
        return;
    FOutcome.Account.AddressBook = result.AddressBook;
    FLearnt = true;
}

// What was learnt goes into the account as it is saved now: the user may
// have changed other parts of it meanwhile, or chosen another.
void TAccountSync::Save()
{
    try {
        TSyncAccount saved = LoadSyncAccount();
        const TSyncAccount &learnt = FOutcome.Account;
        if (saved.Url != learnt.Url.trimmed() || saved.User != learnt.User)
            return;
        saved.AddressBook = learnt.AddressBook;
        saved.TrustedFingerprint = learnt.TrustedFingerprint;
        saved.LastSync = learnt.LastSync;
        SaveSyncAccount(saved);
    } catch (...) {
        FOutcome.AccountError = std::current_exception();
    }
}

void TAccountSync::End()
{
    FRunning = false;
    if (std::exchange(FLearnt, false))
        Save();
    QTimer::singleShot(0, this, [this] { Q_EMIT Finished(); });
}
