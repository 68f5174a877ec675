#include "ldap/BackSock.h"

#include "ldap/DirectorySearch.h"
#include "platform/core/Exception.h"
#include "store/ADOConnection.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <cstring>
#include <exception>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// How long a connection may keep the answerer waiting, in milliseconds.
constexpr int kPatience = 5000;

QByteArray ResultText(int code, const QByteArray &matched, const QByteArray &info)
{
    QByteArray text = "RESULT\ncode: " + QByteArray::number(code) + '\n';
    if (!matched.isEmpty())
        text += "matched: " + matched + '\n';
    if (!info.isEmpty())
        text += "info: " + info + '\n';
    return text;
}

QByteArray OneLine(const std::exception &e)
{
    return ExceptionText(e).toUtf8().replace('\n', ' ');
}

QByteArray FilterErrorInfo(TFilterError error)
{
    switch (error) {
    case TFilterError::TooDeep: return "filter nested too deeply";
    case TFilterError::TooLarge: return "filter holds too many items";
    default: return "filter cannot be read";
    }
}

void AnswerSearch(TADOConnection &connection, const QByteArray &base, const QHash<QByteArray, QByteArray> &fields,
                  const std::function<bool(const QByteArray &)> &write)
{
    TDirectorySearch search;
    search.Base = fields.value("base");
    search.Scope = fields.value("scope", "2").toInt();
    bool ok = false;
    search.SizeLimit = fields.value("sizelimit").toLongLong(&ok);
    if (!ok)
        search.SizeLimit = -1;
    search.TimeLimit = fields.value("timelimit").toLongLong();
    search.Attributes = AttributeSelection(fields.value("attrs", "all"));
    const TFilterError error = ReadLdapFilter(fields.value("filter"), &search.Filter);
    if (error != TFilterError::None) {
        write(ResultText(error == TFilterError::Syntax ? lrProtocolError : lrAdminLimitExceeded, QByteArray(), FilterErrorInfo(error)));
        return;
    }
    TSearchOutcome outcome;
    try {
        outcome = SearchDirectory(connection, base, search, write);
    } catch (const std::exception &e) {
        outcome.Code = lrOther;
        outcome.Info = "the contacts cannot be read: " + OneLine(e);
    }
    write(ResultText(outcome.Code, outcome.Matched, outcome.Info));
}

// A simple bind (method 128) as the service's bind DN with its password.
bool BindAccepted(const TDirectoryService &service, const QHash<QByteArray, QByteArray> &fields)
{
    if (service.BindDn.isEmpty() || fields.value("method") != "128" || NormalDn(fields.value("dn")) != service.BindDn)
        return false;
    const QByteArray given = fields.value("cred");
    if (given.size() != service.Password.size())
        return false;
    int differ = 0; // the same time whichever byte differs
    for (qsizetype i = 0; i < given.size(); ++i)
        differ |= given[i] ^ service.Password[i];
    return differ == 0;
}

bool WriteAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, kPatience) <= 0)
            return false;
        const ssize_t n = ::send(fd, bytes.constData() + done, std::size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Reads a request up to its blank line; false when the peer goes quiet,
// goes away or sends too much.
bool ReadRequest(int fd, QByteArray *request)
{
    char buffer[16384];
    while (!request->contains("\n\n")) {
        if (request->size() > kBackSockMaxRequest)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kPatience) <= 0)
            return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return !request->isEmpty() && request->endsWith('\n');
        request->append(buffer, n);
    }
    return true;
}

void Answer(int fd, TADOConnection &connection, const TDirectoryService &service)
{
    QByteArray request;
    const bool complete = ReadRequest(fd, &request);
    if (!complete) {
        if (request.size() > kBackSockMaxRequest)
            WriteAll(fd, ResultText(lrAdminLimitExceeded, QByteArray(), "request too large"));
        return;
    }
    AnswerBackSock(connection, service, request, [fd](const QByteArray &part) { return WriteAll(fd, part); });
}

// The threads that answer, each on a connection of its own, and the
// connections waiting for one of them.
class TAnswerPool {
public:
    TAnswerPool(const TConnectionOpener &open, const TDirectoryService &service) : FOpen(open), FService(service)
    {
        for (int i = 0; i < kBackSockThreads; ++i)
            FThreads.emplace_back([this] { Work(); });
    }
    ~TAnswerPool() { Finish(); }
    TAnswerPool(const TAnswerPool &) = delete;
    TAnswerPool &operator=(const TAnswerPool &) = delete;

    // More waiting than slapd has threads to send them means something is
    // wrong: the newest are closed unanswered (slapd reports an error).
    void Add(int fd)
    {
        std::lock_guard lock(FMutex);
        if (FWaiting.size() >= kMostWaiting) {
            ::close(fd);
            return;
        }
        FWaiting.push_back(fd);
        FWake.notify_one();
    }

    void Finish()
    {
        {
            std::lock_guard lock(FMutex);
            FEnding = true;
            FWake.notify_all();
        }
        for (std::thread &t : FThreads)
            if (t.joinable())
                t.join();
        for (const int fd : FWaiting)
            ::close(fd);
        FWaiting.clear();
    }

private:
    static constexpr std::size_t kMostWaiting = 4096;
    TConnectionOpener FOpen;
    TDirectoryService FService;
    std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<int> FWaiting;
    bool FEnding = false;
    std::vector<std::thread> FThreads;

    // A connection of the thread's own; nullptr and the error's text when
    // it cannot be opened.
    std::unique_ptr<TADOConnection> Open(QByteArray *error)
    {
        try {
            auto connection = std::make_unique<TADOConnection>();
            FOpen(*connection);
            return connection;
        } catch (const std::exception &e) {
            *error = "the contacts cannot be opened: " + OneLine(e);
            return nullptr;
        }
    }

    void Work()
    {
        // Opened before the first request, which then waits for nothing.
        QByteArray error;
        std::unique_ptr<TADOConnection> connection = Open(&error);
        for (;;) {
            int fd = -1;
            {
                std::unique_lock lock(FMutex);
                FWake.wait(lock, [this] { return FEnding || !FWaiting.empty(); });
                if (FEnding)
                    return;
                fd = FWaiting.front();
                FWaiting.pop_front();
            }
            if (!connection)
                connection = Open(&error);
            if (!connection) {
                WriteAll(fd, ResultText(lrUnavailable, QByteArray(), error));
                ::close(fd);
                continue;
            }
            Answer(fd, *connection, FService);
            ::close(fd);
        }
    }
};

} // namespace

void AnswerBackSock(TADOConnection &connection, const TDirectoryService &service, const QByteArray &request,
                    const std::function<bool(const QByteArray &)> &write)
{
    const QList<QByteArray> lines = request.left(request.indexOf("\n\n")).split('\n');
    const QByteArray command = lines.value(0).trimmed();
    QHash<QByteArray, QByteArray> fields;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            fields.insert(lines[i].left(colon).toLower(), lines[i].mid(colon + 1).trimmed());
    }
    if (command == "SEARCH")
        AnswerSearch(connection, service.Base, fields, write);
    else if (command == "BIND")
        write(ResultText(BindAccepted(service, fields) ? lrSuccess : lrInvalidCredentials, QByteArray(), QByteArray()));
    else if (command != "UNBIND")
        write(ResultText(lrUnwillingToPerform, QByteArray(), "the directory is read-only"));
}

void ServeBackSock(const QString &path, const TConnectionOpener &open, const TDirectoryService &service, int stopFd,
                   const std::function<void()> &listening, const std::function<bool()> &idle)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= qsizetype(sizeof address.sun_path))
        throw EFileError(QStringLiteral("%1: the socket's path is too long").arg(path));
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        throw EFileError(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    ::unlink(name.constData());
    const mode_t mask = ::umask(0177);
    const bool bound = ::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::listen(listener, 256) != 0) {
        const int err = errno;
        ::close(listener);
        throw EFileError(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
    }
    TAnswerPool pool(open, service);
    try {
        if (listening)
            listening();
    } catch (...) {
        pool.Finish();
        ::close(listener);
        ::unlink(name.constData());
        throw;
    }
    for (;;) {
        pollfd p[2] = {{listener, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(p, 2, 1000);
        if (ready < 0 && errno != EINTR)
            break;
        if (p[1].revents)
            break;
        if (ready <= 0 || !(p[0].revents & POLLIN)) {
            if (idle && !idle())
                break;
            continue;
        }
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            pool.Add(fd);
    }
    pool.Finish();
    ::close(listener);
    ::unlink(name.constData());
}
