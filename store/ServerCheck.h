#pragma once

#include <QString>

// What the data-source dialog's "Bağlantıyı Sına" finds on a server.
enum class TServerAccess {
    TableMissing, // connected, but the directory table is not there
    NoRead,       // the table is there; this user may not read it
    ReadOnly,     // may read it only
    ReadWrite     // may read, add, change and delete contacts
};

// Connects to the server as the program would (conninfo as in Veri.ini,
// plus a password typed for this test only) and looks at the directory
// table and this user's rights on it. A failed connection, or a table in a
// database `create` did not prepare, raises EDatabaseError with the reason.
TServerAccess CheckServer(const QString &conninfo);
