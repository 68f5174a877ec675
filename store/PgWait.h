#pragma once

#include <QString>
#include <chrono>

struct pg_conn;

// Waiting on a PostgreSQL server without blocking the program: libpq is
// driven without blocking (PQconnectPoll, PQconsumeInput) and the socket
// polled in slices of 50 ms. A wait that lasts more than one slice shows as
// a TProgress, whose sink keeps the window painting and may let the user
// stop it.
enum class TPgWaitEnd {
    Ready,     // connected, or a result can be read without blocking
    Broken,    // the connection failed or broke
    Silent,    // the server said nothing for longer than the bound
    Cancelled, // the user asked to stop
};

struct TPgWaitRules {
    QString What; // what the progress says while waiting
    bool Cancellable = true;
    std::chrono::milliseconds Bound{0}; // the longest silence; 0: no bound
};

// Starts a connection (PQconnectStartParams, expand_dbname on) and drives
// it to its end. The bound is the connection's own connect_timeout
// (seconds, as libpq reads it: at least 2; 0 waits without limit), which
// *seconds receives. The connection is returned in any case (nullptr only
// when libpq has no memory); the caller finishes it.
pg_conn *PgConnect(const char *const *keywords, const char *const *values, const QString &what, TPgWaitEnd *end, int *seconds);

// Waits until a result of the statement sent can be read without
// blocking, sending what libpq still holds.
TPgWaitEnd PgAwait(pg_conn *conn, const TPgWaitRules &rules);

// Waits at most `wait` for a result of the statement sent to be readable
// without blocking: Ready, Broken, or Silent when it is not there yet.
// Shows nothing: for waits the program spreads over its event loop.
TPgWaitEnd PgPoll(pg_conn *conn, std::chrono::milliseconds wait);

// Asks the server to cancel the running statement, without waiting for
// its answer (a stopped server never gives one).
void PgCancelInBackground(pg_conn *conn);
// The same, waiting until the server has the request: a statement sent
// after it is not cancelled.
void PgCancelNow(pg_conn *conn);
