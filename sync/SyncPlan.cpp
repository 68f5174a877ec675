// What a sync does, decided before anything is written: each server card
// that changed, each card gone, each local change, as steps. A contact new
// to the book is planned by its key alone; its card is made with its batch
// (PlanNew), so a first upload holds a batch of cards, not all of them.
#include "platform/core/Exception.h"
#include "store/ContactsTable.h"
#include "contacts/VCardPatch.h"
#include "sync/SyncMerge.h"
#include "sync/SyncRun.h"
#include "sync/SyncSession.h"

#include <QUuid>
#include <algorithm>

namespace {

bool Same(const QByteArray *a, const QByteArray *b)
{
    for (int c = 0; c < 7; ++c)
        if (a[c] != b[c])
            return false;
    return true;
}

// The values to patch a card with: where the merge kept the card's own
// value, the card's value whole (a value too long for its column stays).
void ForCard(const QByteArray *merged, const TCardValues &card, QByteArray *out)
{
    for (int c = 0; c < 7; ++c)
        out[c] = merged[c] == card.Fit[c] ? card.Raw[c] : merged[c];
}

} // namespace

TSyncConflictRow TSyncRun::Conflict(std::int64_t no, const QByteArray *names, int column, const QByteArray &local, const QByteArray &server,
                                    TSyncConflict::Kind kind) const
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

void TSyncRun::Plan()
{
    // A contact linked to a card is kept for the plan. Of the others only
    // the key is kept (their cards are made a batch at a time as they are
    // sent), unless a card new here may be the same person: then they stay
    // until the cards are planned.
    const bool matching = !FCards.Empty();
    int localRows = 0;
    try {
        FTables->Contacts([&](TSyncContact &row) {
            ++localRows;
            if (matching || FHrefOf.count(row.No))
                FRows[row.No] = std::move(row);
            else
                FNew.push_back(row.No);
        });
    } catch (const Exception &e) {
        return Fail(TSyncFailure::Database, e.Message());
    }
    if (matching) {
        FDuplicates = std::make_unique<TDuplicateCheck>();
        for (const auto &[no, row] : FRows)
            if (!FHrefOf.count(no))
                FDuplicates->AddContact(row.Values, no);
    }

    // The cards new to this directory stay as they came and are stored
    // later (Receive); every other card becomes a step here.
    TCardQueue kept;
    for (; !FCards.Empty(); FCards.Pop()) {
        const TArrivedCard &c = FCards.Front();
        if (PlanServerCard(c.Path, c.Card, c.ETag))
            kept.Push(c.Path, c.ETag, c.Card);
    }
    FCards = std::move(kept);
    FDuplicates.reset();
    for (const QString &href : FGone)
        if (const auto state = FStates.find(href); state != FStates.end() && !FChanged.count(href))
            PlanServerGone(state->second);
    PlanLocal();
    FRows.clear();
    FStepCount = FSteps.size() + FNew.size();

    const int serverCards = FFullListing ? FListedCount : int(FStates.size());
    const bool massLocal = FLocalDeletes > 10 && FLocalDeletes * 2 > localRows;
    const bool massServer = FServerDeletes > 10 && FServerDeletes * 2 > serverCards;
    if (FOptions.DryRun) {
        Result.Sent += int(FNew.size());
        for (const TSyncStep &step : FSteps) {
            Result.Received += step.Received;
            Result.Sent += step.Sent;
            Result.Deleted += step.Deleted;
            Result.Problems.insert(Result.Problems.end(), step.Problems.begin(), step.Problems.end());
            for (const TSyncConflictRow &c : step.Conflicts)
                Result.NewConflicts.push_back({0, c.No, c.Name, c.Column, c.LocalValue, c.ServerValue, TSyncConflict::Kind(c.Kind)});
        }
        return Done();
    }
    if ((massLocal || massServer) && !FOptions.AllowMassDelete)
        return AskMassDelete();
    Receive();
}

void TSyncRun::AskMassDelete()
{
    Q_EMIT FOwner->MassDeleteAsked(std::max(FLocalDeletes, FServerDeletes));
}

void TSyncRun::ConfirmMassDelete(bool proceed)
{
    if (FFinished || FNext > 0 || FReceived > 0)
        return;
    if (proceed)
        return Receive();
    TSyncError e;
    e.Kind = TSyncFailure::MassDelete;
    e.MassDeleteCount = std::max(FLocalDeletes, FServerDeletes);
    Fail(e);
}

TSyncStep TSyncRun::NewFromServer(const QString &path, const QByteArray &card, const QByteArray &etag, const TCardValues &server) const
{
    TSyncStep step;
    for (const QString &column : server.TooLong)
        step.Problems.push_back({path, column, QString(), TCardProblem::Kind::NotTaken});
    step.State = {0, path, etag, server.Uid, card, Digest(server.Fit)};
    step.WriteRow = true;
    std::copy(std::begin(server.Fit), std::end(server.Fit), step.Row);
    step.Received = 1;
    return step;
}

bool TSyncRun::PlanServerCard(const QString &path, const QByteArray &card, const QByteArray &etag)
{
    const TCardValues server = Read(card);
    auto state = FStates.find(path);
    if (!server.Ok) {
        TSyncStep step;
        step.Problems.push_back({path, QString(), QString(), TCardProblem::Kind::Unparsable});
        step.Ok = false;
        FSteps.push_back(std::move(step));
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
        PlanLinked(state->second, server, card, etag);
        return false;
    }

    const std::int64_t same = FDuplicates->FindContact(server.Fit);
    const auto row = FRows.find(same);
    if (same <= 0 || row == FRows.end() || FLinked.count(same)) {
        if (!FOptions.DryRun)
            return true; // a new contact, stored by Receive
        FSteps.push_back(NewFromServer(path, card, etag, server));
        return false;
    }
    // The same person on both sides: linked, not doubled.
    TSyncStep step = NewFromServer(path, card, etag, server);
    FLinked.insert(same);
    FHandled.insert(same);
    const TMergeOutcome joined = JoinContact(row->second.Values, server.Fit);
    for (const int c : joined.Conflicts)
        step.Conflicts.push_back(Conflict(same, joined.Values, c, row->second.Values[c], server.Fit[c], TSyncConflict::Kind::SameColumn));
    step.No = same;
    step.WriteRow = !Same(joined.Values, row->second.Values);
    std::copy(std::begin(joined.Values), std::end(joined.Values), step.Row);
    step.Received = step.WriteRow;
    if (!Same(joined.Values, server.Fit)) {
        QByteArray patched[7];
        ForCard(joined.Values, server, patched);
        step.Request = TSyncStep::TRequest::Put;
        step.Href = path;
        step.IfMatch = etag;
        step.Card = PatchCard(card, server.Raw, patched);
        step.State.Base = step.Card;
        step.Sent = 1;
        step.Remember(server.Fit, row->second.Values);
    }
    step.State.Digest = Digest(joined.Values);
    FSteps.push_back(std::move(step));
    return false;
}

void TSyncRun::PlanLinked(TSyncCardRow &state, const TCardValues &server, const QByteArray &card, const QByteArray &etag)
{
    FHandled.insert(state.No);
    const TCardValues base = state.Base.isEmpty() ? server : Read(state.Base);
    const QByteArray *baseValues = base.Ok ? base.Fit : server.Fit;
    TSyncStep step;
    for (const QString &column : server.TooLong)
        step.Problems.push_back({state.Href, column, QString(), TCardProblem::Kind::NotTaken});
    step.No = state.No;
    step.State = {state.No, state.Href, etag, server.Uid.isEmpty() ? state.Uid : server.Uid, card, QByteArray()};
    const auto row = FRows.find(state.No);
    if (row == FRows.end()) {
        if (Same(server.Fit, baseValues)) {
            // Unchanged there, deleted here.
            step.Request = TSyncStep::TRequest::Delete;
            step.Href = state.Href;
            step.IfMatch = etag;
            step.KeepState = false;
            step.LocalDeleted = true;
            step.Deleted = 1;
            ++FServerDeletes;
        } else {
            // Changed there, deleted here: the change wins.
            step.No = 0;
            step.WriteRow = true;
            std::copy(std::begin(server.Fit), std::end(server.Fit), step.Row);
            step.State.Digest = Digest(server.Fit);
            step.Received = 1;
            step.Conflicts.push_back(Conflict(0, server.Fit, -1, QByteArray(), QByteArray(), TSyncConflict::Kind::DeletedHereChangedThere));
        }
        FSteps.push_back(std::move(step));
        return;
    }
    const QByteArray *local = row->second.Values;
    const TMergeOutcome merged = MergeContact(baseValues, local, server.Fit);
    for (const int c : merged.Conflicts)
        step.Conflicts.push_back(Conflict(state.No, merged.Values, c, local[c], server.Fit[c], TSyncConflict::Kind::SameColumn));
    step.WriteRow = !Same(merged.Values, local);
    std::copy(std::begin(merged.Values), std::end(merged.Values), step.Row);
    step.Received = step.WriteRow;
    step.State.Digest = Digest(merged.Values);
    if (!Same(merged.Values, server.Fit)) {
        step.Remember(baseValues, local);
        QByteArray patched[7];
        ForCard(merged.Values, server, patched);
        step.Request = TSyncStep::TRequest::Put;
        step.Href = state.Href;
        step.IfMatch = etag;
        step.Card = PatchCard(card, server.Raw, patched);
        step.State.Base = step.Card;
        step.Sent = 1;
    }
    FSteps.push_back(std::move(step));
}

void TSyncRun::PlanServerGone(const TSyncCardRow &state)
{
    FHandled.insert(state.No);
    TSyncStep step;
    step.No = state.No;
    step.State = state;
    const auto row = FRows.find(state.No);
    if (row == FRows.end()) {
        step.KeepState = false; // gone on both sides
    } else if (Digest(row->second.Values) != state.Digest) {
        // Changed here, deleted there: the change wins, the card is made again.
        const TCardValues base = Read(state.Base);
        QByteArray patched[7];
        if (base.Ok)
            ForCard(row->second.Values, base, patched);
        step.Request = TSyncStep::TRequest::Put;
        step.Href = state.Href;
        step.Create = true;
        step.Card = base.Ok ? PatchCard(state.Base, base.Raw, patched) : NewCard(row->second.Values, state.Uid, FOnly40);
        step.State.Base = step.Card;
        step.State.ETag = QByteArray();
        step.State.Digest = Digest(row->second.Values);
        step.Sent = 1;
        step.Conflicts.push_back(
            Conflict(state.No, row->second.Values, -1, QByteArray(), QByteArray(), TSyncConflict::Kind::ChangedHereDeletedThere));
    } else {
        step.DeleteRow = true;
        step.KeepState = false;
        step.Deleted = 1;
        ++FLocalDeletes;
    }
    FSteps.push_back(std::move(step));
}

void TSyncRun::PlanLocal()
{
    for (const auto &[href, state] : FStates) {
        if (FHandled.count(state.No) || FGone.count(href))
            continue;
        const auto row = FRows.find(state.No);
        TSyncStep step;
        step.No = state.No;
        step.State = state;
        step.Href = href;
        if (row == FRows.end()) {
            if (state.ETag.isNull()) {
                step.KeepState = false; // never reached the server
            } else {
                step.Request = TSyncStep::TRequest::Delete;
                step.IfMatch = state.ETag;
                step.KeepState = false;
                step.LocalDeleted = true;
                step.Deleted = 1;
                ++FServerDeletes;
            }
            FSteps.push_back(std::move(step));
            continue;
        }
        const QByteArray *local = row->second.Values;
        if (!state.ETag.isNull() && Digest(local) == state.Digest)
            continue;
        const TCardValues base = Read(state.Base);
        QByteArray patched[7];
        if (base.Ok)
            ForCard(local, base, patched);
        step.Request = TSyncStep::TRequest::Put;
        step.Create = state.ETag.isNull(); // sent before, its answer lost, and not there
        step.IfMatch = state.ETag;
        step.Card = base.Ok ? PatchCard(state.Base, base.Raw, patched) : NewCard(local, state.Uid, FOnly40);
        step.State.Base = step.Card;
        step.State.Digest = Digest(local);
        step.Sent = 1;
        if (base.Ok)
            step.Remember(base.Fit, local);
        FSteps.push_back(std::move(step));
    }
    // The contacts left unlinked get cards of their own (PlanNew).
    for (const auto &[no, row] : FRows)
        if (!FHrefOf.count(no) && !FLinked.count(no))
            FNew.push_back(no);
    std::sort(FNew.begin(), FNew.end());
}

void TSyncRun::PlanNew(std::size_t count)
{
    const std::size_t end = std::min(FNew.size(), FNewAt + count);
    const std::vector<std::int64_t> keys(FNew.begin() + std::ptrdiff_t(FNewAt), FNew.begin() + std::ptrdiff_t(end));
    FNewAt = end;
    FSteps = std::vector<TSyncStep>();
    FNext = 0;
    std::vector<TSyncContact> rows = FTables->Contacts(keys);
    std::sort(rows.begin(), rows.end(), [](const TSyncContact &a, const TSyncContact &b) { return a.No < b.No; });
    // A contact deleted since the plan needs nothing: it counts as done.
    FDone += keys.size() - rows.size();
    FSteps.reserve(rows.size());
    for (const TSyncContact &row : rows) {
        const QByteArray uid = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
        TSyncStep step;
        step.No = row.No;
        step.Request = TSyncStep::TRequest::Put;
        step.Create = true;
        step.Pending = true;
        step.Href = FBookPath + QString::fromLatin1(uid) + QStringLiteral(".vcf");
        step.Card = NewCard(row.Values, uid, FOnly40);
        step.State = {row.No, step.Href, QByteArray(), uid, step.Card, Digest(row.Values)};
        step.Sent = 1;
        FSteps.push_back(std::move(step));
    }
}
