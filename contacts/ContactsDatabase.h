#pragma once

#include "store/ContactsTable.h"

#include <QString>

class TADOConnection;
class TProvider;

// Creates a new contacts database: a file holding an empty DBASE (refused,
// EFileError, when the file exists; nothing is overwritten), or on a server
// (a libpq connection string or postgresql:// URI) the schema and DBASE.
void CreateContactsDatabase(const QString &fileOrServer);

// Opens the program's connection on the database named as the window names
// fihrist.mdb: the file at path, or the server Veri.ini maps that name to.
void OpenContactsDatabase(TADOConnection &connection, const QString &path);

// Adds n sample contacts to DBASE in one transaction (the same ones on the
// file and on a server).
void AddSampleContacts(TProvider &engine, int n);
void AddSampleContacts(const QString &fileOrServer, int n);
