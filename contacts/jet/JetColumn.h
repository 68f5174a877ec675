#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// The kinds of value a Jet column holds, as the converter treats them.
enum class TJetKind {
    Text,     // text of a fixed width
    Memo,     // long text
    Integer,  // byte, integer, long integer
    Real,     // single, double
    Numeric,  // currency, decimal: exact decimals
    DateTime, // days since 30 December 1899, the time of day as the fraction
    Boolean,  // yes/no
    Blob,     // binary, OLE object
    Guid      // replication id, as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
};

struct TJetColumn {
    QString Name;
    TJetKind Kind = TJetKind::Text;
    int Width = 0;           // characters, for text
    bool AutoNumber = false; // a long integer the engine numbered
};

// The declared SQLite type of a column: VARCHAR(n) COLLATE NOCASE, TEXT
// COLLATE NOCASE, INTEGER, INTEGER PRIMARY KEY for the AutoNumber key, REAL,
// NUMERIC, DATETIME, BOOLEAN, BLOB. Text of a width also has the engine
// check that width, as the program's own contacts table does.
QByteArray ColumnDefinition(const TJetColumn &column, bool primaryKey);

// CREATE TABLE for a table with these columns (at least one). The first
// AutoNumber column, if any, becomes the table's key.
QByteArray CreateTableSql(const QString &table, const std::vector<TJetColumn> &columns);
