#include "sync/DavClient.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int kMostRedirects = 5;

bool SameHost(const QUrl &a, const QUrl &b)
{
    return a.host().compare(b.host(), Qt::CaseInsensitive) == 0
        && a.port(a.scheme() == u"https" ? 443 : 80) == b.port(b.scheme() == u"https" ? 443 : 80);
}

} // namespace

struct TDavClient::TJob {
    TDavRequest Request;
    std::function<void(TDavReply &)> Done;
    QPointer<QNetworkReply> Reply;
    QTimer *Idle = nullptr;
    QByteArray Body;
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

void TDavClient::Send(const TDavRequest &request, std::function<void(TDavReply &)> done)
{
    auto *job = new TJob;
    job->Request = request;
    job->Done = std::move(done);
    FJobs.push_back(job);
    Start(job);
}

void TDavClient::Start(TJob *job)
{
    const QUrl &url = job->Request.Url;
    if (url.scheme() != u"https" && url.scheme() != u"http") {
        Fail(job, {TSyncFailure::NotCardDav, 0, QString(), QString(), QString(), QString(), 0, url.toString()});
        return;
    }
    if (url.scheme() == u"http" && !IsLoopback(url.host())) {
        Fail(job, {TSyncFailure::InsecureHttp, 0, QString(), QString(), QString(), QString(), 0, url.toString()});
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

    job->Body.clear();
    QNetworkReply *reply = FNetwork->sendCustomRequest(req, job->Request.Method, job->Request.Body);
    reply->setReadBufferSize(1 << 20);
    job->Reply = reply;
    if (!job->Idle) {
        job->Idle = new QTimer(this);
        job->Idle->setSingleShot(true);
    }
    job->Idle->setInterval(FIdleMs);
    job->Idle->disconnect();
    connect(job->Idle, &QTimer::timeout, this, [this, job] {
        job->Error = {TSyncFailure::Timeout, 0, QString(), QString(), QString(), QString(), 0, job->Request.Url.toString()};
        if (job->Reply)
            job->Reply->abort();
    });
    job->Idle->start();
    const auto alive = [job] { job->Idle->start(); };
    connect(reply, &QNetworkReply::metaDataChanged, this, alive);
    connect(reply, &QNetworkReply::uploadProgress, this, alive);
    connect(reply, &QNetworkReply::readyRead, this, [this, job] {
        job->Idle->start();
        if (!job->Reply)
            return;
        job->Body += job->Reply->readAll();
        if (job->Body.size() > FMaxBytes && job->Error.Kind == TSyncFailure::None) {
            job->Error = {TSyncFailure::ReplyTooLarge, 0, QString(), QString(), QString(), QString(), 0, job->Request.Url.toString()};
            job->Body.clear();
            job->Reply->abort();
        }
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
        job->Error = {TSyncFailure::Certificate, 0, QString(), fingerprint, QString(), QString(), 0, job->Request.Url.toString()};
    });
    connect(reply, &QNetworkReply::finished, this, [this, job] { Finish(job); });
}

void TDavClient::Finish(TJob *job)
{
    job->Idle->stop();
    QNetworkReply *reply = job->Reply;
    if (reply && job->Error.Kind == TSyncFailure::None)
        job->Body += reply->readAll();
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
    if (job->Error.Kind == TSyncFailure::None && out.Status >= 300 && out.Status < 400 && out.Status != 304) {
        const QUrl location = job->Request.Url.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
        if (reply)
            reply->deleteLater();
        if (!location.isValid() || job->Redirects >= kMostRedirects) {
            Fail(job,
                 {TSyncFailure::NotCardDav, out.Status, QStringLiteral("too many redirects"), QString(), QString(), QString(), 0,
                  job->Request.Url.toString()});
            return;
        }
        if (!SameHost(location, FBase)) {
            Fail(job,
                 {TSyncFailure::ForeignRedirect, out.Status, QString(), QString(), location.host(), QString(), 0, location.toString()});
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
        reply->deleteLater();
    }
    out.Body = std::move(job->Body);
    out.Error = job->Error;
    if (out.Error.Kind == TSyncFailure::None && out.Status == 401)
        out.Error = {TSyncFailure::Unauthorized, 401, QString(), QString(), QString(), QString(), 0, job->Request.Url.toString()};
    std::function<void(TDavReply &)> done = std::move(job->Done);
    Forget(job);
    job->Idle->deleteLater();
    delete job;
    done(out);
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
        job->Error = {TSyncFailure::Cancelled, 0, QString(), QString(), QString(), QString(), 0, job->Request.Url.toString()};
        job->Reply->abort();
    }
}
