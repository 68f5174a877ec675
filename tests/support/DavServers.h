#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// CardDAV servers for the sync tests, on loopback in a private folder:
// Radicale (no authentication) or Xandikos, started by the test on a free
// port and stopped when the object goes.
class TDavServer {
public:
    enum TKind { Radicale, Xandikos };
    explicit TDavServer(TKind kind);
    ~TDavServer();
    bool Running() const { return FRunning; }
    QString Root() const { return QStringLiteral("http://127.0.0.1:%1").arg(FPort); }
    quint16 Port() const { return FPort; }
    // A new, empty address book: its URL (ends in "/").
    QString NewAddressBook(const QString &name);

private:
    TKind FKind;
    QTemporaryDir FDir;
    QProcess FProcess;
    quint16 FPort = 0;
    bool FRunning = false;
};

// A free TCP port on loopback.
quint16 FreePort();

// One HTTP request, waited for (another client of the server).
struct THttpReply {
    int Status = 0;
    QByteArray Body;
    QByteArray ETag;
};
THttpReply Http(const QByteArray &method, const QString &url, const QByteArray &body = QByteArray(),
                const QList<QPair<QByteArray, QByteArray>> &headers = {});
// The cards of an address book: href -> card text.
QList<QPair<QString, QByteArray>> Cards(const QString &book);
// Puts a new card into the address book; returns its URL.
QString PutCard(const QString &book, const QByteArray &card);
// A vCard 3.0 card with UID, N, FN and the given lines (each ending in CRLF).
QByteArray Card(const QByteArray &uid, const QByteArray &family, const QByteArray &given, const QByteArray &lines);
// The card's lines, unfolded.
QStringList Lines(const QByteArray &card);
// Replaces the line that starts with `start` (or adds it) in the server's card.
void EditCard(const QString &url, const QByteArray &start, const QByteArray &line);
// The URL of the book's first card that contains text; empty when none.
QString CardWith(const QString &book, const QByteArray &text);

// A small HTTP server for replies no real server gives: each request's
// head and body go to Answer, whose bytes are sent back whole (empty: no
// answer at all; kDrop: the connection closed at once). With Upstream set it is a proxy in front of that port
// instead, and Answer (when set) may change the upstream's reply.
class TFakeHttp : public QObject {
    Q_OBJECT
public:
    // tls: https with a self-signed certificate made for the test (openssl).
    explicit TFakeHttp(bool tls = false);
    quint16 Port() const { return FServer->serverPort(); }
    QString Root() const { return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(FTls ? "https" : "http")).arg(Port()); }
    // The certificate's SHA-256, hex, lower case.
    QString Fingerprint() const { return FFingerprint; }
    quint16 Upstream = 0;
    // request (head and body), upstream reply (empty without upstream) -> reply to send
    std::function<QByteArray(const QByteArray &request, const QByteArray &upstream)> Answer;
    static inline const QByteArray kDrop = QByteArrayLiteral("\0drop");
    std::function<void(const QByteArray &request)> BeforeForward;
    // Above 0: a reply's head goes at once, its body one byte every DripMs.
    int DripMs = 0;
    QList<QByteArray> Requests;

private:
    void Serve(QTcpSocket *socket);
    std::unique_ptr<QTcpServer> FServer;
    bool FTls;
    QString FFingerprint;
};
