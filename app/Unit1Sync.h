#pragma once

#include "sync/AccountSync.h"
#include "sync/SyncAccount.h"
#include "sync/SyncTypes.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>

class TForm1;
class TDesktopNotification;

// The window's side of keeping the directory in step with a CardDAV
// address book: Ayarlar > "Eşitleme Hesabı...", İşlemler > "Şimdi Eşitle"
// and "Eşitleme Çakışmaları...", and the automatic sync at start and every
// few minutes. An automatic sync never shows a box: it waits while a
// contact is being edited or a dialog is open, and its failures go to a
// desktop notification once and again at the next "Şimdi Eşitle" that does
// not succeed. A password no keyring or ~/.netrc keeps is kept in memory
// while the program runs.
class TSyncController final : public QObject {
    Q_OBJECT
public:
    explicit TSyncController(TForm1 *form);
    ~TSyncController() override;

    // The menu entries' commands.
    void ChooseAccount();
    void SyncNow();
    void ShowConflicts();

    // Reads the account again and sets the timer by its interval.
    void AccountChanged();
    // True while a sync (automatic or not) is under way.
    bool Syncing() const { return FSync != nullptr; }

private:
    struct TKeptPassword {
        QString Host, User, Password;
    };

    void Quietly(const std::function<void()> &work);
    void AutoSync();
    TAccountSyncOutcome RunByHand(bool *typed, bool *declined);
    void AutoSyncFinished();
    void Notify(const QString &failure);
    void ShowOutcome(const TSyncResult &result);
    void RefreshGrid();
    bool WindowBusy() const;
    std::optional<QString> KnownPassword(const TSyncAccount &account) const;
    void KeepPassword(const TSyncAccount &account, const QString &password);

    TForm1 *FForm;
    TSyncAccount FAccount;
    QTimer FInterval, FRetry;
    QPointer<TAccountSync> FSync;
    TDesktopNotification *FNotification;
    std::optional<QString> FAutoFailure; // not yet shown at a "Şimdi Eşitle"
    QString FNotified;                   // the failure last notified, not notified twice
    std::optional<TKeptPassword> FKept;  // the password last typed, for this run of the program
    bool FRefreshPending = false, FSyncPending = false, FByHand = false, FByHandPending = false;
};

// Adds the entries and the controller to the window.
void AddSyncMenus(TForm1 *form);
