#include "sync/SyncRun.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/Provider.h"
#include "contacts/ContactWriter.h"
#include "contacts/VCardPatch.h"
#include "sync/DavXml.h"
#include "sync/Discovery.h"
#include "sync/SyncSession.h"

#include <QCryptographicHash>
#include <QTimer>

namespace {

QString WithSlash(QString url)
{
    if (!url.endsWith(u'/'))
        url += u'/';
    return url;
}

qsizetype Characters(const QByteArray &utf8)
{
    qsizetype n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
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
    // A read in flight is ended at once; a write's outcome is waited for.
    if (FSteps.empty())
        FClient.Abort();
}

QByteArray TSyncRun::Digest(const QByteArray *values) const
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (int c = 0; c < 7; ++c) {
        hash.addData(values[c]);
        hash.addData(QByteArrayView("\x1f", 1));
    }
    return hash.result().toHex();
}

TCardValues TSyncRun::Read(const QByteArray &card) const
{
    TCardValues v;
    TContactRecord record;
    try {
        v.Ok = ReadCard(card, record) && record.HasSomethingToStore();
    } catch (const Exception &) {
        v.Ok = false;
    }
    if (!v.Ok)
        return v;
    v.Uid = CardUid(card);
    for (int c = 0; c < 7; ++c) {
        QByteArray value = record.Values[c];
        if (value.contains('\r'))
            value.replace("\r\n", "\n").replace('\r', '\n');
        v.Raw[c] = value;
        const int width = c < int(FWidths.size()) ? FWidths[std::size_t(c)] : 0;
        if (width > 0 && Characters(value) > width) {
            v.TooLong << FColumnNames.value(c);
            v.Fit[c] = QByteArray();
        } else {
            v.Fit[c] = value;
        }
    }
    return v;
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
    FWidths = shape.Widths;
    FColumnNames = shape.Columns;
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
        FHrefOf[card.No] = card.Href;
        FStates[card.Href] = std::move(card);
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
