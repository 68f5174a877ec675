// The listing of the address book's cards (sync-collection, or PROPFIND
// Depth 1 of ETags), read as it arrives, and the fetching of the cards it
// named without their data (addressbook-multiget, in batches).
#include "sync/DavXml.h"
#include "sync/Discovery.h"
#include "sync/SyncRun.h"
#include "sync/SyncSession.h"

namespace {

constexpr std::size_t kMultigetBatch = 100;

} // namespace

void TSyncRun::List()
{
    if (!FSyncCollection)
        return ListAll();
    // Without a token, the first sync: every card with its data in one
    // listing, nothing more to fetch.
    FListing.Full = FToken.isEmpty();
    ListChanges(FToken);
}

void TSyncRun::ListChanges(const QByteArray &token)
{
    TDavRequest request{"REPORT", FBook, DavBody::SyncCollection(token, true), {{"Depth", "0"}}};
    SendListing(request, [this, token](TDavReply &reply, TMultistatusReader &reader) {
        const bool tooLarge = reply.Error.Kind == TSyncFailure::ReplyTooLarge;
        const bool refused = reply.Error.Kind == TSyncFailure::None && reply.Status != 207 && reply.Status != 401;
        if (!FCancelled && (tooLarge || refused)) {
            // An expired token (403 valid-sync-token): every card again, as
            // on a first sync. A refusal of that, or a listing beyond one
            // reply's cap: the ETags alone, the cards in batches.
            ForgetListing();
            if (refused && !token.isEmpty() && !FRelisted) {
                FRelisted = true;
                FListing.Full = true;
                return ListChanges(QByteArray());
            }
            return ListAll();
        }
        if (!Listed(reply, reader))
            return;
        FListing.NewToken = reader.SyncToken();
        if (FTruncated) {
            // The server sent a part: the rest follows from its token (one
            // that does not move on gives way to the listing of ETags).
            FTruncated = false;
            if (FListing.NewToken.isEmpty() || FListing.NewToken == token)
                return ListAll();
            return ListChanges(FListing.NewToken);
        }
        ListingDone();
    });
}

void TSyncRun::ListAll()
{
    ForgetListing();
    FListing.Full = true;
    if (!FSyncCollection)
        return ListETags();
    // The token first: what changes while the ETags are listed comes again next time.
    FClient.Send({"PROPFIND", FBook, DavBody::SyncToken(), {{"Depth", "0"}}}, [this](TDavReply &reply) {
        TMultistatus ms;
        if (!Multistatus(reply, ms))
            return;
        FListing.NewToken = ms.Responses.empty() ? QByteArray() : ms.Responses.front().SyncToken;
        ListETags();
    });
}

void TSyncRun::ListETags()
{
    SendListing({"PROPFIND", FBook, DavBody::ETags(), {{"Depth", "1"}}}, [this](TDavReply &reply, TMultistatusReader &reader) {
        if (Listed(reply, reader))
            ListingDone();
    });
}

void TSyncRun::SendListing(const TDavRequest &request, std::function<void(TDavReply &, TMultistatusReader &)> next)
{
    auto reader = std::make_shared<TMultistatusReader>([this](TDavResponse &r) { return TakeListed(r); });
    FClient.Send(
        request,
        [this, reader, next = std::move(next)](TDavReply &reply) {
            if (!FFinished)
                next(reply, *reader);
        },
        [reader](const QByteArray &piece) { return reader->Feed(piece); });
}

bool TSyncRun::Listed(const TDavReply &reply, TMultistatusReader &reader)
{
    const auto badReply = [&] { Fail(SyncError(TSyncFailure::BadReply, reply.Url.toString(), reply.Status, reader.Problem())); };
    if (FCancelled)
        Fail(TSyncFailure::Cancelled);
    else if (!reader.Problem().isEmpty())
        badReply();
    else if (reply.Error.Kind != TSyncFailure::None)
        Fail(reply.Error);
    else if (reply.Status != 207)
        Fail(StatusError(reply.Status, reply.Url, reply.Body));
    else if (!reader.End())
        badReply();
    else
        return true;
    return false;
}

void TSyncRun::ForgetListing()
{
    TSyncListing fresh;
    fresh.Full = FListing.Full;
    fresh.NewToken = std::move(FListing.NewToken);
    FListing = std::move(fresh);
    FTruncated = false;
}

bool TSyncRun::TakeListed(TDavResponse &r)
{
    QString path;
    if (!Inside(r.Href, &path)) {
        // The book itself: a 507 there says the listing goes on from its token.
        FTruncated = FTruncated || r.Status == 507;
        return !FFinished;
    }
    if (r.Status == 404) {
        FListing.Gone.insert(path);
        return true;
    }
    if (FListing.Full && (r.AddressBook || !r.PropsOk))
        return true;
    const auto state = FBase.find(path);
    if (FListing.Full) {
        ++FListing.ListedCount;
        if (state != FBase.end())
            FListing.Listed.insert(path);
    }
    if (state != FBase.end() && state->second.ETag == r.ETag && !r.ETag.isEmpty())
        return true;
    if (r.AddressData.isEmpty()) {
        FListing.Changed[path] = r.ETag; // fetched with the others
        return true;
    }
    FListing.Gone.erase(path);
    FListing.Cards.Push(path, r.ETag, r.AddressData);
    return true;
}

void TSyncRun::ListingDone()
{
    if (FListing.Full)
        for (const auto &[href, state] : FBase)
            if (!state.ETag.isNull() && !FListing.Listed.count(href))
                FListing.Gone.insert(href);
    Fetch();
}

void TSyncRun::Fetch()
{
    for (const auto &[href, etag] : FListing.Changed)
        FToFetch.push_back(href);
    FetchFrom(0);
}

void TSyncRun::FetchFrom(std::size_t at)
{
    if (FCancelled)
        return Fail(TSyncFailure::Cancelled);
    Q_EMIT FOwner->Progress(qint64(at), qint64(FToFetch.size()) * 2);
    if (at >= FToFetch.size())
        return Plan();
    std::vector<QByteArray> hrefs;
    for (std::size_t i = at; i < FToFetch.size() && hrefs.size() < kMultigetBatch; ++i)
        hrefs.push_back(UrlOf(FToFetch[i]).path(QUrl::FullyEncoded).toUtf8());
    const std::size_t next = at + hrefs.size();
    TDavRequest request{"REPORT", FBook, DavBody::Multiget(hrefs), {{"Depth", "1"}}};
    FClient.Send(request, [this, next](TDavReply &reply) {
        TMultistatus ms;
        if (!Multistatus(reply, ms))
            return;
        reply.Body.clear();
        for (TDavResponse &r : ms.Responses) {
            QString path;
            if (!Inside(r.Href, &path)) {
                if (FFinished)
                    return;
                continue;
            }
            if (r.Status == 404 || (!r.PropsOk && r.AddressData.isEmpty())) {
                if (FBase.count(path))
                    FListing.Gone.insert(path);
                continue;
            }
            FListing.Cards.Push(path, r.ETag, r.AddressData);
        }
        FetchFrom(next);
    });
}
