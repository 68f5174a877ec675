#pragma once

#include <QString>

// The contacts on a PostgreSQL server (a libpq connection string or
// postgresql:// URI). Each runs in one transaction: all or nothing.

// True when the argument names a server rather than a file.
bool IsServerName(const QString &name);

// Makes the schema: the collation, the LIKE support, the table DBASE and
// the indexes of the searches.
void CreateContactsServer(const QString &server);

// Brings a database an earlier version made up to date: the LIKE without
// an escape character, the indexes that serve the searches; then puts the
// table's rows in the list's order. Refuses a database `create` did not
// make. Running it again changes nothing but where the rows lie.
void UpgradeContactsServer(const QString &server);

// Copies every contact of the SQLite file to the server's DBASE, keys
// included, and puts the table's rows in the list's order; the server's
// key goes on after the largest copied. Refuses a database `create` did
// not make.
void CopyContactsToServer(const QString &file, const QString &server);

// Adds n sample contacts to the server's DBASE (the same ones as a file
// gets), then puts the table's rows in the list's order.
void AddSampleContactsToServer(const QString &server, int n);
