#pragma once

// The inside of TSyncSession: one sync as a chain of steps on the event loop.
#include "contacts/DuplicateCheck.h"
#include "store/SyncTables.h"
#include "sync/DavClient.h"
#include "sync/DavXml.h"
#include "sync/SyncAccount.h"
#include "sync/SyncTypes.h"

#include <QLockFile>
#include <QUrl>
#include <map>
#include <memory>
#include <set>
#include <vector>

class TADOConnection;
class TSyncSession;

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
    // SyncRun.cpp: the database, the address book, the listing, the cards.
    void Open();
    void CheckBook();
    void List();
    void ListAll();
    // The changed and gone cards of a listing (full: a PROPFIND of every
    // card); false when the sync failed on an href outside the book.
    bool TakeListing(const TMultistatus &ms, bool full);
    void Fetch();
    void FetchFrom(std::size_t at);
    bool Inside(const QString &href, QString *path);
    QUrl UrlOf(const QString &path) const;
    // False, having failed the sync, when the reply is not a readable multistatus.
    bool Multistatus(const TDavReply &reply, TMultistatus &ms);
    void Fail(const TSyncError &error);
    void Fail(TSyncFailure kind, const QString &text = QString());
    void Done();
    TCardValues Read(const QByteArray &card) const;
    QByteArray Digest(const QByteArray *values) const;
    // SyncPlan.cpp: what to do.
    void Plan();
    void PlanServerCard(const QString &path, const QByteArray &card, const QByteArray &etag);
    void PlanLinked(TSyncCardRow &state, const TCardValues &server, const QByteArray &card, const QByteArray &etag);
    void PlanServerGone(const TSyncCardRow &state);
    void PlanLocal();
    void AskMassDelete();
    // SyncApply.cpp: doing it.
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
    std::map<QString, QByteArray> FListed; // a full listing: href -> ETag
    bool FFullListing = false;
    std::vector<std::pair<QString, std::pair<QByteArray, QByteArray>>> FCards; // href -> (card, ETag)
    std::vector<QString> FToFetch;

    std::unique_ptr<TDuplicateCheck> FDuplicates; // contacts not linked yet
    std::set<std::int64_t> FLinked;               // linked by this sync
    std::vector<TSyncStep> FSteps;
    std::size_t FBatchEnd = 0;
    std::size_t FIssued = 0; // the next step of the batch to start
    std::size_t FDone = 0;   // steps answered or done at once, for the progress
    int FInFlight = 0;
    TSyncError FStop;                // the transport failure that stops the sync
    std::set<std::int64_t> FHandled; // contacts a server change already covers
    std::size_t FNext = 0;
    std::map<QString, QByteArray> FOwnWrites; // href -> the ETag our PUT got; null: deleted
    int FLocalDeletes = 0, FServerDeletes = 0;
};
