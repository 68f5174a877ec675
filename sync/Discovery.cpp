#include "sync/Discovery.h"

#include "sync/DavClient.h"
#include "sync/DavXml.h"

#include <memory>

namespace {

using TDone = std::function<void(std::vector<TAddressBookInfo> &, TSyncError &)>;

struct TDiscovery : std::enable_shared_from_this<TDiscovery> {
    TDavClient &Client;
    bool Counts;
    TDone Done;
    std::vector<TAddressBookInfo> Books;
    int Hops = 0;

    TDiscovery(TDavClient &client, bool counts, TDone done) : Client(client), Counts(counts), Done(std::move(done)) {}

    void Finish(TSyncError error = TSyncError())
    {
        if (error.Kind == TSyncFailure::None && Books.empty())
            error.Kind = TSyncFailure::NoAddressBook;
        Done(Books, error);
    }

    void Propfind(const QUrl &url, const char *depth, std::function<void(TDavReply &, TMultistatus &)> next)
    {
        TDavRequest request{"PROPFIND", url, DavBody::DiscoveryProps(), {{"Depth", depth}}};
        auto self = shared_from_this();
        Client.Send(request, [self, next](TDavReply &reply) {
            if (reply.Error.Kind != TSyncFailure::None)
                return self->Finish(reply.Error);
            if (reply.Status != 207)
                return self->Finish(StatusError(reply.Status, reply.Url, reply.Body));
            TMultistatus ms;
            QString problem;
            if (!ReadMultistatus(reply.Body, ms, &problem))
                return self->Finish(SyncError(TSyncFailure::BadReply, reply.Url.toString(), reply.Status, problem));
            next(reply, ms);
        });
    }

    // The well-known address first; a server without it is asked itself.
    void FromServer(const QUrl &start)
    {
        QUrl wellKnown = start;
        wellKnown.setPath(QStringLiteral("/.well-known/carddav"));
        TDavRequest request{"PROPFIND", wellKnown, DavBody::DiscoveryProps(), {{"Depth", "0"}}};
        auto self = shared_from_this();
        Client.Send(request, [self, start](TDavReply &reply) {
            if (reply.Error.Kind != TSyncFailure::None && reply.Error.Kind != TSyncFailure::NotCardDav)
                return self->Finish(reply.Error);
            TMultistatus ms;
            QString problem;
            if (reply.Status == 207 && ReadMultistatus(reply.Body, ms, &problem) && !ms.Responses.empty())
                return self->Look(reply.Url, ms);
            self->At(start);
        });
    }

    void At(const QUrl &url)
    {
        auto self = shared_from_this();
        Propfind(url, "0", [self](TDavReply &reply, TMultistatus &ms) { self->Look(reply.Url, ms); });
    }

    void Look(const QUrl &where, const TMultistatus &ms)
    {
        if (ms.Responses.empty())
            return Finish(SyncError(TSyncFailure::NotCardDav, where.toString(), 207));
        const TDavResponse &r = ms.Responses.front();
        if (r.AddressBook) {
            Books.push_back({where.toString(), r.DisplayName, -1, r.Only40});
            return Count(0);
        }
        if (++Hops > 4)
            return Finish(SyncError(TSyncFailure::NotCardDav, where.toString(), 207));
        if (r.HomeSet.isEmpty() && r.Principal.isEmpty())
            return Finish(SyncError(TSyncFailure::NotCardDav, where.toString(), 207));
        const QUrl next = where.resolved(QUrl::fromEncoded((r.HomeSet.isEmpty() ? r.Principal : r.HomeSet).toUtf8()));
        if (Foreign(next, where))
            return;
        if (!r.HomeSet.isEmpty())
            return HomeSet(next);
        At(next);
    }

    // An address on another host than the one that named it: refused as a
    // redirect there is, the discovery ends.
    bool Foreign(const QUrl &url, const QUrl &where)
    {
        if (TDavClient::SameHost(url, where))
            return false;
        TSyncError foreign = SyncError(TSyncFailure::ForeignRedirect, url.toString(), 207);
        foreign.RedirectHost = url.host();
        Finish(foreign);
        return true;
    }

    void HomeSet(const QUrl &url)
    {
        auto self = shared_from_this();
        Propfind(url, "1", [self](TDavReply &reply, TMultistatus &ms) {
            for (const TDavResponse &r : ms.Responses) {
                const QUrl book = reply.Url.resolved(QUrl::fromEncoded(r.Href.toUtf8()));
                if (r.AddressBook && self->Foreign(book, reply.Url))
                    return;
                if (r.AddressBook)
                    self->Books.push_back({book.toString(), r.DisplayName, -1, r.Only40});
            }
            self->Count(0);
        });
    }

    void Count(std::size_t at)
    {
        if (!Counts || at >= Books.size())
            return Finish();
        TDavRequest request{"PROPFIND", QUrl(Books[at].Url), DavBody::ETags(), {{"Depth", "1"}}};
        auto self = shared_from_this();
        Client.Send(request, [self, at](TDavReply &reply) {
            if (reply.Error.Kind != TSyncFailure::None)
                return self->Finish(reply.Error);
            TMultistatus ms;
            QString problem;
            if (reply.Status == 207 && ReadMultistatus(reply.Body, ms, &problem)) {
                int cards = 0;
                for (const TDavResponse &r : ms.Responses)
                    cards += !r.ETag.isEmpty() && !r.AddressBook;
                self->Books[at].CardCount = cards;
            }
            self->Count(at + 1);
        });
    }
};

} // namespace

TSyncError StatusError(int status, const QUrl &url, const QByteArray &body)
{
    TSyncError e;
    e.HttpStatus = status;
    e.Url = url.toString();
    e.ServerText = QString::fromUtf8(body.left(300)).simplified();
    if (status == 401)
        e.Kind = TSyncFailure::Unauthorized;
    else if (status == 404 || status == 405 || status == 501)
        e.Kind = TSyncFailure::NotCardDav;
    else
        e.Kind = TSyncFailure::ServerError;
    return e;
}

void DiscoverAddressBooks(TDavClient &client, const QUrl &start, bool counts, TDone done)
{
    auto discovery = std::make_shared<TDiscovery>(client, counts, std::move(done));
    if (start.path().isEmpty() || start.path() == u"/")
        discovery->FromServer(start);
    else
        discovery->At(start);
}
