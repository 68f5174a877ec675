#pragma once

#include <QString>
#include <memory>

struct sqlite3;

// An existing SQLite file opened on its own (not the program's connection),
// for reading and writing; closed when it goes. Raises EDatabaseError with
// the engine's message.
struct TDatabaseFileCloser {
    void operator()(sqlite3 *db) const;
};
using TDatabaseFile = std::unique_ptr<sqlite3, TDatabaseFileCloser>;
TDatabaseFile OpenDatabaseFile(const QString &path);
