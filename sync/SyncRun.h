#pragma once

// The inside of TSyncSession: one sync as a chain of steps on the event loop.
#include "store/SyncTables.h"
#include "sync/CardQueue.h"
#include "sync/DavClient.h"
#include "sync/DavXml.h"
#include "sync/SyncAccount.h"
#include "sync/SyncPlan.h"
#include "sync/SyncTypes.h"

#include <QLockFile>
#include <QUrl>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

class TADOConnection;
class TSyncSession;

// One of this sync's own writes, known again in the changes the server lists after it.
using TOwnWrite = std::array<char, 20>;

// One sync, on the event loop, as three steps that each hand a value to the
// next: the listing (TSyncListing) from the server, the plan (PlanSync, a
// pure function of the base, the directory and the listing), and its steps
// applied: the new cards stored, the requests sent, what they did stored.
class TSyncRun : public QObject {
    Q_OBJECT
public:
    TSyncRun(TSyncSession *owner, TADOConnection &connection, const TSyncAccount &account, const QString &password,
             const TSyncOptions &options);
    ~TSyncRun() override;

    void Start();
    void Cancel();
    void ConfirmMassDelete(bool proceed);
    void TrustFingerprint(const QString &sha256) { FClient.SetTrustedFingerprint(sha256); }
    TSyncResult Result;
    int RequestCount() const { return FClient.RequestCount(); }

private:
    // SyncRun.cpp: the database, the address book.
    void Open();
    void CheckBook();
    bool Inside(const QString &href, QString *path);
    QUrl UrlOf(const QString &path) const;
    // False, having failed the sync, when the reply is not a readable multistatus.
    bool Multistatus(const TDavReply &reply, TMultistatus &ms);
    void Fail(const TSyncError &error);
    void Fail(TSyncFailure kind, const QString &text = QString());
    void Done();
    // SyncList.cpp: the listing, the cards.
    void List();
    // sync-collection from the token (empty: every card), with the cards'
    // data; round counts the parts of one listing.
    void ListChanges(const QByteArray &token, int round = 1);
    // PROPFIND Depth 1: every card's ETag (after the book's token).
    void ListAll();
    void ListETags();
    // A listing whose responses are taken as they arrive; next gets the
    // reply when it has ended.
    void SendListing(const TDavRequest &request, std::function<void(TDavReply &, TMultistatusReader &)> next);
    // False, having failed the sync, when the listing did not come whole.
    bool Listed(const TDavReply &reply, TMultistatusReader &reader);
    void ForgetListing();
    // One response of a listing: a card changed (with its data, or to
    // fetch) or gone; false when the sync failed on an href outside the book.
    bool TakeListed(TDavResponse &r);
    void ListingDone();
    void Fetch();
    void FetchFrom(std::size_t at);
    // SyncRun.cpp: the plan made from the listing and the directory.
    void Plan();
    void AskMassDelete(TSyncSide side);
    int MassDeleteCount() const; // on the side asked about
    // SyncReceive.cpp: storing the new cards.
    void Receive();
    // SyncApply.cpp: doing the rest.
    void Apply();
    void ApplyBatch();
    // The next `count` contacts new to the book as steps, in place of the
    // steps done; raises when the database cannot be read.
    void PlanNew(std::size_t count);
    void Issue();
    void Send(std::size_t at);
    void StepReply(std::size_t at, TDavReply &reply);
    void Retry412(std::size_t at, TDavReply &fetched);
    void StepDone(); // a step in flight is answered
    void StopAt(const TSyncError &error);
    void Store(std::size_t from, std::size_t to);
    void Finish();
    void ConfirmToken();
    void SaveBook(const QByteArray &token);

    TSyncSession *FOwner;
    TADOConnection &FConnection;
    TSyncAccount FAccount;
    TSyncOptions FOptions;
    TDavClient FClient;
    std::unique_ptr<TSyncTables> FTables;
    TCardColumns FColumns;
    std::unique_ptr<QLockFile> FFileLock;
    bool FLocked = false;
    bool FCancelled = false;
    bool FFinished = false;
    bool FStepFailed = false; // something was not done: the token stays
    bool FAsking = false;     // the mass-delete question waits for its answer
    TSyncSide FMassSide = TSyncSide::Local;

    QUrl FBook;        // ends in "/"
    QString FBookPath; // decoded
    bool FOnly40 = false;
    bool FSyncCollection = false;
    QByteArray FToken;

    // The listing.
    std::map<QString, TSyncCardRow> FBase; // by href, as last synced
    TSyncListing FListing;
    bool FTruncated = false; // the server sent part of a sync-collection
    bool FRelisted = false;  // an expired token gave way to a listing of every card
    std::vector<QString> FToFetch;

    // The plan, applied.
    TSyncPlan FPlan;
    std::size_t FReceived = 0;     // the new cards stored so far
    std::vector<TSyncStep> FSteps; // the batch of steps being done
    std::size_t FNewAt = 0;        // the contacts of FPlan.NewContacts given steps so far
    std::size_t FStepCount = 0;    // the steps planned, those of the new contacts included
    std::size_t FBatchEnd = 0;
    std::size_t FIssued = 0; // the next step of the batch to start
    std::size_t FDone = 0;   // steps answered or done at once, for the progress
    int FInFlight = 0;
    TSyncError FStop; // the transport failure that stops the sync
    std::size_t FNext = 0;
    std::vector<TOwnWrite> FOwnWrites; // our writes that were answered (SyncApply.cpp)
};
