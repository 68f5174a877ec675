#pragma once

#include <QString>

struct pg_conn;
struct pg_result;

// What the PostgreSQL provider tells the user when the server fails it: a
// sentence the user can act on, then the server's own text for the
// administrator. No text ever repeats a password.
namespace PgErrors {

// A connection string libpq refused (PQconninfoParse's message, which is
// never shown as such: it may quote a password).
QString BadConnectionString(const char *parseMessage);
// A connection attempt that failed (conn after PQconnectPoll failed).
QString ConnectFailed(pg_conn *conn);
QString ConnectSilent(int seconds);
// A statement the server refused; result may be null (libpq's own error).
QString StatementFailed(pg_conn *conn, const pg_result *result);
QString StatementSilent(int seconds);
QString Lost();

} // namespace PgErrors
