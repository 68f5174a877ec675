#include "sync/DavClient.h"

#include "sync/EntityTag.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <zlib.h>

namespace {

constexpr int kMostRedirects = 5;
// A reply is read, inflated and handed on in pieces of this size: small, as
// each piece is held a few times over (read, inflated, decoded).
constexpr qint64 kPiece = 16 * 1024;

// The methods whose redirect is followed: those that only read.
bool Reads(const QByteArray &method)
{
    return method == "GET" || method == "HEAD" || method == "PROPFIND" || method == "REPORT" || method == "OPTIONS";
}

// A header line ends at CR or LF and a NUL ends it early: none may stand
// in a value (an ETag, a token) that came from a server.
bool SafeHeader(QByteArrayView text)
{
    return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

} // namespace

struct TDavClient::TJob {
    TDavRequest Request;
    std::function<void(TDavReply &)> Done;
    std::function<bool(const QByteArray &)> Stream;
    QPointer<QNetworkReply> Reply;
    QTimer *Idle = nullptr;
    QDeadlineTimer Deadline; // the whole request, its redirects too
    QByteArray Body;
    qint64 Received = 0;
    // A streamed body that came gzip'd, inflated here as it arrives: the
    // network layer holds the compressed bytes, not the whole inflated text.
    std::unique_ptr<z_stream, void (*)(z_stream *)> Inflater{nullptr, [](z_stream *z) {
                                                                 inflateEnd(z);
                                                                 delete z;
                                                             }};
    bool Plain = false;    // no inflating: the body came as it is
    bool Inflated = false; // the compressed body has ended
    TSyncError Error;
    int Redirects = 0;
};

TDavClient::TDavClient(const QUrl &base, const QString &user, const QString &password, QObject *parent)
    : QObject(parent), FNetwork(new QNetworkAccessManager(this)), FBase(base)
{
    FAuthorization = "Basic " + (user + u':' + password).toUtf8().toBase64();
    // Credentials are offered once, up front; a 401 is answered by the caller.
    FNetwork->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    FNetwork->setAutoDeleteReplies(false);
}

TDavClient::~TDavClient()
{
    // Ended quietly: nothing may call back into an owner going away.
    for (TJob *job : FJobs) {
        if (job->Reply) {
            job->Reply->disconnect(this);
            job->Reply->abort();
        }
        delete job->Reply.data();
        delete job;
    }
}

bool TDavClient::IsLoopback(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool TDavClient::SameHost(const QUrl &a, const QUrl &b)
{
    return a.host().compare(b.host(), Qt::CaseInsensitive) == 0
        && a.port(a.scheme() == u"https" ? 443 : 80) == b.port(b.scheme() == u"https" ? 443 : 80);
}

void TDavClient::Send(const TDavRequest &request, std::function<void(TDavReply &)> done, std::function<bool(const QByteArray &)> stream)
{
    auto *job = new TJob;
    job->Request = request;
    job->Done = std::move(done);
    job->Stream = std::move(stream);
    job->Deadline = FTotalMs > 0 ? QDeadlineTimer(FTotalMs) : QDeadlineTimer(QDeadlineTimer::Forever);
    FJobs.push_back(job);
    Start(job);
}

void TDavClient::Start(TJob *job)
{
    const QUrl &url = job->Request.Url;
    if (url.scheme() != u"https" && url.scheme() != u"http") {
        Fail(job, SyncError(TSyncFailure::NotCardDav, url.toString()));
        return;
    }
    if (url.scheme() == u"http" && !IsLoopback(url.host())) {
        Fail(job, SyncError(TSyncFailure::InsecureHttp, url.toString()));
        return;
    }
    for (const auto &[name, value] : job->Request.Headers)
        if (!SafeHeader(name) || !SafeHeader(value)) {
            Fail(job,
                 SyncError(TSyncFailure::BadReply, url.toString(), 0,
                           QStringLiteral("a line break in the %1 header").arg(QLatin1String(name))));
            return;
        }
    ++FRequests;
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    if (SameHost(url, FBase))
        req.setRawHeader("Authorization", FAuthorization);
    if (!job->Request.Body.isEmpty() || job->Request.Method == "PUT")
        req.setHeader(QNetworkRequest::ContentTypeHeader,
                      job->Request.Method == "PUT" ? QByteArray("text/vcard; charset=utf-8")
                                                   : QByteArray("application/xml; charset=utf-8"));
    for (const auto &[name, value] : job->Request.Headers)
        req.setRawHeader(name, value);
    if (job->Stream)
        req.setRawHeader("Accept-Encoding", "gzip"); // inflated by Take, piece by piece

    job->Body.clear();
    job->Received = 0;
    job->Inflater.reset();
    job->Plain = job->Inflated = false;
    QNetworkReply *reply = FNetwork->sendCustomRequest(req, job->Request.Method, job->Request.Body);
    reply->setReadBufferSize(256 << 10);
    job->Reply = reply;
    if (!job->Idle) {
        job->Idle = new QTimer(this);
        job->Idle->setSingleShot(true);
    }
    job->Idle->disconnect();
    connect(job->Idle, &QTimer::timeout, this, [this, job] {
        job->Error = SyncError(TSyncFailure::Timeout, job->Request.Url.toString());
        if (job->Reply)
            job->Reply->abort();
    });
    Rearm(job);
    const auto alive = [this, job] { Rearm(job); };
    connect(reply, &QNetworkReply::metaDataChanged, this, alive);
    connect(reply, &QNetworkReply::uploadProgress, this, alive);
    connect(reply, &QNetworkReply::readyRead, this, [this, job] {
        Rearm(job);
        if (!job->Reply)
            return;
        if (!Drain(job))
            job->Reply->abort();
    });
    connect(reply, &QNetworkReply::sslErrors, this, [this, job](const QList<QSslError> &) {
        if (!job->Reply)
            return;
        const QSslCertificate certificate = job->Reply->sslConfiguration().peerCertificate();
        const QString fingerprint = QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex());
        if (!FTrusted.isEmpty() && fingerprint == FTrusted) {
            job->Reply->ignoreSslErrors();
            return;
        }
        job->Error = SyncError(TSyncFailure::Certificate, job->Request.Url.toString());
        job->Error.Fingerprint = fingerprint;
    });
    connect(reply, &QNetworkReply::finished, this, [this, job] { Finish(job); });
}

void TDavClient::Rearm(TJob *job)
{
    const qint64 left = job->Deadline.remainingTime(); // -1: no total time
    job->Idle->start(int(left < 0 ? FIdleMs : std::min<qint64>(FIdleMs, left)));
}

void TDavClient::Finish(TJob *job)
{
    job->Idle->stop();
    QNetworkReply *reply = job->Reply;
    if (reply) {
        Drain(job);
        // Nothing the reply still signals (an upload's last progress) may
        // reach the job, which goes now or is started again.
        reply->disconnect(this);
    }
    if (job->Inflater && !job->Inflated && job->Error.Kind == TSyncFailure::None)
        job->Error = SyncError(TSyncFailure::BadReply, job->Request.Url.toString(), 0, QStringLiteral("the compressed reply ends early"));
    TDavReply out;
    out.Url = job->Request.Url;
    out.Status = reply ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
    if (job->Error.Kind == TSyncFailure::None && reply && out.Status == 0) {
        const QNetworkReply::NetworkError e = reply->error();
        if (e == QNetworkReply::OperationCanceledError)
            job->Error.Kind = TSyncFailure::Cancelled;
        else if (e >= QNetworkReply::SslHandshakeFailedError && e <= QNetworkReply::SslHandshakeFailedError)
            job->Error.Kind = TSyncFailure::Certificate;
        else
            job->Error.Kind = TSyncFailure::Network;
        job->Error.ServerText = reply->errorString();
        job->Error.Url = job->Request.Url.toString();
    }
    // A write is not sent on to where a redirect points (another book, or
    // no book): the redirect is its answer, a refusal.
    if (job->Error.Kind == TSyncFailure::None && out.Status >= 300 && out.Status < 400 && out.Status != 304 && Reads(job->Request.Method)) {
        const QUrl location = job->Request.Url.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
        if (reply)
            reply->deleteLater();
        if (!location.isValid() || job->Redirects >= kMostRedirects) {
            Fail(job, SyncError(TSyncFailure::NotCardDav, job->Request.Url.toString(), out.Status, QStringLiteral("too many redirects")));
            return;
        }
        if (!SameHost(location, FBase)) {
            TSyncError foreign = SyncError(TSyncFailure::ForeignRedirect, location.toString(), out.Status);
            foreign.RedirectHost = location.host();
            Fail(job, foreign);
            return;
        }
        ++job->Redirects;
        // 301, 302, 303 and a PROPFIND: the method stays (a DAV server means it).
        job->Request.Url = location;
        Start(job);
        return;
    }
    if (reply) {
        out.ETag = reply->rawHeader("ETag");
        if (!IsEntityTag(out.ETag))
            out.ETag.clear();
        reply->deleteLater();
    }
    out.Body = std::move(job->Body);
    out.Error = job->Error;
    if (out.Error.Kind == TSyncFailure::None && out.Status == 401)
        out.Error = SyncError(TSyncFailure::Unauthorized, job->Request.Url.toString(), 401);
    std::function<void(TDavReply &)> done = std::move(job->Done);
    Forget(job);
    job->Idle->deleteLater();
    delete job;
    done(out);
}

bool TDavClient::Drain(TJob *job)
{
    // In pieces: the reply may hold a long body, which is not copied whole.
    while (job->Error.Kind == TSyncFailure::None && job->Reply->bytesAvailable() > 0)
        if (!Take(job, job->Reply->read(kPiece)))
            return false;
    return true;
}

bool TDavClient::Take(TJob *job, const QByteArray &piece)
{
    if (job->Stream && !job->Inflater && !job->Plain) {
        const QByteArray encoding = job->Reply->rawHeader("Content-Encoding").trimmed().toLower();
        job->Plain = encoding != "gzip" && encoding != "x-gzip";
        if (!job->Plain) {
            job->Inflater.reset(new z_stream{});
            if (inflateInit2(job->Inflater.get(), 16 + MAX_WBITS) != Z_OK) {
                job->Inflater.reset();
                job->Plain = true;
            }
        }
    }
    if (!job->Inflater)
        return Keep(job, piece);
    z_stream &z = *job->Inflater;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(piece.constData()));
    z.avail_in = uInt(piece.size());
    // Until the input is used up and the output no longer fills the room given.
    for (bool more = true; more && !job->Inflated;) {
        QByteArray out(kPiece, Qt::Uninitialized);
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            job->Error =
                SyncError(TSyncFailure::BadReply, job->Request.Url.toString(), 0, QStringLiteral("the compressed reply is damaged"));
            return false;
        }
        job->Inflated = rc == Z_STREAM_END;
        more = rc != Z_BUF_ERROR && (z.avail_in > 0 || z.avail_out == 0);
        out.truncate(out.size() - qsizetype(z.avail_out));
        if (!out.isEmpty() && !Keep(job, out))
            return false;
    }
    return true;
}

bool TDavClient::Keep(TJob *job, const QByteArray &piece)
{
    job->Received += piece.size();
    if (job->Received > FMaxBytes) {
        job->Error = SyncError(TSyncFailure::ReplyTooLarge, job->Request.Url.toString());
        job->Body.clear();
        return false;
    }
    if (job->Stream && job->Reply && job->Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 207) {
        if (piece.isEmpty() || job->Stream(piece))
            return true;
        job->Error = SyncError(TSyncFailure::Cancelled, job->Request.Url.toString());
        return false;
    }
    job->Body += piece;
    return true;
}

void TDavClient::Fail(TJob *job, TSyncError error)
{
    TDavReply out;
    out.Url = job->Request.Url;
    out.Error = std::move(error);
    std::function<void(TDavReply &)> done = std::move(job->Done);
    Forget(job);
    if (job->Idle)
        job->Idle->deleteLater();
    delete job;
    // Always later, never inside Send: the caller's stack unwinds first.
    QTimer::singleShot(0, this, [done = std::move(done), out]() mutable { done(out); });
}

void TDavClient::Forget(TJob *job)
{
    FJobs.erase(std::remove(FJobs.begin(), FJobs.end(), job), FJobs.end());
}

void TDavClient::Abort()
{
    // An abort finishes its job at once, and what that job's caller does
    // may change the list: each job is looked for again.
    const std::vector<TJob *> jobs = FJobs;
    for (TJob *job : jobs) {
        if (std::find(FJobs.begin(), FJobs.end(), job) == FJobs.end() || !job->Reply)
            continue;
        job->Error = SyncError(TSyncFailure::Cancelled, job->Request.Url.toString());
        job->Reply->abort();
    }
}
