#pragma once

// What a sync does, decided before anything is written, as a pure function
// of three states: the base (each linked card as last synced), the
// directory (its contacts) and what the server listed. Nothing here reads
// the database or the network.
#include "store/SyncTables.h"
#include "sync/CardQueue.h"
#include "sync/CardValues.h"
#include "sync/SyncTypes.h"

#include <map>
#include <memory>
#include <set>
#include <vector>

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
    QByteArray Row[cfCount];
    bool KeepState = true; // false: the card's state goes
    TSyncCardRow State;
    std::vector<TSyncConflictRow> Conflicts;
    std::vector<TCardProblem> Problems;
    int Received = 0, Sent = 0, Deleted = 0;
    bool Pending = false; // a new card: its state is stored before the PUT
    // For a 412 on a PUT of a changed card: the values the merge started from.
    struct TMergeStart {
        QByteArray Base[cfCount], Local[cfCount];
    };
    std::unique_ptr<TMergeStart> Start;
    void Remember(const QByteArray *base, const QByteArray *local);
    bool LocalDeleted = false;
    bool Retried = false;
    bool Ok = false; // done: its database part is stored
};

// What the server listed: the cards that changed with their data, those
// gone, and for a listing of every card, which linked cards it named.
struct TSyncListing {
    TCardQueue Cards;
    std::set<QString> Gone;
    std::map<QString, QByteArray> Changed; // listed without data: href -> ETag, fetched before the plan
    bool Full = false;                     // every card of the book was listed
    std::set<QString> Listed;              // a full listing: the linked cards it named
    int ListedCount = 0;                   // a full listing: how many cards it named
    QByteArray NewToken;
};

// The directory as the plan needs it: the contacts linked to a card (every
// contact, when cards new here may be the same people), and only the keys
// of the others.
struct TSyncDirectory {
    std::map<std::int64_t, TSyncContact> Rows;
    std::vector<std::int64_t> Unlinked;
    int Count = 0; // contacts in all
};

struct TSyncPlan {
    std::vector<TSyncStep> Steps;
    TCardQueue NewCards;                   // cards new here: each becomes a new contact
    std::vector<std::int64_t> NewContacts; // contacts new to the book, in key order: each gets a card
    int LocalDeletes = 0, ServerDeletes = 0;
    bool Unread = false; // a card could not be read: the token stays, so it comes again
    // More than half of this directory's contacts would go (and more than a few).
    bool MassLocal(int localRows) const { return LocalDeletes > 10 && LocalDeletes * 2 > localRows; }
    // More than half of the book's cards would go (and more than a few).
    bool MassServer(int serverCards) const { return ServerDeletes > 10 && ServerDeletes * 2 > serverCards; }
};

struct TPlanOptions {
    bool DryRun = false; // cards new here become steps too, so that they are counted
    bool Only40 = false; // the book takes vCard 4.0 only
};

// The base (by href) and the directory are taken; the listing's cards are
// taken from it.
TSyncPlan PlanSync(std::map<QString, TSyncCardRow> base, TSyncDirectory directory, TSyncListing &listing, const TCardColumns &columns,
                   const TPlanOptions &options);

// A card new to this directory as a step: a new contact linked to it.
TSyncStep ReceivedStep(const QString &path, const QByteArray &card, const QByteArray &etag, const TCardValues &server);

// A conflict of the contact no (names: its values, for its name) about a
// column (-1: the whole contact).
TSyncConflictRow ConflictRow(std::int64_t no, const QByteArray *names, int column, const QByteArray &local, const QByteArray &server,
                             TSyncConflict::Kind kind);

// The values to patch a card with: where the merge kept the card's own
// value, the card's value whole (a value too long for its column stays).
void ValuesForCard(const QByteArray *merged, const TCardValues &card, QByteArray *out);
