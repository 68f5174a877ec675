#pragma once

#include <QString>

// libpq's password file, ~/.pgpass (or $PGPASSFILE): one line per server,
// "host:port:database:user:password", ':' and '\' escaped with '\'.
QString PgPassPath();

// The fields that pick one line of the file; empty ones take libpq's
// defaults (host "localhost", port 5432, user the login name, database the
// user).
struct TPgPassKey {
    QString Host, Port, Database, User;
    TPgPassKey Resolved() const;
};

// Puts the password for key into the file at path: a line for the same
// host, port, database and user is replaced, every other line is kept as
// it was. The file is written whole beside the old one and then replaces
// it, readable and writable by the owner only (libpq ignores a file that
// others may read). Raises EFileError when it cannot be written.
void StorePgPassword(const QString &path, const TPgPassKey &key, const QString &password);

// One field as the file wants it.
QString EscapePgPassField(const QString &text);
