#pragma once

#include "platform/core/Exception.h"

struct pg_conn;
struct pg_result;

// The errors the PostgreSQL provider raises when the server fails it: in
// English a sentence the user can act on, then the server's own text for
// the administrator; the kind and the server's words for a window to word
// in its own language. No text ever repeats a password.
namespace PgErrors {

// A connection string libpq refused (PQconninfoParse's message, which is
// never shown as such: it may quote a password).
EDatabaseError BadConnectionString(const char *parseMessage);
// A connection attempt that failed (conn after PQconnectPoll failed).
EDatabaseError ConnectFailed(pg_conn *conn);
EDatabaseError ConnectSilent(int seconds);
// A statement the server refused; result may be null (libpq's own error).
EDatabaseError StatementFailed(pg_conn *conn, const pg_result *result);
EDatabaseError StatementSilent(int seconds);
EDatabaseError Lost();
// A database create did not prepare; missing lists what it lacks.
EDatabaseError Unprepared(const QString &missing);

} // namespace PgErrors
