#pragma once

#include "store/StatementText.h"

#include <QByteArray>
#include <QStringList>
#include <memory>
#include <vector>

class TBulkInsert;
class TProvider;

// DBASE as the connection's database has it: where rows are written, the
// seven text columns' names there (table order) and their widths in
// characters (0: none).
struct TContactsShape {
    TWriteTarget Target;
    QStringList Columns;
    std::vector<int> Widths;
    QString Key; // the key column ("No"); empty when the table has none of one column
};

// Reads the shape; raises EDatabaseError when a column is missing or the
// table cannot be written.
TContactsShape ReadContactsShape(TProvider &engine);

// Adds contacts to DBASE in one transaction: all of them or none. The
// transaction begins at once (on the file a write lock: another program's
// write is waited for as long as any write waits, then the writer fails,
// saying the database is in use; on the server another long write is
// waited for the same way). Until the first Add the transaction may read
// (the contacts there, under its lock); Commit ends it, and a writer that
// goes without Commit takes everything back.
class TContactWriter {
public:
    TContactWriter(TProvider &engine, const TContactsShape &shape);
    ~TContactWriter();
    TContactWriter(const TContactWriter &) = delete;
    TContactWriter &operator=(const TContactWriter &) = delete;

    // values: one per column of the shape, UTF-8; a null array is written
    // as NULL, an empty one as an empty text.
    void Add(const QByteArray *values);
    // Sends the rows held back, so that other statements may run in the
    // transaction; no Add after it.
    void FinishRows();
    void Commit();

private:
    TProvider &FEngine;
    TContactsShape FShape;
    std::unique_ptr<TBulkInsert> FInsert;
    bool FOpen = false;
};
