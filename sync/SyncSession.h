#pragma once

#include "sync/SyncTypes.h"

#include <QObject>
#include <memory>

class TADOConnection;
struct TSyncAccount;
class TSyncRun;
class TProbeRun;

// One sync of the connection's contacts with the account's address book,
// asynchronous on the caller's event loop: the network never blocks it and
// database work goes in slices.
class TSyncSession : public QObject {
    Q_OBJECT
public:
    TSyncSession(TADOConnection &connection, const TSyncAccount &account, const QString &password, const TSyncOptions &options,
                 QObject *parent = nullptr);
    ~TSyncSession() override;

    void Start();
    // Stops after the requests in flight; what was done stays consistent.
    void Cancel();
    // The answer to MassDeleteAsked.
    void ConfirmMassDelete(bool proceed);
    // Set before Start to accept the certificate with that SHA-256.
    void TrustFingerprint(const QString &sha256);
    const TSyncResult &Result() const;
    // HTTP requests sent so far.
    int RequestCount() const;

Q_SIGNALS:
    void Progress(qint64 done, qint64 total);
    // The session waits for ConfirmMassDelete: count contacts would be
    // deleted from side.
    void MassDeleteAsked(int count, TSyncSide side = TSyncSide::Local);
    // Result() is final.
    void Finished();

private:
    std::unique_ptr<TSyncRun> FRun;
};

// Discovery for an account (/.well-known/carddav, current-user-principal,
// addressbook-home-set): the address books with their names and card
// counts, or an error.
class TSyncProbe : public QObject {
    Q_OBJECT
public:
    TSyncProbe(const TSyncAccount &account, const QString &password, QObject *parent = nullptr);
    ~TSyncProbe() override;

    void TrustFingerprint(const QString &sha256);
    void Start();
    void Cancel();
    const std::vector<TAddressBookInfo> &AddressBooks() const;
    const TSyncError &Error() const;

Q_SIGNALS:
    void Finished();

private:
    std::unique_ptr<TProbeRun> FRun;
};

// The conflicts kept in the database.
std::vector<TSyncConflict> PendingConflicts(TADOConnection &connection);
// Writes the server's value to the contact; the next sync sends it.
void TakeServerValue(TADOConnection &connection, qint64 conflictId);
void DismissConflict(TADOConnection &connection, qint64 conflictId);
