#pragma once

#include <QString>
#include <memory>

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

// Adds n sample contacts to the database at path in one transaction.
void AddSampleContacts(const QString &path, int n);

// An existing database file, opened for reading and writing; closed when
// it goes. Raises EDatabaseError with the engine's message.
struct TDatabaseFileCloser {
    void operator()(sqlite3 *db) const;
};
using TDatabaseFile = std::unique_ptr<sqlite3, TDatabaseFileCloser>;
TDatabaseFile OpenDatabaseFile(const QString &path);
