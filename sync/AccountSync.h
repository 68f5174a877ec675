#pragma once

#include "sync/SyncAccount.h"
#include "sync/SyncSession.h"
#include "sync/SyncTypes.h"

#include <QObject>
#include <QPointer>
#include <exception>
#include <functional>
#include <optional>

class TADOConnection;

// What one sync of the account asks of its caller, who answers in its own
// way (the window with dialogs, the contacts tool on the terminal).
struct TAccountSyncHooks {
    // A password to try; wrong: the server refused the one before.
    // std::nullopt: none to try, and the sync ends.
    std::function<std::optional<QString>(bool wrong)> Password;
    // A certificate nobody vouches for, with its SHA-256: true trusts it
    // (it is kept in the account) and the sync starts again. Unset: no.
    std::function<bool(const QString &fingerprint)> TrustCertificate;
};

// How one sync of the account ended, as data.
struct TAccountSyncOutcome {
    TSyncResult Result;
    TSyncAccount Account; // with the linked address book and a certificate trusted on the way
    bool NoPassword = false;
    std::optional<QString> Password; // the one the server took (or the last tried)
    int Requests = 0;                // HTTP requests of every session
    std::exception_ptr AccountError; // the account could not be saved (EFileError)
};

// "Sync this account": runs sessions of the connection with the account's
// address book until one ends for good, asking again for a refused
// password (three times) and for trust in an unknown certificate, and
// keeps what was learnt on the way in the saved account: the address book
// the directory is linked to, the certificate the user trusted and the time
// of the last sync that succeeded.
// Asynchronous on the caller's event loop, like TSyncSession.
class TAccountSync final : public QObject {
    Q_OBJECT
public:
    TAccountSync(TADOConnection &connection, const TSyncAccount &account, TAccountSyncHooks hooks, const TSyncOptions &options,
                 QObject *parent = nullptr);
    ~TAccountSync() override;

    void Start();
    // Stops at any point, a mass-delete question unanswered included;
    // the outcome is then Cancelled with what was done before.
    void Cancel();
    // The answer to MassDeleteAsked.
    void ConfirmMassDelete(bool proceed);
    bool Running() const { return FRunning; }
    const TAccountSyncOutcome &Outcome() const { return FOutcome; }

Q_SIGNALS:
    void Progress(qint64 done, qint64 total);
    // The sync waits for ConfirmMassDelete: count contacts would go from side.
    void MassDeleteAsked(int count, TSyncSide side);
    // Outcome() is final.
    void Finished();

private:
    void Attempt(bool wrongPassword);
    void SessionFinished();
    void End();
    void KeepLinkedBook();
    void Save();

    TADOConnection &FConnection;
    TAccountSyncHooks FHooks;
    TSyncOptions FOptions;
    TAccountSyncOutcome FOutcome;
    QPointer<TSyncSession> FSession;
    int FRefusals = 0;
    bool FRunning = false, FCancelled = false, FAsking = false, FLearnt = false;
};
