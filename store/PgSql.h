#pragma once

#include "store/StatementText.h"

#include <QByteArray>
#include <QString>
#include <QList>
#include <QPair>
#include <QStringList>

// Every SQL text the PostgreSQL provider and the contacts tool run on a
// server, in one place. Identifiers are quoted; values are always bound as
// parameters ($1, $2 ...), in the order the builders list them.
namespace PgSql {

// Run once per session: dates and times in ISO form, as the fields read them;
// a write waits at most five seconds for another desktop's row lock.
QByteArray SessionSetup();
QByteArray BeginReadOnly();
QByteArray Begin();
QByteArray Commit();
QByteArray Rollback();

// The statement text with each ":name" parameter written "$n"; the same
// name (any case) is the same parameter. names gets the distinct names in
// the order of their numbers.
QByteArray NumberedParameters(const QString &sql, QStringList *names);

// One row per column: schema, table, column number, column name, the name
// as the program spells it, part of the primary key; parameter $1 the table's oid.
QByteArray TableColumns();

QByteArray Insert(const TWriteTarget &target, const QStringList &columns, const QStringList &returning);
// UPDATE ... WHERE every where column IS NOT DISTINCT FROM the value read.
// Parameters: the new values, then the values read.
QByteArray Update(const TWriteTarget &target, const QStringList &set, const QStringList &where,
                  const QStringList &returning);
QByteArray Delete(const TWriteTarget &target, const QStringList &where);

// The contacts schema on a server, in order, for one transaction: the
// schema "velmora" with the Turkish collation tr_ci and the LIKE operator
// that ignores case and Turkish marks, the database's search_path putting
// velmora before pg_catalog, and the table dbase with its identity key.
// columns: the text columns after the key, each with its width.
QList<QByteArray> CreateContactsSchema(const QList<QPair<QString, int>> &columns);
// The table of received calls, when it is missing; part of the schema too.
QByteArray CreateCallLog();
// One row, one column: 'w' when this user may add to the table of received
// calls, 'r' when it may only read it, 'm' when it may not read it either, 'c' when it is missing and this user
// may create it, 'm' when it is missing and this user may not.
QByteArray CallLogAccess();
// After rows were copied with their keys: the identity goes on after them.
QByteArray ResetContactsIdentity();

} // namespace PgSql
