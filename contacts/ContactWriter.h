#pragma once

#include <QByteArray>
#include <memory>

struct sqlite3;
class TStatement;

// Adds contacts to DBASE in one transaction: all of them or none. The
// transaction begins at once (a write lock: another program's write is
// waited for as long as the connection's busy timeout, then the writer
// fails, saying the file is in use); Commit ends it, and a writer that goes
// without Commit takes everything back.
class TContactWriter {
public:
    explicit TContactWriter(sqlite3 *db);
    ~TContactWriter();
    TContactWriter(const TContactWriter &) = delete;
    TContactWriter &operator=(const TContactWriter &) = delete;

    // values: the seven text columns in table order, UTF-8; a null array
    // is written as NULL, an empty one as an empty text.
    void Add(const QByteArray *values);
    void Commit();

private:
    sqlite3 *FDb;
    std::unique_ptr<TStatement> FInsert;
    bool FOpen = false;
};
