#include "store/PgWait.h"

#include "platform/core/Progress.h"

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <libpq-fe.h>
#include <optional>
#include <poll.h>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;
constexpr int kSliceMs = 50;

// One slice of waiting on the socket; 1 when it is ready, 0 when the slice
// passed, -1 when the socket failed.
int PollSlice(int socket, short events, int ms = kSliceMs)
{
    if (socket < 0)
        return -1;
    pollfd p{socket, events, 0};
    const int n = poll(&p, 1, ms);
    if (n < 0)
        return errno == EINTR ? 0 : -1;
    return n > 0 ? 1 : 0;
}

int ConnectTimeout(PGconn *conn)
{
    int seconds = 0;
    if (PQconninfoOption *options = PQconninfo(conn)) {
        for (PQconninfoOption *o = options; o->keyword; ++o)
            if (std::strcmp(o->keyword, "connect_timeout") == 0 && o->val)
                seconds = std::atoi(o->val);
        PQconninfoFree(options);
    }
    return seconds > 0 && seconds < 2 ? 2 : seconds;
}

// The progress of one wait, made once the wait outlasts its first slice.
class TWaitProgress {
public:
    TWaitProgress(const QString &what, bool cancellable) : FWhat(what), FCancellable(cancellable) {}
    bool Step()
    {
        if (!FProgress)
            FProgress.emplace(FWhat, 0, FCancellable);
        // No count: the seconds waited, with their unit.
        const auto waited = std::chrono::duration_cast<std::chrono::seconds>(TClock::now() - FStart).count();
        return FProgress->Step(0, QStringLiteral("%1 sn").arg(waited));
    }

private:
    QString FWhat;
    bool FCancellable;
    TClock::time_point FStart = TClock::now();
    std::optional<TProgress> FProgress;
};

// One look at a statement sent: sends what libpq still holds, then waits
// at most ms for the server. Ready, Broken, Silent when nothing came, or
// nothing when the server sent more and the result is not complete yet.
std::optional<TPgWaitEnd> Look(PGconn *conn, int ms)
{
    const int unsent = PQflush(conn);
    if (unsent < 0)
        return TPgWaitEnd::Broken;
    if (unsent == 0 && !PQisBusy(conn))
        return TPgWaitEnd::Ready;
    const int ready = PollSlice(PQsocket(conn), short(POLLIN | (unsent ? POLLOUT : 0)), ms);
    if (ready < 0)
        return TPgWaitEnd::Broken;
    if (ready == 0)
        return TPgWaitEnd::Silent;
    if (!PQconsumeInput(conn))
        return TPgWaitEnd::Broken;
    return std::nullopt;
}

void Cancel(PGcancel *cancel)
{
    char error[256];
    PQcancel(cancel, error, int(sizeof error));
    PQfreeCancel(cancel);
}

} // namespace

PGconn *PgConnect(const char *const *keywords, const char *const *values, const QString &what, TPgWaitEnd *end, int *seconds)
{
    PGconn *conn = PQconnectStartParams(keywords, values, 1);
    *seconds = 0;
    *end = TPgWaitEnd::Broken;
    if (!conn || PQstatus(conn) == CONNECTION_BAD)
        return conn;
    *seconds = ConnectTimeout(conn);
    const auto deadline = TClock::now() + std::chrono::seconds(*seconds);
    TWaitProgress progress(what, true);
    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    for (;;) {
        if (status == PGRES_POLLING_OK) {
            *end = TPgWaitEnd::Ready;
            return conn;
        }
        if (status == PGRES_POLLING_FAILED)
            return conn;
        const int ready = PollSlice(PQsocket(conn), status == PGRES_POLLING_READING ? POLLIN : POLLOUT);
        if (ready != 0) {
            // Ready or failed: libpq finds out which.
            status = PQconnectPoll(conn);
            continue;
        }
        if (*seconds > 0 && TClock::now() >= deadline) {
            *end = TPgWaitEnd::Silent;
            return conn;
        }
        if (!progress.Step()) {
            *end = TPgWaitEnd::Cancelled;
            return conn;
        }
    }
}

TPgWaitEnd PgAwait(PGconn *conn, const TPgWaitRules &rules)
{
    TWaitProgress progress(rules.What, rules.Cancellable);
    auto lastHeard = TClock::now();
    for (;;) {
        const std::optional<TPgWaitEnd> end = Look(conn, kSliceMs);
        if (!end) {
            lastHeard = TClock::now();
            continue;
        }
        if (*end != TPgWaitEnd::Silent)
            return *end;
        if (rules.Bound.count() > 0 && TClock::now() - lastHeard >= rules.Bound)
            return TPgWaitEnd::Silent;
        if (!progress.Step())
            return TPgWaitEnd::Cancelled;
    }
}

TPgWaitEnd PgPoll(PGconn *conn, std::chrono::milliseconds wait)
{
    const auto end = TClock::now() + wait;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - TClock::now()).count();
        if (const std::optional<TPgWaitEnd> look = Look(conn, int(std::max<long long>(left, 0))))
            return *look;
    }
}

void PgCancelInBackground(PGconn *conn)
{
    PGcancel *cancel = PQgetCancel(conn);
    if (!cancel)
        return;
    std::thread([cancel] { Cancel(cancel); }).detach();
}

void PgCancelNow(PGconn *conn)
{
    if (PGcancel *cancel = PQgetCancel(conn))
        Cancel(cancel);
}
