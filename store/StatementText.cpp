#include "store/StatementText.h"

#include <QRegularExpression>

QByteArray QuoteIdentifier(const QString &name)
{
    QByteArray quoted = name.toUtf8();
    quoted.replace("\"", "\"\"");
    return '"' + quoted + '"';
}

static QByteArray TargetName(const TWriteTarget &target)
{
    return QuoteIdentifier(target.Schema) + '.' + QuoteIdentifier(target.Table);
}

static QByteArray ColumnList(const QStringList &columns)
{
    QByteArray list;
    for (const QString &c : columns) {
        if (!list.isEmpty())
            list += ", ";
        list += QuoteIdentifier(c);
    }
    return list;
}

static QByteArray Returning(const QStringList &returning)
{
    return returning.isEmpty() ? QByteArray() : " RETURNING " + ColumnList(returning);
}

static QByteArray WhereSameValues(const QStringList &columns)
{
    QByteArray where;
    for (const QString &c : columns) {
        where += where.isEmpty() ? " WHERE " : " AND ";
        where += QuoteIdentifier(c) + " IS ? COLLATE BINARY";
    }
    return where;
}

namespace {

// "(?, ?, ...)": the places of one row's values.
QByteArray RowMarks(qsizetype columns)
{
    QByteArray marks = "(";
    for (qsizetype i = 0; i < columns; ++i)
        marks += i ? ", ?" : "?";
    return marks + ')';
}

} // namespace

QByteArray InsertSql(const TWriteTarget &target, const QStringList &columns, const QStringList &returning)
{
    QByteArray sql = "INSERT INTO " + TargetName(target);
    if (columns.isEmpty())
        sql += " DEFAULT VALUES";
    else
        sql += " (" + ColumnList(columns) + ") VALUES " + RowMarks(columns.size());
    return sql + Returning(returning);
}

QByteArray InsertRowsSql(const TWriteTarget &target, const QStringList &columns, int rows)
{
    const QByteArray marks = RowMarks(columns.size());
    QByteArray sql = "INSERT INTO " + TargetName(target) + " (" + ColumnList(columns) + ") VALUES ";
    for (int r = 0; r < rows; ++r)
        sql += (r ? ", " : "") + marks;
    return sql;
}

QByteArray UpdateSql(const TWriteTarget &target, const QStringList &setColumns, const QStringList &whereColumns,
                     const QStringList &returning)
{
    QByteArray set;
    for (const QString &c : setColumns) {
        if (!set.isEmpty())
            set += ", ";
        set += QuoteIdentifier(c) + " = ?";
    }
    return "UPDATE " + TargetName(target) + " SET " + set + WhereSameValues(whereColumns) + Returning(returning);
}

QByteArray DeleteSql(const TWriteTarget &target, const QStringList &whereColumns)
{
    return "DELETE FROM " + TargetName(target) + WhereSameValues(whereColumns);
}

TSyncSql SyncTablesSql(const TWriteTarget &contacts, const QStringList &columns, const QString &key)
{
    TSyncSql sql;
    sql.Integer = "INTEGER";
    sql.Identity = "INTEGER PRIMARY KEY AUTOINCREMENT";
    // A file's DBASE gives a deleted contact's key to the next new one when
    // it was the highest, so a link held by key alone would pass the card
    // on to the newcomer. Whoever deletes a linked contact (this program,
    // the sqlite3 shell, another program), its link moves to a negative key
    // no contact has, and the next sync sees a deletion.
    sql.Unlink = "CREATE TRIGGER IF NOT EXISTS " + QuoteIdentifier(contacts.Schema) + ".sync_card_unlink AFTER DELETE ON "
        + QuoteIdentifier(contacts.Table)
        + " BEGIN UPDATE sync_card SET card_no = (SELECT min(coalesce(min(card_no), 0), 0) - 1 FROM sync_card) WHERE card_no = old."
        + QuoteIdentifier(key) + "; END";
    // A sync appends and reads each row once: 256 KiB of cache will do.
    sql.CacheSize = CacheSizeSql();
    sql.NarrowCache = SetCacheSizeSql(-256);
    sql.SetCacheSize = SetCacheSizeSql;
    sql.InsertContact = InsertSql(contacts, columns, {key});
    sql.UpdateContact = UpdateSql(contacts, columns, {key}, {});
    sql.DeleteContact = DeleteSql(contacts, {key});
    return sql;
}

bool SplitOrderBy(const QString &sql, QString *head, QString *column)
{
    static const QRegularExpression tail(QStringLiteral("^\\s*(SELECT\\s.*\\S)\\s+ORDER\\s+BY\\s+(\"?)([A-Za-z_][A-Za-z0-9_]*)\\2"
                                                        "(\\s+ASC)?\\s*;?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression compound(QStringLiteral("\\b(UNION|INTERSECT|EXCEPT|WHERE)\\b"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = tail.match(sql);
    if (!m.hasMatch() || m.captured(1).contains(compound))
        return false;
    *head = m.captured(1);
    *column = m.captured(3);
    return true;
}

QByteArray FirstRowsSql(const QString &sql, std::size_t n)
{
    QString text = sql.trimmed();
    while (text.endsWith(u';'))
        text = text.chopped(1).trimmed();
    return text.toUtf8() + " LIMIT " + QByteArray::number(qulonglong(n));
}

QByteArray SchemaProbeSql()
{
    return "SELECT count(*) FROM sqlite_master";
}

QByteArray NoCaseIndexSql()
{
    return "SELECT 1 FROM sqlite_master AS m, pragma_index_list(m.name) AS il, pragma_index_xinfo(il.name) AS ix"
           " WHERE m.type = 'table' AND ix.key = 1 AND upper(ix.coll) = 'NOCASE' LIMIT 1";
}

QByteArray TableColumnsSql()
{
    return "SELECT name, type, pk FROM pragma_table_info(?, ?)";
}

QByteArray TableDefinitionSql(const QString &schema)
{
    return "SELECT sql FROM " + QuoteIdentifier(schema) + ".sqlite_master WHERE type = 'table' AND name = ?";
}

QByteArray CreateCallLogSql()
{
    return "CREATE TABLE IF NOT EXISTS GELENARAMA (\n    No INTEGER PRIMARY KEY,\n    Zaman TEXT,\n"
           "    Numara TEXT,\n    Ad TEXT,\n    Durum TEXT\n)";
}

QByteArray CallLogHasOutcomeSql()
{
    return "SELECT 1 FROM pragma_table_info('GELENARAMA') WHERE upper(name) = 'DURUM'";
}

QByteArray AddCallLogOutcomeSql()
{
    return "ALTER TABLE GELENARAMA ADD COLUMN Durum TEXT";
}

QByteArray CallLogExistsSql()
{
    return "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND upper(name) = 'GELENARAMA'";
}

QByteArray CacheSizeSql()
{
    return "PRAGMA cache_size";
}
QByteArray SetCacheSizeSql(qint64 pages)
{
    return "PRAGMA cache_size = " + QByteArray::number(pages);
}

QByteArray BeginReadSql()
{
    return "BEGIN";
}
QByteArray BeginWriteSql()
{
    return "BEGIN IMMEDIATE";
}
QByteArray CommitSql()
{
    return "COMMIT";
}
QByteArray RollbackSql()
{
    return "ROLLBACK";
}

QByteArray SavepointSql()
{
    return "SAVEPOINT velmora_row";
}
QByteArray RollbackToSavepointSql()
{
    return "ROLLBACK TO velmora_row";
}
QByteArray ReleaseSavepointSql()
{
    return "RELEASE velmora_row";
}

QByteArray NumberEndSql(const QByteArray &column, const QByteArray &parameter)
{
    return column + " GLOB " + parameter;
}
QByteArray NumberEndPattern(QByteArrayView digits)
{
    QByteArray pattern = "*";
    for (const char d : digits) {
        pattern += d;
        pattern += '*';
    }
    return pattern;
}
