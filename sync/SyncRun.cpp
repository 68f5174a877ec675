#include "sync/SyncRun.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/Provider.h"
#include "contacts/ContactWriter.h"
#include "sync/DavXml.h"
#include "sync/Discovery.h"
#include "sync/EntityTag.h"
#include "sync/SyncSession.h"

#include <QTimer>

namespace {

QString WithSlash(QString url)
{
    if (!url.endsWith(u'/'))
        url += u'/';
    return url;
}

} // namespace

TSyncRun::TSyncRun(TSyncSession *owner, TADOConnection &connection, const TSyncAccount &account, const QString &password,
                   const TSyncOptions &options)
    : FOwner(owner), FConnection(connection), FAccount(account), FOptions(options), FClient(account.ServerUrl(), account.User, password)
{
    FClient.SetIdleTimeout(options.IdleTimeoutMs);
    FClient.SetTotalTimeout(options.TotalTimeoutMs);
    FClient.SetMaxReplyBytes(options.MaxReplyBytes);
    if (!account.TrustedFingerprint.isEmpty())
        FClient.SetTrustedFingerprint(account.TrustedFingerprint);
}

TSyncRun::~TSyncRun()
{
    if (FTables) {
        FTables->RestoreCache();
        if (FLocked)
            FTables->Unlock();
    }
}

void TSyncRun::Fail(const TSyncError &error)
{
    if (FFinished)
        return;
    Result.Error = error;
    Done();
}

void TSyncRun::Fail(TSyncFailure kind, const QString &text)
{
    TSyncError e;
    e.Kind = kind;
    e.ServerText = text;
    Fail(e);
}

void TSyncRun::Done()
{
    if (FFinished)
        return;
    FFinished = true;
    if (FTables) {
        FTables->Rollback();
        FTables->RestoreCache();
        if (FLocked)
            FTables->Unlock();
        FLocked = false;
    }
    FFileLock.reset();
    QTimer::singleShot(0, FOwner, [owner = FOwner] { Q_EMIT owner->Finished(); });
}

void TSyncRun::Cancel()
{
    FCancelled = true;
    // Waiting for the answer to the mass-delete question: nothing was done, nothing is.
    if (FAsking)
        return Fail(TSyncFailure::Cancelled);
    // A read in flight is ended at once; a write's outcome is waited for.
    if (FSteps.empty())
        FClient.Abort();
}

void TSyncRun::Start()
{
    try {
        Open();
    } catch (const Exception &e) {
        Fail(TSyncFailure::Database, e.Message());
        return;
    }
}

void TSyncRun::Open()
{
    FConnection.Open();
    TProvider &engine = *FConnection.Engine();
    const TContactsShape shape = ReadContactsShape(engine);
    FColumns = TCardColumns(shape.Widths, shape.Columns);
    FTables = std::make_unique<TSyncTables>(engine, shape.Target, shape.Columns, shape.Key.isEmpty() ? QStringLiteral("No") : shape.Key);
    FTables->Create();
    if (engine.OnServer()) {
        FLocked = FTables->TryLock();
    } else {
        FFileLock = std::make_unique<QLockFile>(FConnection.DatabasePath() + QStringLiteral(".sync-lock"));
        FLocked = FFileLock->tryLock(0);
    }
    if (!FLocked)
        return Fail(TSyncFailure::Busy);
    FTables->NarrowCache();

    QString linked;
    FTables->Book(&linked, &FToken);
    for (TSyncCardRow &card : FTables->Cards()) {
        // An ETag that is not one (kept by an earlier version) is never sent
        // back: the card's outcome counts as not known, as after a lost answer.
        if (!card.ETag.isNull() && !IsEntityTag(card.ETag))
            card.ETag = QByteArray();
        FBase[card.Href] = std::move(card);
    }

    const auto useBook = [this, linked](const TAddressBookInfo &book) {
        FBook = QUrl(WithSlash(book.Url));
        FBookPath = FBook.path(QUrl::FullyDecoded);
        Result.AddressBook = FBook.toString();
        if (!linked.isEmpty() && QUrl(WithSlash(linked)) != FBook) {
            TSyncError e;
            e.Kind = TSyncFailure::OtherAddressBook;
            e.LinkedBook = linked;
            e.Url = FBook.toString();
            return Fail(e);
        }
        if (linked.isEmpty())
            FToken.clear();
        CheckBook();
    };
    if (!FAccount.AddressBook.isEmpty())
        return useBook({FAccount.AddressBook, QString(), -1, false});
    DiscoverAddressBooks(FClient, FAccount.ServerUrl(), false,
                         [this, useBook, linked](std::vector<TAddressBookInfo> &books, TSyncError &error) {
                             if (FCancelled)
                                 return Fail(TSyncFailure::Cancelled);
                             if (error.Kind != TSyncFailure::None)
                                 return Fail(error);
                             // The book this directory is linked to, when the server has it;
                             // otherwise the only one. Among several the user names one.
                             for (const TAddressBookInfo &book : books)
                                 if (!linked.isEmpty() && QUrl(WithSlash(book.Url)) == QUrl(WithSlash(linked)))
                                     return useBook(book);
                             if (books.size() == 1)
                                 return useBook(books.front());
                             TSyncError several;
                             several.Kind = TSyncFailure::SeveralBooks;
                             several.Url = FAccount.ServerUrl().toString();
                             for (const TAddressBookInfo &book : books)
                                 several.Books << book.Url;
                             Fail(several);
                         });
}

QUrl TSyncRun::UrlOf(const QString &path) const
{
    QUrl url = FBook;
    url.setPath(path, QUrl::DecodedMode);
    return url;
}

bool TSyncRun::Inside(const QString &href, QString *path)
{
    const QUrl url = FBook.resolved(QUrl::fromEncoded(href.toUtf8()));
    const QString p = url.path(QUrl::FullyDecoded);
    if (p == FBookPath || p + u'/' == FBookPath)
        return false; // the book itself
    const int defaultPort = FBook.scheme() == u"https" ? 443 : 80;
    const bool inside = url.host().compare(FBook.host(), Qt::CaseInsensitive) == 0 && url.port(defaultPort) == FBook.port(defaultPort)
        && p.startsWith(FBookPath) && !p.mid(FBookPath.size()).contains(u'/') && !p.contains(QLatin1String("/.."));
    if (!inside) {
        TSyncError e;
        e.Kind = TSyncFailure::HrefOutside;
        e.Url = href;
        Fail(e);
        return false;
    }
    *path = p;
    return true;
}

bool TSyncRun::Multistatus(const TDavReply &reply, TMultistatus &ms)
{
    QString problem;
    if (FCancelled)
        Fail(TSyncFailure::Cancelled);
    else if (reply.Error.Kind != TSyncFailure::None)
        Fail(reply.Error);
    else if (reply.Status != 207)
        Fail(StatusError(reply.Status, reply.Url, reply.Body));
    else if (!ReadMultistatus(reply.Body, ms, &problem))
        Fail(SyncError(TSyncFailure::BadReply, reply.Url.toString(), reply.Status, problem));
    else
        return true;
    return false;
}

void TSyncRun::CheckBook()
{
    TDavRequest request{"PROPFIND", FBook, DavBody::DiscoveryProps(), {{"Depth", "0"}}};
    FClient.Send(request, [this](TDavReply &reply) {
        TMultistatus ms;
        if (!Multistatus(reply, ms))
            return;
        if (ms.Responses.empty() || !ms.Responses.front().AddressBook)
            return Fail(SyncError(TSyncFailure::NoAddressBook, FBook.toString()));
        FOnly40 = ms.Responses.front().Only40;
        FSyncCollection = ms.Responses.front().SyncCollection;
        List();
    });
}

void TSyncRun::Plan()
{
    // The directory: a contact linked to a card is kept for the plan; of
    // the others only the key (their cards are made a batch at a time as
    // they are sent), unless a card new here may be the same person.
    const bool matching = !FListing.Cards.Empty();
    TSyncDirectory directory;
    std::set<std::int64_t> linked;
    for (const auto &[href, state] : FBase)
        linked.insert(state.No);
    try {
        FTables->Contacts([&](TSyncContact &row) {
            ++directory.Count;
            if (matching || linked.count(row.No))
                directory.Rows[row.No] = std::move(row);
            else
                directory.Unlinked.push_back(row.No);
        });
    } catch (const Exception &e) {
        return Fail(TSyncFailure::Database, e.Message());
    }
    const int serverCards = FListing.Full ? FListing.ListedCount : int(FBase.size());
    const int localRows = directory.Count;
    FPlan = PlanSync(std::move(FBase), std::move(directory), FListing, FColumns, {FOptions.DryRun, FOnly40});
    FStepFailed = FStepFailed || FPlan.Unread;
    FSteps = std::move(FPlan.Steps);
    FStepCount = FSteps.size() + FPlan.NewContacts.size();

    if (FOptions.DryRun) {
        Result.Sent += int(FPlan.NewContacts.size());
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
    const bool massLocal = FPlan.MassLocal(localRows);
    if ((massLocal || FPlan.MassServer(serverCards)) && !FOptions.AllowMassDelete)
        return AskMassDelete(massLocal ? TSyncSide::Local : TSyncSide::Server);
    Receive();
}

void TSyncRun::AskMassDelete(TSyncSide side)
{
    FAsking = true;
    FMassSide = side;
    Q_EMIT FOwner->MassDeleteAsked(MassDeleteCount(), side);
}

int TSyncRun::MassDeleteCount() const
{
    return FMassSide == TSyncSide::Local ? FPlan.LocalDeletes : FPlan.ServerDeletes;
}

void TSyncRun::ConfirmMassDelete(bool proceed)
{
    if (FFinished || !FAsking)
        return;
    FAsking = false;
    if (proceed)
        return Receive();
    TSyncError e;
    e.Kind = TSyncFailure::MassDelete;
    e.MassDeleteCount = MassDeleteCount();
    Fail(e);
}
