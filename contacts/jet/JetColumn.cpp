#include "contacts/jet/JetColumn.h"

#include "store/StatementText.h"

QByteArray ColumnDefinition(const TJetColumn &column, bool primaryKey)
{
    const QByteArray name = QuoteIdentifier(column.Name);
    switch (column.Kind) {
    case TJetKind::Text:
        return name + " VARCHAR(" + QByteArray::number(column.Width) + ") COLLATE NOCASE CHECK (length(" + name
            + ") <= " + QByteArray::number(column.Width) + ')';
    case TJetKind::Memo: return name + " TEXT COLLATE NOCASE";
    case TJetKind::Integer: return name + (primaryKey ? " INTEGER PRIMARY KEY" : " INTEGER");
    case TJetKind::Real: return name + " REAL";
    case TJetKind::Numeric: return name + " NUMERIC";
    case TJetKind::DateTime: return name + " DATETIME";
    case TJetKind::Boolean: return name + " BOOLEAN";
    case TJetKind::Blob: return name + " BLOB";
    case TJetKind::Guid: return name + " VARCHAR(38) COLLATE NOCASE";
    }
    return name;
}

QByteArray CreateTableSql(const QString &table, const std::vector<TJetColumn> &columns)
{
    QByteArray sql = "CREATE TABLE " + QuoteIdentifier(table) + " (";
    bool keyGiven = false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const bool key = !keyGiven && columns[i].AutoNumber && columns[i].Kind == TJetKind::Integer;
        keyGiven = keyGiven || key;
        sql += (i ? ",\n    " : "\n    ") + ColumnDefinition(columns[i], key);
    }
    return sql + "\n)";
}
