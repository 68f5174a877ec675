#include "contacts/jet/CopyInChild.h"

#include "platform/core/Exception.h"

#include <QList>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A child that reports nothing for this long is taken to be stuck in a
// damaged file. Progress comes every thousand rows.
constexpr auto kStallLimit = std::chrono::seconds(60);
// Once libmdb has printed a warning the copy counts as failed; the child
// gets this long to end with its own error before it is stopped.
constexpr auto kGraceAfterWarning = std::chrono::seconds(2);
// How much of libmdb's printing is kept for the error text.
constexpr qsizetype kOutputKept = 64 * 1024;

QByteArray OneLine(const QString &text)
{
    QString line = text;
    line.replace(u'\n', u' ').replace(u'\t', u' ');
    return line.toUtf8();
}

void WriteAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, std::size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        left -= n;
    }
}

// The child's side: one line per report on fd, "P rows table" for
// progress, then "D version tables read added" or "E message".
[[noreturn]] void RunChild(int fd, const QString &jetPath, const QByteArray &jet3Charset, const QString &sqlitePath)
{
    int code = 0;
    QByteArray last;
    try {
        const TJetCopyCounts c = CopyJetDatabase(jetPath, jet3Charset, sqlitePath, [fd](const QString &table, std::int64_t rows) {
            WriteAll(fd, "P\t" + QByteArray::number(rows) + '\t' + OneLine(table) + '\n');
        });
        last = "D\t" + QByteArray::number(c.Version) + '\t' + QByteArray::number(c.Tables) + '\t' + QByteArray::number(c.RowsRead) + '\t'
            + QByteArray::number(c.RowsAdded) + '\n';
    } catch (const std::exception &e) {
        last = "E\t" + OneLine(ExceptionText(e)) + '\n';
        code = 1;
    }
    WriteAll(fd, last);
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(code);
}

QString FirstLine(const QByteArray &output)
{
    for (const QByteArray &line : output.split('\n')) {
        const QString text = QString::fromLocal8Bit(line.trimmed());
        if (!text.isEmpty())
            return text.left(200);
    }
    return QString();
}

struct TPipe {
    int Fd[2] = {-1, -1};
    TPipe()
    {
        if (::pipe2(Fd, O_CLOEXEC) != 0)
            throw EFileError(QStringLiteral("cannot start reading: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    ~TPipe()
    {
        CloseEnd(0);
        CloseEnd(1);
    }
    void CloseEnd(int end)
    {
        if (Fd[end] >= 0)
            ::close(Fd[end]);
        Fd[end] = -1;
    }
};

} // namespace

TJetCopyCounts CopyJetDatabaseInChild(const QString &jetPath, const QByteArray &jet3Charset, const QString &sqlitePath,
                                      const TJetCopyProgress &progress)
{
    TPipe status;
    TPipe output;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0)
        throw EFileError(QStringLiteral("cannot start reading: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (pid == 0) {
        // Whatever libmdb prints goes to the parent, not to the terminal.
        ::dup2(output.Fd[1], STDOUT_FILENO);
        ::dup2(output.Fd[1], STDERR_FILENO);
        RunChild(status.Fd[1], jetPath, jet3Charset, sqlitePath);
    }
    status.CloseEnd(1);
    output.CloseEnd(1);

    QByteArray reports, printed, last;
    bool stalled = false;
    auto lastReport = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point firstWarning;
    const auto takeReports = [&] {
        qsizetype end;
        while ((end = reports.indexOf('\n')) >= 0) {
            const QByteArray line = reports.left(end);
            reports.remove(0, end + 1);
            lastReport = std::chrono::steady_clock::now();
            if (line.startsWith("P\t")) {
                const QList<QByteArray> parts = line.split('\t');
                if (parts.size() >= 3)
                    progress(QString::fromUtf8(parts[2]), parts[1].toLongLong());
            } else {
                last = line;
            }
        }
    };
    while (status.Fd[0] >= 0 || output.Fd[0] >= 0) {
        pollfd fds[2];
        nfds_t n = 0;
        for (const int fd : {status.Fd[0], output.Fd[0]})
            if (fd >= 0)
                fds[n++] = {fd, POLLIN, 0};
        const int ready = ::poll(fds, n, 200);
        if (ready < 0 && errno != EINTR)
            break;
        for (nfds_t i = 0; ready > 0 && i < n; ++i) {
            if (!fds[i].revents)
                continue;
            char buffer[4096];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            TPipe &pipe = fds[i].fd == status.Fd[0] ? status : output;
            if (got <= 0) {
                pipe.CloseEnd(0);
            } else if (&pipe == &status) {
                reports.append(buffer, got);
                takeReports();
            } else {
                if (printed.isEmpty())
                    firstWarning = std::chrono::steady_clock::now();
                if (printed.size() < kOutputKept)
                    printed.append(buffer, got);
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastReport > kStallLimit) {
            ::kill(pid, SIGKILL);
            stalled = true;
            break;
        }
        if (!printed.isEmpty() && now - firstWarning > kGraceAfterWarning) {
            ::kill(pid, SIGKILL);
            break;
        }
    }
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }

    const QString said = FirstLine(printed);
    const QString detail = said.isEmpty() ? QString() : QStringLiteral(" (the Jet reader says: %1)").arg(said);
    if (last.startsWith("E\t"))
        throw EFileError(QString::fromUtf8(last.mid(2)) + detail);
    const QList<QByteArray> parts = last.split('\t');
    const bool done = !stalled && WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0 && parts.size() == 5 && parts[0] == "D";
    if (done && said.isEmpty()) {
        TJetCopyCounts counts;
        counts.Version = parts[1].toInt();
        counts.Tables = parts[2].toInt();
        counts.RowsRead = parts[3].toLongLong();
        counts.RowsAdded = parts[4].toLongLong();
        return counts;
    }
    if (stalled)
        throw EFileError(QStringLiteral("'%1' is damaged: reading it stopped making progress").arg(jetPath));
    if (WIFSIGNALED(wstatus) && WTERMSIG(wstatus) != SIGKILL)
        throw EFileError(QStringLiteral("'%1' is damaged: reading it failed (%2)%3")
                             .arg(jetPath, QString::fromLocal8Bit(strsignal(WTERMSIG(wstatus))), detail));
    throw EFileError(QStringLiteral("'%1' is damaged: it cannot be read completely%2").arg(jetPath, detail));
}
