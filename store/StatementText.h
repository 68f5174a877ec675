#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>

// Every SQL text the store runs on its own, in one place. Identifiers are
// quoted; values are always bound as parameters ("?"), in the order the
// builders list them.

QByteArray QuoteIdentifier(const QString &name);

// The table a record set writes to.
struct TWriteTarget {
    QString Schema; // "main" for the file itself
    QString Table;
};

// INSERT of the given columns (DEFAULT VALUES when there are none);
// parameters: one per column. Returns the row as stored: the columns of
// `returning`.
QByteArray InsertSql(const TWriteTarget &target, const QStringList &columns, const QStringList &returning);
// INSERT of rows rows of the given columns at once; parameters: one per
// column of each row in turn.
QByteArray InsertRowsSql(const TWriteTarget &target, const QStringList &columns, int rows);

// UPDATE of `setColumns` where every column of `whereColumns` still holds
// the value read (NULL-safe, byte for byte). Parameters: the new values,
// then the values read. Returns `returning` of each changed row.
QByteArray UpdateSql(const TWriteTarget &target, const QStringList &setColumns, const QStringList &whereColumns,
                     const QStringList &returning);

// DELETE where every column of `whereColumns` holds the value read.
QByteArray DeleteSql(const TWriteTarget &target, const QStringList &whereColumns);

// What the sync's tables beside DBASE (SyncTables.cpp) run that the engines
// write differently; each provider fills it from its one place for SQL.
// Parameters are bound in order. An empty text is one the engine does
// without.
struct TSyncSql {
    QByteArray Integer;  // the type of a contact's key
    QByteArray Identity; // a key the engine numbers itself
    QByteArray Unlink;   // made after the tables: unlinks a deleted contact
    // The one-sync-at-a-time lock of the session: one row, true when taken;
    // and giving it back.
    QByteArray TryLock;
    QByteArray Unlock;
    // The page cache: one row, its size; the small one of a sync's pass; and
    // setting a size again.
    QByteArray CacheSize;
    QByteArray NarrowCache;
    QByteArray (*SetCacheSize)(qint64 pages) = nullptr;
    // One contact by its key: the columns (returns the key); the columns
    // then the key; the key.
    QByteArray InsertContact;
    QByteArray UpdateContact;
    QByteArray DeleteContact;
};
// The file's: contacts is DBASE, columns its text columns, key its key.
TSyncSql SyncTablesSql(const TWriteTarget &contacts, const QStringList &columns, const QString &key);

// A statement "HEAD ORDER BY COLUMN" (one column by its name, ascending,
// nothing after it, no compound SELECT, no WHERE): HEAD reads the same rows
// in no particular order. False for any other statement; a search among
// them, whose few rows the engine sorts faster than a second pass over the
// table would find them again.
bool SplitOrderBy(const QString &sql, QString *head, QString *column);
// The first n rows of a statement that ends in its ORDER BY.
QByteArray FirstRowsSql(const QString &sql, std::size_t n);

// Reading the schema: any query over sqlite_master fails on a file that is
// not a database.
QByteArray SchemaProbeSql();
// One row when any index of the file orders a key by NOCASE.
QByteArray NoCaseIndexSql();
// name, declared type, position in the primary key (0 when none) of the
// columns of table ?1 in schema ?2.
QByteArray TableColumnsSql();
// The CREATE TABLE text of table ?1.
QByteArray TableDefinitionSql(const QString &schema);

// The table of received calls, when it is missing.
QByteArray CreateCallLogSql();
// One row when the file holds that table.
QByteArray CallLogExistsSql();
// One row when that table has its outcome column (Durum), which tables
// made before it was added lack; and adding it.
QByteArray CallLogHasOutcomeSql();
QByteArray AddCallLogOutcomeSql();
// The connection's page cache: its size, and setting it (pages).
QByteArray CacheSizeSql();
QByteArray SetCacheSizeSql(qint64 pages);
// A transaction that reads (the lock taken by its first read).
QByteArray BeginReadSql();
// A transaction that takes the write lock at once, and its two ends.
QByteArray BeginWriteSql();
QByteArray CommitSql();
QByteArray RollbackSql();

// A save point around a write that must touch at most one row.
QByteArray SavepointSql();
QByteArray RollbackToSavepointSql();
QByteArray ReleaseSavepointSql();

// The directory's number search: a condition on column that holds when its
// digits end in the digits of the pattern bound to parameter, and may hold
// for others too; and that pattern. On the file it is GLOB, which the
// program's connection leaves as SQLite has it (its LIKE folds letters,
// which digits do not need): the digits in order, anything between them.
QByteArray NumberEndSql(const QByteArray &column, const QByteArray &parameter);
QByteArray NumberEndPattern(QByteArrayView digits);
