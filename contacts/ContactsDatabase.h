#pragma once

#include <QString>
#include <memory>
#include <vector>

class TADOConnection;
struct sqlite3;

// The contacts table DBASE: the key "No" (INTEGER PRIMARY KEY), then the
// seven text columns. Text columns sort with NOCASE (the program's
// connection makes that the Turkish order) and their widths are checked by
// the engine, so an over-long value is refused. No index depends on NOCASE.

struct TContactColumn {
    const char *Name;
    const char *Type; // declared type
    int Width;        // longest text accepted, in characters
};

// The seven text columns in table order.
const TContactColumn *ContactColumns(int *count);

// The CREATE TABLE statement of DBASE.
QByteArray ContactsTableSql();

// Creates a new database file holding an empty DBASE. Refuses (EFileError)
// when the file exists already; nothing is overwritten.
void CreateContactsDatabase(const QString &path);

// Opens the program's connection on the database file at path (so that
// NOCASE is the Turkish order, as in the window).
void OpenContactsDatabase(TADOConnection &connection, const QString &path);

// All contacts in the program's order: the window's own statement.
QByteArray ContactsInOrderSql();
// rowid and the seven text columns (see ContactColumns) of every contact.
QByteArray ContactKeysSql();

// The widths (in characters, 0 for none) of the seven text columns of the
// file's DBASE, from its declared types and checks; raises EDatabaseError
// when a column is missing.
std::vector<int> ContactColumnWidths(sqlite3 *db);

// Adds n sample contacts to the database at path in one transaction.
void AddSampleContacts(const QString &path, int n);

// An existing database file, opened for reading and writing; closed when
// it goes. Raises EDatabaseError with the engine's message.
struct TDatabaseFileCloser {
    void operator()(sqlite3 *db) const;
};
using TDatabaseFile = std::unique_ptr<sqlite3, TDatabaseFileCloser>;
TDatabaseFile OpenDatabaseFile(const QString &path);
