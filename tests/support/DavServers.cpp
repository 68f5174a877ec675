#include "support/DavServers.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

THttpReply Http(const QByteArray &method, const QString &url, const QByteArray &body, const QList<QPair<QByteArray, QByteArray>> &headers)
{
    static QNetworkAccessManager *network = new QNetworkAccessManager;
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Authorization", "Basic " + QByteArray("alice:x").toBase64());
    request.setHeader(QNetworkRequest::ContentTypeHeader, method == "PUT" ? "text/vcard" : "application/xml; charset=utf-8");
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply *reply = network->sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    THttpReply out;
    out.Status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.Body = reply->readAll();
    out.ETag = reply->rawHeader("ETag");
    reply->deleteLater();
    return out;
}

TDavServer::TDavServer(TKind kind) : FKind(kind)
{
    FPort = FreePort();
    const QString data = FDir.filePath(QStringLiteral("data"));
    if (kind == Radicale) {
        QFile config(FDir.filePath(QStringLiteral("config")));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write(QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n[auth]\ntype = none\n[storage]\nfilesystem_folder = %2\n"
                                    "[rights]\ntype = owner_only\n[logging]\nlevel = warning\n")
                         .arg(FPort)
                         .arg(data)
                         .toUtf8());
        config.close();
        FProcess.start(QStringLiteral("radicale"), {QStringLiteral("--config"), config.fileName()});
    } else {
        FProcess.start(QStringLiteral("xandikos"),
                       {QStringLiteral("--autocreate"), QStringLiteral("-d"), data, QStringLiteral("-l"), QStringLiteral("127.0.0.1"),
                        QStringLiteral("-p"), QString::number(FPort)});
    }
    if (!FProcess.waitForStarted(10000))
        return;
    for (int i = 0; i < 200 && !FRunning; ++i) {
        FRunning = Http("OPTIONS", Root() + u'/').Status != 0;
        if (!FRunning)
            QTest::qWait(100);
    }
}

TDavServer::~TDavServer()
{
    FProcess.terminate();
    if (!FProcess.waitForFinished(5000))
        FProcess.kill();
    FProcess.waitForFinished(2000);
}

QString TDavServer::NewAddressBook(const QString &name)
{
    // Xandikos's address book home is /user/contacts/.
    const QString home = FKind == Radicale ? QStringLiteral("/alice/") : QStringLiteral("/user/contacts/");
    if (FKind == Radicale) {
        Http("PROPFIND", Root() + home, QByteArray(), {{"Depth", "0"}}); // makes the principal
    } else {
        Http("MKCOL", Root() + QStringLiteral("/user/"));
        Http("MKCOL", Root() + home);
    }
    const QString url = Root() + home + name + u'/';
    const QByteArray body =
        "<?xml version=\"1.0\"?><mkcol xmlns=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><set><prop>"
        "<resourcetype><collection/><C:addressbook/></resourcetype><displayname>"
        + name.toUtf8() + "</displayname></prop></set></mkcol>";
    const int status = Http("MKCOL", url, body).Status;
    if (status != 201)
        qWarning("MKCOL %s: %d", qPrintable(url), status);
    return url;
}

QList<QPair<QString, QByteArray>> Cards(const QString &book)
{
    const QByteArray body =
        "<?xml version=\"1.0\"?><C:addressbook-query xmlns=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\">"
        "<prop><getetag/><C:address-data/></prop></C:addressbook-query>";
    const THttpReply reply = Http("REPORT", book, body, {{"Depth", "1"}});
    QList<QPair<QString, QByteArray>> cards;
    QXmlStreamReader xml(reply.Body);
    QString href;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"href")
            href = xml.readElementText();
        else if (const QString data = xml.name() == u"address-data" ? xml.readElementText() : QString(); !data.trimmed().isEmpty())
            cards.append({href, data.toUtf8()});
    }
    return cards;
}

QString PutCard(const QString &book, const QByteArray &card)
{
    const QRegularExpression uid(QStringLiteral("UID:([^\\r\\n]+)"));
    const QString name = uid.match(QString::fromUtf8(card)).captured(1);
    const QString url = book + name + QStringLiteral(".vcf");
    const int status = Http("PUT", url, card, {{"If-None-Match", "*"}}).Status;
    if (status != 201 && status != 204)
        qWarning("PUT %s: %d", qPrintable(url), status);
    return url;
}

QByteArray Card(const QByteArray &uid, const QByteArray &family, const QByteArray &given, const QByteArray &lines)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nN:" + family + ';' + given + ";;;\r\nFN:" + given + ' ' + family + "\r\n"
        + lines + "END:VCARD\r\n";
}

QStringList Lines(const QByteArray &card)
{
    QByteArray text = card;
    text.replace("\r\n ", "").replace("\n ", "");
    QStringList lines;
    for (const QByteArray &line : text.split('\n'))
        if (!line.trimmed().isEmpty())
            lines << QString::fromUtf8(line.trimmed());
    return lines;
}

void EditCard(const QString &url, const QByteArray &start, const QByteArray &line)
{
    const THttpReply got = Http("GET", url);
    QByteArray card;
    bool done = false;
    for (const QString &l : Lines(got.Body)) {
        const QByteArray b = l.toUtf8();
        if (b.startsWith(start)) {
            if (!line.isEmpty())
                card += line + "\r\n";
            done = true;
        } else if (b == "END:VCARD" && !done) {
            card += line + "\r\nEND:VCARD\r\n";
        } else {
            card += b + "\r\n";
        }
    }
    const int status = Http("PUT", url, card, {{"If-Match", got.ETag}}).Status;
    QVERIFY2(status == 201 || status == 204, qPrintable(QString::number(status)));
}

QString CardWith(const QString &book, const QByteArray &text)
{
    for (const auto &[href, card] : Cards(book))
        if (card.contains(text))
            return QUrl(book).resolved(QUrl(href)).toString();
    return QString();
}

TFakeHttp::TFakeHttp(bool tls) : FTls(tls)
{
    if (tls) {
        QTemporaryDir dir;
        const QString key = dir.filePath(QStringLiteral("key.pem")), cert = dir.filePath(QStringLiteral("cert.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                       QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-days"),
                       QStringLiteral("2"), QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert});
        openssl.waitForFinished(60000);
        QFile keyFile(key), certFile(cert);
        keyFile.open(QIODevice::ReadOnly);
        certFile.open(QIODevice::ReadOnly);
        const QSslCertificate certificate(certFile.readAll());
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(certificate);
        config.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
        auto server = std::make_unique<QSslServer>();
        server->setSslConfiguration(config);
        FServer = std::move(server);
        FFingerprint = QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex());
    } else {
        FServer = std::make_unique<QTcpServer>();
    }
    FServer->listen(QHostAddress::LocalHost, 0);
    connect(FServer.get(), &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket *socket = FServer->nextPendingConnection())
            Serve(socket);
    });
}

namespace {

// The length of one whole HTTP message at the start of data (head and a
// Content-Length body); 0 while it is incomplete.
qsizetype MessageLength(const QByteArray &data)
{
    const qsizetype head = data.indexOf("\r\n\r\n");
    if (head < 0)
        return 0;
    const QRegularExpression length(QStringLiteral("(?i)\r\ncontent-length:\\s*(\\d+)"));
    const QRegularExpressionMatch m = length.match(QString::fromLatin1(data.left(head + 2)));
    const qsizetype total = head + 4 + (m.hasMatch() ? m.captured(1).toLongLong() : 0);
    return data.size() >= total ? total : 0;
}

} // namespace

void TFakeHttp::Serve(QTcpSocket *socket)
{
    auto *buffer = new QByteArray;
    connect(socket, &QTcpSocket::disconnected, socket, [socket, buffer] {
        delete buffer;
        socket->deleteLater();
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        *buffer += socket->readAll();
        while (const qsizetype n = MessageLength(*buffer)) {
            const QByteArray request = buffer->left(n);
            buffer->remove(0, n);
            Requests << request;
            QByteArray upstream;
            if (Upstream) {
                if (BeforeForward)
                    BeforeForward(request);
                QTcpSocket up;
                up.connectToHost(QHostAddress::LocalHost, Upstream);
                up.waitForConnected(5000);
                QByteArray sent = request;
                sent.replace("Connection: Keep-Alive", "Connection: close");
                // Bodies as they are, for Answer to read and change.
                if (const qsizetype at = sent.indexOf("\r\nAccept-Encoding:"); at >= 0)
                    sent.remove(at, sent.indexOf("\r\n", at + 2) - at);
                up.write(sent);
                // The upstream closes after its reply: read to the end.
                while (up.state() == QAbstractSocket::ConnectedState && up.waitForReadyRead(10000))
                    upstream += up.readAll();
                upstream += up.readAll();
            }
            const QByteArray reply = Answer ? Answer(request, upstream) : upstream;
            if (reply.isEmpty())
                return; // silent
            if (reply == kDrop) {
                socket->abort();
                return;
            }
            if (DripMs <= 0) {
                socket->write(reply);
                continue;
            }
            const qsizetype head = reply.indexOf("\r\n\r\n") + 4;
            socket->write(reply.left(head));
            auto *drip = new QTimer(socket);
            connect(drip, &QTimer::timeout, socket, [socket, drip, body = reply.mid(head), at = qsizetype(0)]() mutable {
                if (at < body.size())
                    socket->write(body.mid(at++, 1));
                else
                    drip->stop();
            });
            drip->start(DripMs);
        }
    });
}
