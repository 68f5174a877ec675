// Doing what the plan says, in batches: a new card's state is stored
// before its PUT (so that a card stored but answered with an error is
// known by its href and UID next time), then the requests, a few in flight
// at once (the server can read and check one while it stores another),
// then what they did in one transaction. Cancel, or a failure of the
// transport, stops taking new steps; the requests in flight are answered,
// and everything done so far is stored.
#include "platform/core/Exception.h"
#include "contacts/VCardPatch.h"
#include "sync/DavXml.h"
#include "sync/Discovery.h"
#include "sync/SyncMerge.h"
#include "sync/SyncRun.h"
#include "sync/SyncSession.h"

#include <QCryptographicHash>
#include <QTimer>
#include <QUuid>
#include <algorithm>

namespace {

constexpr std::size_t kBatch = 100;
constexpr int kInFlight = 4;

// One of our own writes as a digest of the card's path and what the write
// left there: the ETag a PUT got, or nothing (a deletion).
TOwnWrite OwnWrite(const QString &path, const QByteArray *etag)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(path.toUtf8());
    hash.addData(etag ? QByteArrayView("\0E", 2) : QByteArrayView("\0D", 2));
    if (etag)
        hash.addData(*etag);
    TOwnWrite digest;
    const QByteArray bytes = hash.result();
    std::copy(bytes.begin(), bytes.begin() + qsizetype(digest.size()), digest.begin());
    return digest;
}

} // namespace

void TSyncRun::Apply()
{
    FNext = 0;
    FDone = 0;
    ApplyBatch();
}

void TSyncRun::ApplyBatch()
{
    if (FFinished)
        return;
    if (FCancelled)
        return Finish();
    try {
        // The planned steps done, the cards of the next new contacts are
        // made, and those done before them go.
        while (FNext >= FSteps.size()) {
            if (FNewAt >= FPlan.NewContacts.size())
                return Finish();
            PlanNew(kBatch);
        }
    } catch (const Exception &e) {
        return Fail(TSyncFailure::Database, e.Message());
    }
    const std::size_t from = FNext;
    FBatchEnd = std::min(FSteps.size(), from + kBatch);
    try {
        bool pending = false;
        for (std::size_t i = from; i < FBatchEnd && !pending; ++i)
            pending = FSteps[i].Pending;
        if (pending) {
            TWriteTransaction transaction = FTables->Transaction();
            for (std::size_t i = from; i < FBatchEnd; ++i)
                if (FSteps[i].Pending)
                    FTables->PutCard(FSteps[i].State);
            transaction.Commit();
        }
    } catch (const Exception &e) {
        return Fail(TSyncFailure::Database, e.Message());
    }
    FIssued = from;
    Issue();
}

// Starts steps of the batch while there is room; the batch ends when none
// is in flight and none may start.
void TSyncRun::Issue()
{
    const bool stopping = FCancelled || FStop.Kind != TSyncFailure::None;
    while (!stopping && FIssued < FBatchEnd && FInFlight < kInFlight) {
        TSyncStep &step = FSteps[FIssued++];
        if (step.Request == TSyncStep::TRequest::None) {
            // Done at once.
            step.Ok = step.Problems.empty() || step.WriteRow || !step.State.Href.isEmpty();
            ++FDone;
            continue;
        }
        ++FInFlight;
        Send(FIssued - 1);
    }
    Q_EMIT FOwner->Progress(qint64(FToFetch.size() + FReceived + FDone), qint64(FToFetch.size() + FReceived + FStepCount));
    if (FInFlight > 0 || (!stopping && FIssued < FBatchEnd))
        return;
    const std::size_t batchStart = FNext;
    FNext = FIssued;
    Store(batchStart, FIssued);
    if (FFinished)
        return;
    if (FStop.Kind != TSyncFailure::None)
        return Fail(FStop);
    QTimer::singleShot(0, this, [this] { ApplyBatch(); });
}

void TSyncRun::Send(std::size_t at)
{
    const TSyncStep &step = FSteps[at];
    TDavRequest request;
    request.Url = UrlOf(step.Href);
    if (step.Request == TSyncStep::TRequest::Put) {
        request.Method = "PUT";
        request.Body = step.Card;
    } else {
        request.Method = "DELETE";
    }
    if (step.Create)
        request.Headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
    else if (!step.IfMatch.isEmpty())
        request.Headers.append(qMakePair(QByteArray("If-Match"), step.IfMatch));
    FClient.Send(request, [this, at](TDavReply &reply) { StepReply(at, reply); });
}

// The transport failed: no new step starts, and the sync fails once those
// in flight are answered and what was done is stored.
void TSyncRun::StopAt(const TSyncError &error)
{
    if (FStop.Kind == TSyncFailure::None)
        FStop = error;
    StepDone();
}

void TSyncRun::StepDone()
{
    --FInFlight;
    ++FDone;
    Issue();
}

void TSyncRun::StepReply(std::size_t at, TDavReply &reply)
{
    TSyncStep &step = FSteps[at];
    if (reply.Error.Kind != TSyncFailure::None)
        return StopAt(reply.Error);
    const int status = reply.Status;
    if (status == 412 && !step.Retried) {
        // Changed there since it was listed: fetched, merged, tried once more.
        step.Retried = true;
        TDavRequest get{"GET", UrlOf(step.Href), QByteArray(), {}};
        FClient.Send(get, [this, at](TDavReply &fetched) { Retry412(at, fetched); });
        return;
    }
    if ((status >= 200 && status < 300) || (step.Request == TSyncStep::TRequest::Delete && status == 404)) {
        step.Ok = true;
        if (step.Request == TSyncStep::TRequest::Put)
            step.State.ETag = reply.ETag.isEmpty() ? QByteArray() : reply.ETag;
        FOwnWrites.push_back(OwnWrite(step.Href, step.Request == TSyncStep::TRequest::Put ? &step.State.ETag : nullptr));
        if (step.Request == TSyncStep::TRequest::Put && step.State.ETag.isEmpty())
            FStepFailed = true; // our own write cannot be told from another's: the token stays
        return StepDone();
    }
    // Refused or failed: nothing of it is stored; the next sync tries again.
    FStepFailed = true;
    Result.Error = StatusError(status, reply.Url, reply.Body);
    StepDone();
}

void TSyncRun::Retry412(std::size_t at, TDavReply &fetched)
{
    TSyncStep &step = FSteps[at];
    if (fetched.Error.Kind != TSyncFailure::None)
        return StopAt(fetched.Error);
    const TCardValues server = fetched.Status == 200 ? FColumns.Read(fetched.Body) : TCardValues();
    if (!server.Ok) {
        FStepFailed = true;
        if (fetched.Status != 404)
            step.Problems.push_back({step.Href, QString(), QString(), TCardProblem::Kind::Unparsable});
        return StepDone();
    }
    const QByteArray etag = fetched.ETag;
    step.State.Uid = server.Uid.isEmpty() ? step.State.Uid : server.Uid;
    if (step.Create) {
        // There already: the card an earlier PUT stored. Linked; the next
        // sync sends what differs.
        step.Request = TSyncStep::TRequest::None;
        step.State.ETag = etag;
        step.State.Base = fetched.Body;
        step.State.Digest = ValuesDigest(server.Fit);
        step.Ok = true;
        return StepDone();
    }
    if (step.LocalDeleted) {
        // Deleted here, changed there: the change wins.
        step.Request = TSyncStep::TRequest::None;
        step.No = 0;
        step.KeepState = true;
        step.WriteRow = true;
        std::copy(std::begin(server.Fit), std::end(server.Fit), step.Row);
        step.State = {0, step.Href, etag, step.State.Uid, fetched.Body, ValuesDigest(server.Fit)};
        step.Deleted = 0;
        step.Received = 1;
        step.Conflicts.push_back(ConflictRow(0, server.Fit, -1, QByteArray(), QByteArray(), TSyncConflict::Kind::DeletedHereChangedThere));
        step.Ok = true;
        return StepDone();
    }
    if (!step.Start) {
        FStepFailed = true; // nothing to merge from: the next sync does it
        return StepDone();
    }
    const QByteArray *local = step.Start->Local;
    const TMergeOutcome merged = MergeContact(step.Start->Base, local, server.Fit);
    step.Conflicts.clear();
    for (const int c : merged.Conflicts)
        step.Conflicts.push_back(ConflictRow(step.No, merged.Values, c, local[c], server.Fit[c], TSyncConflict::Kind::SameColumn));
    // Merged as the plan merges a linked card (TPlanner::Linked).
    std::copy(std::begin(merged.Values), std::end(merged.Values), step.Row);
    step.WriteRow = !SameValues(merged.Values, local);
    step.Received = step.WriteRow;
    step.State.Digest = ValuesDigest(merged.Values);
    QByteArray patched[cfCount];
    ValuesForCard(merged.Values, server, patched);
    step.Card = PatchCard(fetched.Body, server.Raw, patched);
    step.State.Base = step.Card;
    step.IfMatch = etag;
    const bool cardChanges = !SameValues(merged.Values, server.Fit);
    if (!cardChanges) {
        step.Request = TSyncStep::TRequest::None;
        step.State.ETag = etag;
        step.State.Base = fetched.Body;
        step.Sent = 0;
        step.Ok = true;
        return StepDone();
    }
    // Once more (unless the sync is stopping); a second 412 leaves it to
    // the next sync.
    if (FCancelled || FStop.Kind != TSyncFailure::None)
        return StepDone();
    Send(at);
}

void TSyncRun::Store(std::size_t from, std::size_t to)
{
    try {
        TWriteTransaction transaction = FTables->Transaction();
        for (std::size_t i = from; i < to; ++i) {
            TSyncStep &step = FSteps[i];
            Result.Problems.insert(Result.Problems.end(), step.Problems.begin(), step.Problems.end());
            if (!step.Ok)
                continue;
            // The link goes before its contact, whose deletion on a file would keep it as a local deletion.
            if (!step.KeepState)
                FTables->RemoveCard(step.State.No ? step.State.No : step.No);
            if (step.DeleteRow)
                FTables->DeleteContact(step.No);
            if (step.WriteRow) {
                if (step.No == 0)
                    step.No = FTables->InsertContact(step.Row);
                else
                    FTables->UpdateContact(step.No, step.Row);
            }
            if (step.KeepState && !step.State.Href.isEmpty()) {
                step.State.No = step.No;
                FTables->PutCard(step.State);
            }
            for (TSyncConflictRow &c : step.Conflicts) {
                c.No = step.No;
                FTables->AddConflict(c);
                Result.NewConflicts.push_back({0, c.No, c.Name, c.Column, c.LocalValue, c.ServerValue, TSyncConflict::Kind(c.Kind)});
            }
            Result.Received += step.Received;
            Result.Sent += step.Sent;
            Result.Deleted += step.Deleted;
        }
        transaction.Commit();
    } catch (const Exception &e) {
        Fail(TSyncFailure::Database, e.Message());
    }
}

void TSyncRun::Finish()
{
    if (FFinished)
        return;
    if (FCancelled || FStepFailed)
        return SaveBook(FToken);
    if (FSyncCollection && !FOwnWrites.empty() && !FListing.NewToken.isEmpty())
        return ConfirmToken();
    SaveBook(FListing.NewToken);
}

// The token taken before our own writes would report them again next time
// (and a server whose token names its contents, as Xandikos's does, may
// even take a later state for that one): the changes since are asked for,
// and when they are all ours the token after them is kept.
void TSyncRun::ConfirmToken()
{
    std::sort(FOwnWrites.begin(), FOwnWrites.end());
    // Read as it arrives; the first change that is not ours ends it.
    auto ours = std::make_shared<bool>(true);
    auto reader = std::make_shared<TMultistatusReader>([this, ours](TDavResponse &r) {
        const QString path = FBook.resolved(QUrl::fromEncoded(r.Href.toUtf8())).path(QUrl::FullyDecoded);
        if (path != FBookPath)
            *ours = std::binary_search(FOwnWrites.begin(), FOwnWrites.end(), OwnWrite(path, r.Status == 404 ? nullptr : &r.ETag));
        return *ours;
    });
    TDavRequest request{"REPORT", FBook, DavBody::SyncCollection(FListing.NewToken), {{"Depth", "0"}}};
    FClient.Send(
        request,
        [this, reader, ours](TDavReply &reply) {
            if (!*ours)
                return SaveBook(FListing.NewToken);
            if (reply.Error.Kind != TSyncFailure::None || reply.Status != 207 || !reader->End())
                return SaveBook(FToken);
            SaveBook(reader->SyncToken().isEmpty() ? FListing.NewToken : reader->SyncToken());
        },
        [reader](const QByteArray &piece) { return reader->Feed(piece); });
}

void TSyncRun::SaveBook(const QByteArray &token)
{
    try {
        TWriteTransaction transaction = FTables->Transaction();
        FTables->SetBook(FBook.toString(), token);
        transaction.Commit();
    } catch (const Exception &e) {
        return Fail(TSyncFailure::Database, e.Message());
    }
    if (FCancelled)
        Result.Error.Kind = TSyncFailure::Cancelled;
    Done();
}

void TSyncRun::PlanNew(std::size_t count)
{
    const std::vector<std::int64_t> &all = FPlan.NewContacts;
    const std::size_t end = std::min(all.size(), FNewAt + count);
    const std::vector<std::int64_t> keys(all.begin() + std::ptrdiff_t(FNewAt), all.begin() + std::ptrdiff_t(end));
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
        step.State = {row.No, step.Href, QByteArray(), uid, step.Card, ValuesDigest(row.Values)};
        step.Sent = 1;
        FSteps.push_back(std::move(step));
    }
}
