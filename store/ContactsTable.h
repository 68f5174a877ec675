#pragma once

#include <QByteArray>
#include <QString>

// The contacts table DBASE, on the file and on the server: the key "No",
// then seven text columns. On the file the text columns sort with NOCASE
// (the program's connection makes that the Turkish order) and their widths
// are checked by the engine, so an over-long value is refused; no index
// depends on NOCASE. The server's schema (PgSql.cpp) takes the same names
// and widths.

struct TContactColumn {
    const char *Name;
    const char *Type; // declared type on the file
    int Width;        // longest text accepted, in characters
};

// The seven text columns in table order.
constexpr int kContactColumnCount = 7;
const TContactColumn *ContactColumns(int *count);

// The CREATE TABLE statement of DBASE in a file.
QByteArray ContactsTableSql();

// Creates a new database file holding an empty DBASE. Refuses (EFileError)
// when the file exists already; nothing is overwritten.
void CreateContactsFile(const QString &path);

// The window's list: every contact in the program's order (by first name).
extern const char *const AllRecordsStatement;
// No rows, only the table's columns (their names and widths).
QByteArray ContactsShapeSql();
// No and the seven text columns of every contact.
QByteArray ContactKeysSql();
