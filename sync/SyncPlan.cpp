// The plan: each server card that changed, each card gone, each local
// change, as steps. A contact new to the book is planned by its key alone;
// its card is made with its batch when it is sent, so a first upload holds
// a batch of cards, not all of them.
#include "sync/SyncPlan.h"

#include "store/ContactsTable.h"
#include "contacts/DuplicateCheck.h"
#include "contacts/VCardPatch.h"
#include "sync/SyncMerge.h"

#include <algorithm>

namespace {

class TPlanner {
public:
    TPlanner(std::map<QString, TSyncCardRow> base, TSyncDirectory directory, const TCardColumns &columns, const TPlanOptions &options)
        : FStates(std::move(base)), FDirectory(std::move(directory)), FColumns(columns), FOptions(options)
    {
        for (const auto &[href, state] : FStates)
            FHrefOf[state.No] = href;
    }
    TSyncPlan Run(TSyncListing &listing);

private:
    // True for a card new to this directory, left for the new cards.
    bool ServerCard(const QString &path, const QByteArray &card, const QByteArray &etag);
    void Linked(TSyncCardRow &state, const TCardValues &server, const QByteArray &card, const QByteArray &etag);
    void ServerGone(const TSyncCardRow &state);
    void Local(const std::set<QString> &gone);

    std::map<QString, TSyncCardRow> FStates; // by href
    TSyncDirectory FDirectory;
    const TCardColumns &FColumns;
    TPlanOptions FOptions;
    std::map<std::int64_t, QString> FHrefOf;      // contact -> href
    std::unique_ptr<TDuplicateCheck> FDuplicates; // contacts not linked yet
    std::set<std::int64_t> FLinked;               // linked by this sync
    std::set<std::int64_t> FHandled;              // contacts a server change already covers
    TSyncPlan FPlan;
};

TSyncPlan TPlanner::Run(TSyncListing &listing)
{
    // A contact linked to a card is kept for the plan; of the others the
    // directory holds only the key, unless a card new here may be the same
    // person.
    if (!listing.Cards.Empty()) {
        FDuplicates = std::make_unique<TDuplicateCheck>();
        for (const auto &[no, row] : FDirectory.Rows)
            if (!FHrefOf.count(no))
                FDuplicates->AddContact(row.Values, no);
    }
    // The cards new to this directory stay as they came and are stored
    // later; every other card becomes a step here.
    for (; !listing.Cards.Empty(); listing.Cards.Pop()) {
        const TArrivedCard &c = listing.Cards.Front();
        if (ServerCard(c.Path, c.Card, c.ETag))
            FPlan.NewCards.Push(c.Path, c.ETag, c.Card);
    }
    FDuplicates.reset();
    for (const QString &href : listing.Gone)
        if (const auto state = FStates.find(href); state != FStates.end() && !listing.Changed.count(href))
            ServerGone(state->second);
    Local(listing.Gone);
    return std::move(FPlan);
}

bool TPlanner::ServerCard(const QString &path, const QByteArray &card, const QByteArray &etag)
{
    const TCardValues server = FColumns.Read(card);
    auto state = FStates.find(path);
    if (!server.Ok) {
        // Listed as a problem, nothing of it taken.
        TSyncStep step;
        step.Problems.push_back({path, QString(), QString(), TCardProblem::Kind::Unparsable});
        FPlan.Steps.push_back(std::move(step));
        FPlan.Unread = true;
        if (state != FStates.end())
            FHandled.insert(state->second.No);
        return false;
    }
    if (state == FStates.end() && !server.Uid.isEmpty()) {
        // A card this directory sent whose answer never came.
        for (auto it = FStates.begin(); it != FStates.end(); ++it)
            if (it->second.ETag.isNull() && it->second.Uid == server.Uid) {
                state = it;
                state->second.Href = path;
                break;
            }
    }
    if (state != FStates.end()) {
        Linked(state->second, server, card, etag);
        return false;
    }

    const std::int64_t same = FDuplicates->FindContact(server.Fit);
    const auto row = FDirectory.Rows.find(same);
    if (same <= 0 || row == FDirectory.Rows.end() || FLinked.count(same)) {
        if (!FOptions.DryRun)
            return true;
        FPlan.Steps.push_back(ReceivedStep(path, card, etag, server));
        return false;
    }
    // The same person on both sides: linked, not doubled.
    TSyncStep step = ReceivedStep(path, card, etag, server);
    FLinked.insert(same);
    FHandled.insert(same);
    const TMergeOutcome joined = JoinContact(row->second.Values, server.Fit);
    for (const int c : joined.Conflicts)
        step.Conflicts.push_back(
            ConflictRow(same, joined.Values, c, row->second.Values[c], server.Fit[c], TSyncConflict::Kind::SameColumn));
    step.No = same;
    step.WriteRow = !SameValues(joined.Values, row->second.Values);
    std::copy(std::begin(joined.Values), std::end(joined.Values), step.Row);
    step.Received = step.WriteRow;
    if (!SameValues(joined.Values, server.Fit)) {
        QByteArray patched[cfCount];
        ValuesForCard(joined.Values, server, patched);
        step.Request = TSyncStep::TRequest::Put;
        step.Href = path;
        step.IfMatch = etag;
        step.Card = PatchCard(card, server.Raw, patched);
        step.State.Base = step.Card;
        step.Sent = 1;
        step.Remember(server.Fit, row->second.Values);
    }
    step.State.Digest = ValuesDigest(joined.Values);
    FPlan.Steps.push_back(std::move(step));
    return false;
}

void TPlanner::Linked(TSyncCardRow &state, const TCardValues &server, const QByteArray &card, const QByteArray &etag)
{
    FHandled.insert(state.No);
    const TCardValues base = state.Base.isEmpty() ? server : FColumns.Read(state.Base);
    const QByteArray *baseValues = base.Ok ? base.Fit : server.Fit;
    TSyncStep step;
    for (const QString &column : server.TooLong)
        step.Problems.push_back({state.Href, column, QString(), TCardProblem::Kind::NotTaken});
    step.No = state.No;
    step.State = {state.No, state.Href, etag, server.Uid.isEmpty() ? state.Uid : server.Uid, card, QByteArray()};
    const auto row = FDirectory.Rows.find(state.No);
    if (row == FDirectory.Rows.end()) {
        if (SameValues(server.Fit, baseValues)) {
            // Unchanged there, deleted here.
            step.Request = TSyncStep::TRequest::Delete;
            step.Href = state.Href;
            step.IfMatch = etag;
            step.KeepState = false;
            step.LocalDeleted = true;
            step.Deleted = 1;
            ++FPlan.ServerDeletes;
        } else {
            // Changed there, deleted here: the change wins.
            step.No = 0;
            step.WriteRow = true;
            std::copy(std::begin(server.Fit), std::end(server.Fit), step.Row);
            step.State.Digest = ValuesDigest(server.Fit);
            step.Received = 1;
            step.Conflicts.push_back(
                ConflictRow(0, server.Fit, -1, QByteArray(), QByteArray(), TSyncConflict::Kind::DeletedHereChangedThere));
        }
        FPlan.Steps.push_back(std::move(step));
        return;
    }
    const QByteArray *local = row->second.Values;
    const TMergeOutcome merged = MergeContact(baseValues, local, server.Fit);
    for (const int c : merged.Conflicts)
        step.Conflicts.push_back(ConflictRow(state.No, merged.Values, c, local[c], server.Fit[c], TSyncConflict::Kind::SameColumn));
    step.WriteRow = !SameValues(merged.Values, local);
    std::copy(std::begin(merged.Values), std::end(merged.Values), step.Row);
    step.Received = step.WriteRow;
    step.State.Digest = ValuesDigest(merged.Values);
    if (!SameValues(merged.Values, server.Fit)) {
        step.Remember(baseValues, local);
        QByteArray patched[cfCount];
        ValuesForCard(merged.Values, server, patched);
        step.Request = TSyncStep::TRequest::Put;
        step.Href = state.Href;
        step.IfMatch = etag;
        step.Card = PatchCard(card, server.Raw, patched);
        step.State.Base = step.Card;
        step.Sent = 1;
    }
    FPlan.Steps.push_back(std::move(step));
}

void TPlanner::ServerGone(const TSyncCardRow &state)
{
    FHandled.insert(state.No);
    TSyncStep step;
    step.No = state.No;
    step.State = state;
    const auto row = FDirectory.Rows.find(state.No);
    if (row == FDirectory.Rows.end()) {
        step.KeepState = false; // gone on both sides
    } else if (ValuesDigest(row->second.Values) != state.Digest) {
        // Changed here, deleted there: the change wins, the card is made again.
        const TCardValues base = FColumns.Read(state.Base);
        QByteArray patched[cfCount];
        if (base.Ok)
            ValuesForCard(row->second.Values, base, patched);
        step.Request = TSyncStep::TRequest::Put;
        step.Href = state.Href;
        step.Create = true;
        step.Card = base.Ok ? PatchCard(state.Base, base.Raw, patched) : NewCard(row->second.Values, state.Uid, FOptions.Only40);
        step.State.Base = step.Card;
        step.State.ETag = QByteArray();
        step.State.Digest = ValuesDigest(row->second.Values);
        step.Sent = 1;
        step.Conflicts.push_back(
            ConflictRow(state.No, row->second.Values, -1, QByteArray(), QByteArray(), TSyncConflict::Kind::ChangedHereDeletedThere));
    } else {
        step.DeleteRow = true;
        step.KeepState = false;
        step.Deleted = 1;
        ++FPlan.LocalDeletes;
    }
    FPlan.Steps.push_back(std::move(step));
}

void TPlanner::Local(const std::set<QString> &gone)
{
    for (const auto &[href, state] : FStates) {
        if (FHandled.count(state.No) || gone.count(href))
            continue;
        const auto row = FDirectory.Rows.find(state.No);
        TSyncStep step;
        step.No = state.No;
        step.State = state;
        step.Href = href;
        if (row == FDirectory.Rows.end()) {
            if (state.ETag.isNull()) {
                step.KeepState = false; // never reached the server
            } else {
                step.Request = TSyncStep::TRequest::Delete;
                step.IfMatch = state.ETag;
                step.KeepState = false;
                step.LocalDeleted = true;
                step.Deleted = 1;
                ++FPlan.ServerDeletes;
            }
            FPlan.Steps.push_back(std::move(step));
            continue;
        }
        const QByteArray *local = row->second.Values;
        if (!state.ETag.isNull() && ValuesDigest(local) == state.Digest)
            continue;
        const TCardValues base = FColumns.Read(state.Base);
        QByteArray patched[cfCount];
        if (base.Ok)
            ValuesForCard(local, base, patched);
        step.Request = TSyncStep::TRequest::Put;
        step.Create = state.ETag.isNull(); // sent before, its answer lost, and not there
        step.IfMatch = state.ETag;
        step.Card = base.Ok ? PatchCard(state.Base, base.Raw, patched) : NewCard(local, state.Uid, FOptions.Only40);
        step.State.Base = step.Card;
        step.State.Digest = ValuesDigest(local);
        step.Sent = 1;
        if (base.Ok)
            step.Remember(base.Fit, local);
        FPlan.Steps.push_back(std::move(step));
    }
    // The contacts left unlinked get cards of their own.
    FPlan.NewContacts = std::move(FDirectory.Unlinked);
    for (const auto &[no, row] : FDirectory.Rows)
        if (!FHrefOf.count(no) && !FLinked.count(no))
            FPlan.NewContacts.push_back(no);
    std::sort(FPlan.NewContacts.begin(), FPlan.NewContacts.end());
}

} // namespace

void TSyncStep::Remember(const QByteArray *base, const QByteArray *local)
{
    Start = std::make_unique<TMergeStart>();
    std::copy(base, base + cfCount, Start->Base);
    std::copy(local, local + cfCount, Start->Local);
}

TSyncPlan PlanSync(std::map<QString, TSyncCardRow> base, TSyncDirectory directory, TSyncListing &listing, const TCardColumns &columns,
                   const TPlanOptions &options)
{
    return TPlanner(std::move(base), std::move(directory), columns, options).Run(listing);
}

TSyncStep ReceivedStep(const QString &path, const QByteArray &card, const QByteArray &etag, const TCardValues &server)
{
    TSyncStep step;
    for (const QString &column : server.TooLong)
        step.Problems.push_back({path, column, QString(), TCardProblem::Kind::NotTaken});
    step.State = {0, path, etag, server.Uid, card, ValuesDigest(server.Fit)};
    step.WriteRow = true;
    std::copy(std::begin(server.Fit), std::end(server.Fit), step.Row);
    step.Received = 1;
    return step;
}

TSyncConflictRow ConflictRow(std::int64_t no, const QByteArray *names, int column, const QByteArray &local, const QByteArray &server,
                             TSyncConflict::Kind kind)
{
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    TSyncConflictRow c;
    c.No = no;
    QByteArray name = names[cfAd];
    if (!name.isEmpty() && !names[cfSoyad].isEmpty())
        name += ' ';
    c.Name = QString::fromUtf8(name + names[cfSoyad]);
    c.Column = column >= 0 && column < count ? QString::fromLatin1(columns[column].Name) : QString();
    c.LocalValue = QString::fromUtf8(local);
    c.ServerValue = QString::fromUtf8(server);
    c.Kind = int(kind);
    return c;
}

void ValuesForCard(const QByteArray *merged, const TCardValues &card, QByteArray *out)
{
    for (int c = 0; c < cfCount; ++c)
        out[c] = merged[c] == card.Fit[c] ? card.Raw[c] : merged[c];
}
