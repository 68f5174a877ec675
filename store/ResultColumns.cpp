#include "store/ResultColumns.h"

#include "store/Statement.h"

#include <QRegularExpression>
#include <QSet>
#include <sqlite3.h>

TFieldType FieldTypeFromDeclared(const QString &declared, int *size)
{
    *size = 0;
    const QString t = declared.trimmed().toUpper();
    static const QRegularExpression width(QStringLiteral(R"(\(\s*(\d+)\s*(?:,\s*\d+\s*)?\))"));
    const auto contains = [&](const char *word) { return t.contains(QLatin1String(word)); };
    if (t.isEmpty())
        return ftUnknown;
    if (contains("DATETIME") || contains("TIMESTAMP"))
        return ftDateTime;
    if (contains("DATE"))
        return ftDate;
    if (contains("TIME"))
        return ftTime;
    if (contains("BOOL") || t == QLatin1String("BIT") || contains("YESNO"))
        return ftBoolean;
    if (contains("MEMO") || contains("LONGTEXT") || contains("MEDIUMTEXT") || contains("CLOB"))
        return ftMemo;
    if (contains("CHAR") || contains("TEXT") || contains("STRING")) {
        const QRegularExpressionMatch m = width.match(t);
        if (m.hasMatch())
            *size = m.captured(1).toInt();
        return ftString;
    }
    if (contains("INT"))
        return ftInteger;
    if (contains("REAL") || contains("FLOA") || contains("DOUB") || contains("NUMERIC") || contains("DECIMAL") || contains("CURRENCY")
        || contains("MONEY"))
        return ftFloat;
    if (contains("BLOB") || contains("BINARY") || contains("IMAGE"))
        return ftBlob;
    return ftString;
}

TFieldType FieldTypeFromValue(TCellKind kind)
{
    switch (kind) {
    case TCellKind::Integer: return ftInteger;
    case TCellKind::Float: return ftFloat;
    case TCellKind::Blob: return ftBlob;
    default: return ftString;
    }
}

int CheckedLength(const QString &createSql, const QString &column)
{
    const QString name = QRegularExpression::escape(column);
    const QRegularExpression re(QStringLiteral(R"(length\s*\(\s*(?:"%1"|\[%1\]|`%1`|%1)\s*\)\s*<=\s*(\d+))").arg(name),
                                QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(createSql);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

std::vector<TResultColumn> DescribeColumns(const TStatement &stmt, TResultTable *table)
{
    sqlite3_stmt *h = stmt.Handle();
    const int n = stmt.ColumnCount();
    std::vector<TResultColumn> columns(std::size_t(n > 0 ? n : 0));
    QString schema, tableName;
    bool oneTable = n > 0;
    QSet<QString> seen;
    for (int c = 0; c < n; ++c) {
        TResultColumn &col = columns[std::size_t(c)];
        col.Name = QString::fromUtf8(sqlite3_column_name(h, c));
        const char *decl = sqlite3_column_decltype(h, c);
        col.Type = FieldTypeFromDeclared(decl ? QString::fromUtf8(decl) : QString(), &col.Size);
        col.TypeFromValues = col.Type == ftUnknown;
        const char *db = sqlite3_column_database_name(h, c);
        const char *tab = sqlite3_column_table_name(h, c);
        const char *origin = sqlite3_column_origin_name(h, c);
        if (!db || !tab || !origin) {
            oneTable = false;
            continue;
        }
        col.Origin = QString::fromUtf8(origin);
        if (c == 0) {
            schema = QString::fromUtf8(db);
            tableName = QString::fromUtf8(tab);
        } else if (schema != QString::fromUtf8(db) || tableName != QString::fromUtf8(tab)) {
            oneTable = false;
        }
        const QString key = col.Origin.toLower();
        if (seen.contains(key))
            oneTable = false;
        seen.insert(key);
    }

    *table = TResultTable();
    if (tableName.isEmpty())
        return columns;

    // The table's CREATE text gives widths that the type leaves out.
    {
        TStatement def(stmt.Db(), TableDefinitionSql(schema));
        def.BindText(1, tableName);
        const QString createSql = def.Step() ? def.ColumnText(0) : QString();
        for (TResultColumn &col : columns)
            if (!col.Origin.isEmpty() && col.Size == 0 && (col.Type == ftString || col.Type == ftMemo))
                col.Size = CheckedLength(createSql, col.Origin);
    }
    if (!oneTable)
        return columns;

    table->Updatable = true;
    table->Target = {schema, tableName};
    TStatement info(stmt.Db(), TableColumnsSql());
    info.BindText(1, tableName);
    info.BindText(2, schema);
    std::vector<std::pair<int, QString>> keyParts; // (position in key, column)
    while (info.Step())
        if (info.ColumnInt64(2) > 0)
            keyParts.emplace_back(int(info.ColumnInt64(2)), info.ColumnText(0));
    std::sort(keyParts.begin(), keyParts.end());
    for (const auto &part : keyParts) {
        int found = -1;
        for (int c = 0; c < n; ++c)
            if (columns[std::size_t(c)].Origin.compare(part.second, Qt::CaseInsensitive) == 0)
                found = c;
        if (found < 0) { // the key is not all in the result: rows are found by their values
            table->KeyColumns.clear();
            break;
        }
        table->KeyColumns.push_back(found);
    }
    return columns;
}
