#pragma once

// What PgProvider.cpp (connecting, reading, the contacts tool's statements)
// and PgWrites.cpp (the record set's writes) share.
#include "store/PgProvider.h"

#include <libpq-fe.h>
#include <memory>
#include <vector>

struct TPgResultFree {
    void operator()(PGresult *r) const { PQclear(r); }
};
using TPgResult = std::unique_ptr<PGresult, TPgResultFree>;

struct TPgProvider::TResult {
    TPgResult R;
};

// A write whose COMMIT was sent and whose answer never came.
struct TPgProvider::TUnresolved {
    QByteArray Transaction; // its id, as the server wrote it
    QByteArray Write;       // the statement and its values
    TResult Result;         // what it returned before COMMIT
};

// The row of a result as cells.
std::vector<TCellValue> PgRowOf(const PGresult *r, int row);
// The rows of a result added to a snapshot; bytea is decoded through scratch.
void PgAddRows(const PGresult *r, TRowArena &rows, QByteArray &scratch);
