// The directory over LDAP with 100,000 sample contacts, on the file and on a
// private PostgreSQL cluster: 20 clients at once, each connecting anew for
// every search as a desk phone does, search names by their start and
// numbers by their end; p50 and p99 of a search's time (target p99 under
// 50 ms). The anchor in the same run: the same clients asking slapd for its
// root entry, which slapd answers without the program. Last, 200 clients
// at once: every search must be answered.
#include "bench/support/BenchCluster.h"
#include "bench/support/BenchSupport.h"
#include "contacts/ContactsDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kContacts = 100000;
constexpr int kSearches = 1000; // by all clients together
const QByteArray kBase = "ou=rehber,dc=velmora";

quint16 gFilePort = 0, gServerPort = 0;
QStringList gPrefixes;
QList<QByteArray> gNumbers; // national digits of stored mobiles

// BER, as far as a search request needs it.
QByteArray Tlv(quint8 tag, const QByteArray &content)
{
    QByteArray out(1, char(tag));
    const qsizetype n = content.size();
    if (n < 0x80) {
        out += char(n);
    } else {
        QByteArray length;
        for (qsizetype v = n; v; v >>= 8)
            length.prepend(char(v & 0xFF));
        out += char(0x80 | length.size());
        out += length;
    }
    return out + content;
}
QByteArray Integer(quint8 tag, int value)
{
    QByteArray bytes;
    do {
        bytes.prepend(char(value & 0xFF));
        value >>= 8;
    } while (value);
    if (bytes.front() & 0x80)
        bytes.prepend('\0');
    return Tlv(tag, bytes);
}
QByteArray Substrings(const QByteArray &attribute, quint8 where, const QByteArray &piece)
{
    return Tlv(0xA4, Tlv(0x04, attribute) + Tlv(0x30, Tlv(where, piece)));
}
QByteArray SearchRequest(const QByteArray &base, int scope, int sizeLimit, const QByteArray &filter)
{
    const QByteArray body = Tlv(0x04, base) + Integer(0x0A, scope) + Integer(0x0A, 0) + Integer(0x02, sizeLimit) + Integer(0x02, 0)
        + Tlv(0x01, QByteArray(1, '\0')) + filter + Tlv(0x30, Tlv(0x04, "cn") + Tlv(0x04, "telephoneNumber") + Tlv(0x04, "mobile"));
    return Tlv(0x30, Integer(0x02, 1) + Tlv(0x63, body));
}
QByteArray NameFilter(const QString &prefix)
{
    return Tlv(0xA1, Substrings("cn", 0x80, prefix.toUtf8()) + Substrings("sn", 0x80, prefix.toUtf8()));
}
QByteArray NumberFilter(const QByteArray &digits)
{
    return Tlv(0xA1,
               Substrings("telephoneNumber", 0x82, digits) + Substrings("mobile", 0x82, digits) + Substrings("homePhone", 0x82, digits));
}

bool ReadFully(int fd, char *to, std::size_t n)
{
    while (n) {
        const ssize_t got = ::recv(fd, to, n, 0);
        if (got <= 0)
            return false;
        to += got;
        n -= std::size_t(got);
    }
    return true;
}

// Connects, searches, reads to the search's end; the entries found, or -1.
int Search(quint16 port, const QByteArray &request)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int entries = -1;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::send(fd, request.constData(), std::size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
        for (int found = 0;;) {
            unsigned char head[2];
            if (!ReadFully(fd, reinterpret_cast<char *>(head), 2))
                break;
            std::size_t length = head[1];
            if (length & 0x80) {
                unsigned char bytes[4];
                const int n = length & 0x7F;
                if (n > 4 || !ReadFully(fd, reinterpret_cast<char *>(bytes), std::size_t(n)))
                    break;
                length = 0;
                for (int i = 0; i < n; ++i)
                    length = (length << 8) | bytes[i];
            }
            QByteArray message(qsizetype(length), '\0');
            if (!ReadFully(fd, message.data(), length) || message.size() < 3)
                break;
            const quint8 op = quint8(message.at(2 + quint8(message.at(1)))); // after the message id
            if (op == 0x64)
                ++found;
            else if (op == 0x65) {
                entries = found;
                break;
            }
        }
    }
    ::close(fd);
    return entries;
}

// state.range(1) clients at once, each making its share of the searches on
// port state.range(0); the times in ms.
void RunClients(benchmark::State &state, const std::function<QByteArray(int)> &request)
{
    const auto port = quint16(state.range(0));
    const int clientCount = int(state.range(1));
    const int searchesPerClient = kSearches / clientCount;
    std::vector<double> times;
    int failed = 0;
    for (auto _ : state) {
        std::vector<std::vector<double>> each(clientCount);
        std::vector<int> failures(clientCount, 0);
        std::vector<std::thread> clients;
        for (int c = 0; c < clientCount; ++c)
            clients.emplace_back([&, c] {
                for (int i = 0; i < searchesPerClient; ++i) {
                    const QByteArray r = request(c * searchesPerClient + i);
                    QElapsedTimer clock;
                    clock.start();
                    if (Search(port, r) < 0)
                        ++failures[std::size_t(c)];
                    each[std::size_t(c)].push_back(double(clock.nsecsElapsed()) / 1e6);
                }
            });
        for (std::thread &t : clients)
            t.join();
        for (int c = 0; c < clientCount; ++c) {
            times.insert(times.end(), each[std::size_t(c)].begin(), each[std::size_t(c)].end());
            failed += failures[std::size_t(c)];
        }
    }
    std::sort(times.begin(), times.end());
    auto at = [&](double q) { return times.empty() ? 0.0 : times[std::size_t(q * double(times.size() - 1))]; };
    state.counters["p50_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
    state.counters["failed"] = failed;
    if (failed)
        state.SkipWithError("some searches got no answer");
}

void BM_RootEntry(benchmark::State &state)
{
    RunClients(state, [](int) { return SearchRequest(QByteArray(), 0, 0, Tlv(0x87, "objectClass")); });
}
void BM_NamePrefix(benchmark::State &state)
{
    RunClients(state, [](int i) { return SearchRequest(kBase, 2, 50, NameFilter(gPrefixes.at(i % gPrefixes.size()))); });
}
void BM_NumberEnd(benchmark::State &state)
{
    RunClients(state, [](int i) { return SearchRequest(kBase, 2, 50, NumberFilter(gNumbers.at(i % gNumbers.size()))); });
}

// Starts serve-ldap on the database; stopped with SIGTERM when it goes.
std::unique_ptr<QProcess> Serve(const QString &database, quint16 *port)
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    *port = probe.serverPort();
    probe.close();
    auto server = std::make_unique<QProcess>();
    server->setReadChannel(QProcess::StandardError);
    server->start(QStringLiteral(VELMORA_REHBER_DB),
                  {QStringLiteral("serve-ldap"), database, QStringLiteral("--listen"), QStringLiteral("ldap://127.0.0.1:%1").arg(*port)});
    QByteArray said;
    while (!said.contains("serving") && server->waitForReadyRead(60000))
        said += server->readAllStandardError();
    if (!said.contains("serving"))
        throw std::runtime_error("serve-ldap did not start: " + said.toStdString());
    return server;
}

// Mobiles of the file, from all over it: their last ten digits.
void ReadNumbers(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT CTelefon FROM DBASE WHERE No % 997 = 0 AND CTelefon <> ''", -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        QByteArray digits;
        for (const char c : QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))))
            if (c >= '0' && c <= '9')
                digits += c;
        gNumbers << digits.right(10);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    int rc = 0;
    try {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        const QString file = dir.filePath(QStringLiteral("rehber.mdb"));
        CreateContactsDatabase(file);
        AddSampleContacts(file, kContacts);
        ReadNumbers(file);
        gPrefixes = {QStringLiteral("meh"), QStringLiteral("ayş"), QStringLiteral("zey"), QStringLiteral("ali"), QStringLiteral("fat"),
                     QStringLiteral("kar"), QStringLiteral("yıl"), QStringLiteral("öz"),  QStringLiteral("çel"), QStringLiteral("şah")};
        const std::unique_ptr<QProcess> onFile = Serve(file, &gFilePort);
        // The same sample contacts on the server, fihrist.mdb mapped to it.
        TBenchCluster cluster(kContacts);
        const std::unique_ptr<QProcess> onServer = Serve(QStringLiteral("fihrist.mdb"), &gServerPort);
        for (auto *bench : {benchmark::RegisterBenchmark("BM_RootEntry/file", BM_RootEntry)->Args({gFilePort, 20}),
                            benchmark::RegisterBenchmark("BM_NamePrefix/file", BM_NamePrefix)->Args({gFilePort, 20}),
                            benchmark::RegisterBenchmark("BM_NumberEnd/file", BM_NumberEnd)->Args({gFilePort, 20}),
                            benchmark::RegisterBenchmark("BM_NamePrefix/server", BM_NamePrefix)->Args({gServerPort, 20}),
                            benchmark::RegisterBenchmark("BM_NumberEnd/server", BM_NumberEnd)->Args({gServerPort, 20}),
                            benchmark::RegisterBenchmark("BM_NamePrefix/server/200 clients", BM_NamePrefix)->Args({gServerPort, 200})})
            bench->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
        TRatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        onFile->terminate();
        onServer->terminate();
        onFile->waitForFinished(30000);
        onServer->waitForFinished(30000);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        rc = 1;
    }
    benchmark::Shutdown();
    return rc;
}
