#pragma once

#include "platform/core/Exception.h"
#include "store/CellValue.h"
#include "store/ResultColumns.h"
#include "store/StatementText.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

class TRowArena;

// A value bound to a statement parameter; unset binds null.
using TParameterValue = std::optional<QString>;

// One row to change or delete: the columns that must still hold what was
// read (Where, with the values read in Original) and, for an update, the
// columns to set with their new values.
struct TRowWrite {
    TWriteTarget Target;
    QStringList Set;
    std::vector<TCellValue> Values;
    QStringList Where;
    std::vector<TCellValue> Original;
    bool ByKey = false; // Where is the table's key
    // The columns an update returns as stored; none: the set columns.
    QStringList Returning = {};
};

// Rows added to one table in bulk, inside a write transaction: on the file
// one prepared INSERT run again for each row, on the server a COPY. Rows
// may be held back until Finish; a failure raises EDatabaseError (at Add or
// at Finish) and the transaction must then be rolled back.
class TBulkInsert {
public:
    virtual ~TBulkInsert() = default;
    // values: one per column, UTF-8 text; a null array is NULL, an empty one
    // an empty text.
    virtual void Add(const QByteArray *values) = 0;
    virtual void Finish() = 0;
};

// The rows of a result that Open has not read yet, in the result's order.
// The record set reads them in slices from the event loop, and at once when
// it needs them; dropping the stream abandons the rest. Until it is dropped
// or complete, the provider runs no other statement: the connection reads
// the rest of every stream first (TADOConnection::Engine).
class TRowStream {
public:
    virtual ~TRowStream() = default;
    // Adds about `count` more rows to the rows Open was given; true once
    // the result is complete (then nothing more comes). Raises
    // EDatabaseError like the statement would.
    virtual bool Read(std::size_t count) = 0;
    // False while the stream waits to be let in before it reads on (a large
    // read on a busy server waits for its turn); waits at most `wait` for
    // it. Raises like Read.
    virtual bool Admitted(std::chrono::milliseconds wait)
    {
        (void)wait;
        return true;
    }
};

// The error a write raises when another program or desktop held the
// database for longer than the write waits.
EDatabaseError DatabaseInUseError();
// What a user may do with the table of received calls.
enum class TCallLogAccess : int { Missing, ReadOnly, Writable };

// What a database engine does for the record set. The connection chooses
// the provider; the record set keeps the snapshot, the states and every
// rule about what is written. Each provider keeps its SQL in one place.
class TProvider {
public:
    virtual ~TProvider() = default;

    // True once the engine knows its connection is gone; the connection
    // then connects again on its next Open.
    virtual bool Lost() const { return false; }

    // Runs a statement that returns rows. parameterNames and values are the
    // record set's parameters by position; the rows go into rows, streamed,
    // and columns and table describe them.
    virtual void Select(const QString &sql, const QStringList &parameterNames, const std::vector<TParameterValue> &values, TRowArena &rows,
                        std::vector<TResultColumn> &columns, TResultTable &table) = 0;

    // Select that may return once the first `first` rows of the result are
    // in rows, in the result's order (and at least one, unless the result is
    // empty): the returned stream reads the rest into the same rows, which
    // must outlive it. nullptr when rows hold the whole result. The columns
    // and the table are described in full either way.
    virtual std::unique_ptr<TRowStream> SelectFirst(const QString &sql, const QStringList &parameterNames,
                                                    const std::vector<TParameterValue> &values, TRowArena &rows,
                                                    std::vector<TResultColumn> &columns, TResultTable &table, std::size_t first)
    {
        (void)first;
        Select(sql, parameterNames, values, rows, columns, table);
        return nullptr;
    }

    // Inserts one row with the given columns; returns the row as stored
    // (the columns of returning: its new key and the defaults).
    virtual std::vector<TCellValue> Insert(const TWriteTarget &target, const QStringList &columns, const std::vector<TCellValue> &values,
                                           const QStringList &returning) = 0;

    // Changes the row found by write.Where. Returns how many rows matched;
    // when more than one did, nothing is changed. stored gets the set
    // columns as written (write.Returning, when named).
    virtual int Update(const TRowWrite &write, std::vector<TCellValue> *stored) = 0;

    // Deletes the row found by write.Where. Returns how many rows matched;
    // when more than one did, nothing is deleted.
    virtual int Delete(const TRowWrite &write) = 0;

    // A transaction for a long write (an import): Begin takes the write lock
    // where the engine has one, waiting as long as any write does (a
    // database held longer raises DatabaseInUseError()); on the server it also
    // waits for another long write to end. Between Begin and Commit only
    // Insert, BulkInsert and Select (reading in the transaction, under its
    // lock) may be used. Rollback never raises and does nothing when no
    // transaction is open.
    virtual void BeginWrite() = 0;
    virtual void CommitWrite() = 0;
    virtual void RollbackWrite() noexcept = 0;
    virtual std::unique_ptr<TBulkInsert> BulkInsert(const TWriteTarget &target, const QStringList &columns) = 0;
    // Makes sure the table of received calls, GELENARAMA (No, Zaman,
    // Numara, Ad, Durum), exists, creating it when this user may, and adds
    // Durum to a table made before it where this user may; says what this
    // user may do with it. A user who may only read changes nothing.
    virtual TCallLogAccess PrepareCallLog() = 0;

    // Runs one statement of the store's own tables beside DBASE (the sync
    // state, SyncTables.cpp), inside the write transaction when one is open:
    // parameters "$1", "$2" ... bound to values by number; rows, when given,
    // get what it returns. Returns the number of rows it touched.
    virtual int RunStatement(const QByteArray &sql, const std::vector<TCellValue> &values, TRowArena *rows) = 0;
    // What those tables run that this engine writes its own way; contacts
    // is DBASE, columns its text columns, key its key.
    virtual TSyncSql SyncSql(const TWriteTarget &contacts, const QStringList &columns, const QString &key) const = 0;
    // True on the office's server, false on a file.
    virtual bool OnServer() const = 0;
};
