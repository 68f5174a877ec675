#pragma once

// The inside of TSyncSession: one sync as a chain of steps on the event loop.
#include "contacts/DuplicateCheck.h"
#include "store/SyncTables.h"
#include "sync/CardQueue.h"
#include "sync/DavClient.h"
#include "sync/DavXml.h"
#include "sync/SyncAccount.h"
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

// A card as the directory reads it: the seven values as the card gives
// them (Raw) and as they fit the columns (Fit: a value too long for its
// column left out).
struct TCardValues {
    bool Ok = false;
    QByteArray Raw[7];
    QByteArray Fit[7];
    QStringList TooLong; // the columns left out
    QByteArray Uid;
};

// One thing to do: a request (or none) and what the database gets when it
// succeeds.
struct TSyncStep {
    enum class TRequest { None, Put, Delete } Request = TRequest::None;
    QString Href;
    QByteArray IfMatch;
    bool Create = false; // If-None-Match: *
    QByteArray Card;     // what is PUT

    std::int64_t No = 0; // the contact; 0: a new one is inserted
    bool WriteRow = false;
    bool DeleteRow = false;
    QByteArray Row[7];
    bool KeepState = true; // false: the card's state goes
    TSyncCardRow State;
    std::vector<TSyncConflictRow> Conflicts;
    std::vector<TCardProblem> Problems;
    int Received = 0, Sent = 0, Deleted = 0;
    bool Pending = false; // a new card: its state is stored before the PUT
    // For a 412 on a PUT of a changed card: the values the merge started from.
    struct TMergeStart {
        QByteArray Base[7], Local[7];
    };
    std::unique_ptr<TMergeStart> Start;
    void Remember(const QByteArray *base, const QByteArray *local)
    {
        Start = std::make_unique<TMergeStart>();
        std::copy(base, base + 7, Start->Base);
        std::copy(local, local + 7, Start->Local);
    }
    bool LocalDeleted = false;
    bool Retried = false;
    bool Ok = false; // done: its database part is stored
};

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
    // SyncRun.cpp: the database, the address book, the cards' values.
    void Open();
    void CheckBook();
    bool Inside(const QString &href, QString *path);
    QUrl UrlOf(const QString &path) const;
    // False, having failed the sync, when the reply is not a readable multistatus.
    bool Multistatus(const TDavReply &reply, TMultistatus &ms);
    void Fail(const TSyncError &error);
    void Fail(TSyncFailure kind, const QString &text = QString());
    void Done();
    TCardValues Read(const QByteArray &card) const;
    QByteArray Digest(const QByteArray *values) const;
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
    // SyncPlan.cpp: what to do.
    void Plan();
    // True for a card new to this directory, left in FCards for Receive.
    bool PlanServerCard(const QString &path, const QByteArray &card, const QByteArray &etag);
    // A card new to this directory as a step: a new contact linked to it.
    TSyncStep NewFromServer(const QString &path, const QByteArray &card, const QByteArray &etag, const TCardValues &server) const;
    void PlanLinked(TSyncCardRow &state, const TCardValues &server, const QByteArray &card, const QByteArray &etag);
    void PlanServerGone(const TSyncCardRow &state);
    void PlanLocal();
    // The next `count` contacts new to the book as steps, in place of the
    // steps done; raises when the database cannot be read.
    void PlanNew(std::size_t count);
    void AskMassDelete();
    // SyncReceive.cpp: storing the new cards.
    void Receive();
    // SyncApply.cpp: doing the rest.
    void Apply();
    void ApplyBatch();
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
    TSyncConflictRow Conflict(std::int64_t no, const QByteArray *names, int column, const QByteArray &local, const QByteArray &server,
                              TSyncConflict::Kind kind) const;

    TSyncSession *FOwner;
    TADOConnection &FConnection;
    TSyncAccount FAccount;
    TSyncOptions FOptions;
    TDavClient FClient;
    std::unique_ptr<TSyncTables> FTables;
    std::vector<int> FWidths;
    QStringList FColumnNames;
    std::unique_ptr<QLockFile> FFileLock;
    bool FLocked = false;
    bool FCancelled = false;
    bool FFinished = false;
    bool FStepFailed = false;

    QUrl FBook;        // ends in "/"
    QString FBookPath; // decoded
    bool FOnly40 = false;
    bool FSyncCollection = false;
    QByteArray FToken, FNewToken;

    std::map<QString, TSyncCardRow> FStates; // by href
    std::map<std::int64_t, QString> FHrefOf; // contact -> href
    std::map<std::int64_t, TContactRow> FRows;
    std::map<QString, QByteArray> FChanged; // href -> ETag listed, cards to fetch
    std::set<QString> FGone;
    // A full listing (every card of the book): the linked cards it named, and how many it named in all.
    std::set<QString> FListed;
    int FListedCount = 0;
    bool FFullListing = false;
    bool FTruncated = false; // the server sent part of a sync-collection
    bool FRelisted = false;  // an expired token gave way to a listing of every card
    // The cards listed or fetched; after the plan, those new to this
    // directory.
    TCardQueue FCards;
    std::size_t FReceived = 0; // the new cards stored so far
    std::vector<QString> FToFetch;

    std::unique_ptr<TDuplicateCheck> FDuplicates; // contacts not linked yet
    std::set<std::int64_t> FLinked;               // linked by this sync
    std::vector<TSyncStep> FSteps;
    // The contacts that get new cards: only their keys until their batch
    // is planned (PlanNew), after every step of FSteps.
    std::vector<std::int64_t> FNew;
    std::size_t FNewAt = 0;
    std::size_t FStepCount = 0; // the steps planned, those of FNew included
    std::size_t FBatchEnd = 0;
    std::size_t FIssued = 0; // the next step of the batch to start
    std::size_t FDone = 0;   // steps answered or done at once, for the progress
    int FInFlight = 0;
    TSyncError FStop;                // the transport failure that stops the sync
    std::set<std::int64_t> FHandled; // contacts a server change already covers
    std::size_t FNext = 0;
    std::vector<TOwnWrite> FOwnWrites; // our writes that were answered (SyncApply.cpp)
    int FLocalDeletes = 0, FServerDeletes = 0;
};
