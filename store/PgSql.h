#pragma once

#include "store/StatementText.h"

#include <QByteArray>
#include <QString>
#include <QList>
#include <QPair>
#include <QStringList>
#include <cstddef>
#include <vector>

// Every SQL text the PostgreSQL provider and the contacts tool run on a
// server, in one place. Identifiers are quoted; values are always bound as
// parameters ($1, $2 ...), in the order the builders list them.
namespace PgSql {

// Run once per session: dates and times in ISO form, as the fields read them;
// a write waits at most five seconds for another desktop's row lock.
QByteArray SessionSetup();
QByteArray BeginReadOnly();
QByteArray Begin();
// One row, a write's transaction id, asked right after Begin so that a
// commit whose answer was lost can be looked up (TransactionStatus, $1 that
// id: committed, aborted, in progress, or null when too old).
QByteArray TransactionId();
QByteArray TransactionStatus();
// Taken inside a long write's transaction (an import) and held to its end:
// long writes on one server go one at a time, so that each reads the
// contacts the one before it added.
QByteArray LongWriteLock();
QByteArray Commit();
QByteArray Rollback();

// A cursor over a SELECT (its parameters as the statement's), read in its
// transaction: the next count rows of it. The transaction reads only, and
// its cursor is planned for reading every row (as the record set does):
// through an index in the result's order where that is cheaper than a sort
// of the whole, and then the first rows come before the last is read.
QByteArray BeginCursorRead();
QByteArray DeclareCursor(const QByteArray &select);
QByteArray FetchCursor(std::size_t count);

// The server's read slots: a large read takes a slot (an advisory lock held
// to the end of its transaction) before it reads on. There are as many
// slots as three in five of the reads through a cursor at that moment
// (each holds a lock for it from BeginCursorRead on), and at least two: on
// a busy server more than half the desktops read and finish early, rather
// than all sharing the processor and finishing late together.
// PickReadSlot: one row, the slot with the fewest desktops holding or
// waiting for it (ties at random) and who holds it, then who holds the slot
// `waited` (-1: none); a holder is null when nobody holds the slot, else its
// server process and the start of its last statement, which changes as long
// as the holder reads on (when the server shows it). After a TakeReadSlot
// that failed (waited: its slot) it first goes back to the savepoint
// TakeReadSlot set.
QByteArray PickReadSlot(int waited);
QByteArray TakeReadSlot(int slot, int seconds);

// The statement text with each ":name" parameter written "$n"; the same
// name (any case) is the same parameter. names gets the distinct names in
// the order of their numbers.
QByteArray NumberedParameters(const QString &sql, QStringList *names);

// One row per column: schema, table, column number, column name, the name
// as the program spells it, part of the primary key; parameter $1 the table's oid.
QByteArray TableColumns();

QByteArray Insert(const TWriteTarget &target, const QStringList &columns, const QStringList &returning);
// UPDATE ... WHERE every where column holds the value read: "= $n", or
// "IS NULL" where nulls says the value read was null. Parameters: the new
// values, then the values read that are not null.
QByteArray Update(const TWriteTarget &target, const QStringList &set, const QStringList &where, const std::vector<bool> &nulls,
                  const QStringList &returning);
QByteArray Delete(const TWriteTarget &target, const QStringList &where, const std::vector<bool> &nulls);
// What the sync's tables beside DBASE run on a server (see TSyncSql).
TSyncSql SyncTables(const TWriteTarget &contacts, const QStringList &columns, const QString &key);

// The contacts schema on a server, in order, for one transaction: the
// schema "velmora" with the Turkish collation tr_ci and the LIKE operator
// that ignores case and Turkish marks, the database's search_path putting
// velmora before pg_catalog, and the table dbase with its identity key.
// columns: the text columns after the key, each with its width.
QList<QByteArray> CreateContactsSchema(const QList<QPair<QString, int>> &columns);
// The fold LIKE compares by (lower case, Turkish marks and accents taken
// off, as TurkishFold) and the LIKE of the schema, without an escape
// character; both made again by an upgrade.
QByteArray TurkishFoldFunction();
QByteArray TurkishLikeFunction();
// The indexes that serve the list's order and the searches (pg_trgm in the
// schema velmora).
QList<QByteArray> SearchIndexes();
// Brings a database an earlier version made up to date, in one transaction.
QList<QByteArray> UpgradeContactsSchema();
// Rewrites DBASE with its rows in the list's order, after many were added
// at once (the table is the rewrite's alone while it runs).
QList<QByteArray> ListOrderRewrite();
// One row of six Booleans: the schema velmora, its collation tr_ci, its
// LIKE operator, the table dbase, its identity key no, the Turkish order on
// every text column.
QByteArray ContactsSchemaCheck();

// COPY of the columns into the table FROM STDIN, in text format.
QByteArray CopyIn(const TWriteTarget &target, const QStringList &columns);

// The table of received calls, when it is missing; part of the schema too.
QByteArray CreateCallLog();
// One row, one column: 'w' when this user may add to the table of received
// calls, 'r' when it may only read it, 'm' when it may not read it either, 'c' when it is missing and this user
// may create it, 'm' when it is missing and this user may not.
QByteArray CallLogAccess();
// One row, one column: true when the table of received calls was made
// before its outcome column (durum) and this user owns it, so may add it.
QByteArray CallLogOutcomeMissing();
QByteArray AddCallLogOutcome();
// After rows were copied with their keys: the identity goes on after them.
QByteArray ResetContactsIdentity();

// The directory's number search on a server (see NumberEndSql): the
// column's digits read backwards start with the pattern, the digits
// backwards, which an index of SearchIndexes serves.
QByteArray NumberEnd(const QByteArray &column, const QByteArray &parameter);
QByteArray NumberEndPattern(QByteArrayView digits);

} // namespace PgSql
