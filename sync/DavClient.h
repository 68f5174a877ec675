#pragma once

#include "sync/SyncTypes.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

struct TDavRequest {
    QByteArray Method;
    QUrl Url;
    QByteArray Body;
    QList<QPair<QByteArray, QByteArray>> Headers;
};

struct TDavReply {
    int Status = 0;
    QByteArray Body;
    QByteArray ETag;  // as received; empty when it is not an entity-tag
    QUrl Url;         // where it came from, after redirects
    TSyncError Error; // a failure of the transport (not an HTTP status)
};

// The DAV requests of one sync or probe, one small job per request on a
// QNetworkAccessManager, asynchronous on the event loop; several may be in
// flight at once (the manager opens a few connections to a host). The password goes
// only to the host the account names (and never over plain http to a host
// that is not loopback); redirects are followed by hand, within that host.
// A reply is read up to a cap; a request that gets no byte for the idle
// time ends; a certificate is accepted only by its trusted fingerprint.
class TDavClient : public QObject {
    Q_OBJECT
public:
    TDavClient(const QUrl &base, const QString &user, const QString &password, QObject *parent = nullptr);
    ~TDavClient() override;

    void SetTrustedFingerprint(const QString &sha256) { FTrusted = sha256.toLower(); }
    void SetIdleTimeout(int ms) { FIdleMs = ms; }
    void SetTotalTimeout(int ms) { FTotalMs = ms; }
    void SetMaxReplyBytes(qint64 bytes) { FMaxBytes = bytes; }

    // Sends the request; done runs on the event loop with the reply (also
    // on a failure, with Error set). With stream, a 207's body goes there
    // piece by piece as it arrives instead of into the reply's Body; false
    // from it ends the request (Cancelled).
    void Send(const TDavRequest &request, std::function<void(TDavReply &)> done, std::function<bool(const QByteArray &piece)> stream = {});
    // Ends the requests in flight now: each done gets Cancelled.
    void Abort();
    int RequestCount() const { return FRequests; }

    // True for an address the password may go to over plain http.
    static bool IsLoopback(const QString &host);
    // True when both addresses name the same host and port.
    static bool SameHost(const QUrl &a, const QUrl &b);

private:
    struct TJob;
    void Start(TJob *job);
    void Finish(TJob *job);
    // The silence timer again: the idle time, or what is left of the total.
    void Rearm(TJob *job);
    // Takes what the reply has read so far; false when the request is to end.
    bool Drain(TJob *job);
    // A piece of the reply's body as it came (inflated when it came
    // compressed for a stream); false when the request is to end.
    bool Take(TJob *job, const QByteArray &piece);
    // A piece of the body as it is: counted against the cap, then streamed
    // or kept.
    bool Keep(TJob *job, const QByteArray &piece);
    void Fail(TJob *job, TSyncError error);
    void Forget(TJob *job);

    QNetworkAccessManager *FNetwork;
    QUrl FBase;
    QByteArray FAuthorization;
    QString FTrusted;
    int FIdleMs = 30000;
    int FTotalMs = 90000;
    qint64 FMaxBytes = 64ll << 20;
    int FRequests = 0;
    std::vector<TJob *> FJobs; // in flight
};
