#pragma once

#include "store/CellValue.h"
#include "contacts/jet/JetColumn.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

class TJetTable;

// A Jet 3 or Jet 4 database file, read through libmdb (mdbtools). Opened
// read-only; nothing is ever written to it. Every failure raises EFileError.
//
// Jet 4 keeps text in Unicode; Jet 3 keeps it in the code page of the
// Windows that wrote it, decoded here through iconv from jet3Charset (an
// iconv name such as "CP1254").
class TJetDatabase {
public:
    TJetDatabase(const QString &path, const QByteArray &jet3Charset);
    ~TJetDatabase();
    TJetDatabase(const TJetDatabase &) = delete;
    TJetDatabase &operator=(const TJetDatabase &) = delete;

    int Version() const; // 3 or 4
    // The user's tables (not the engine's own MSys tables), in catalog order.
    QStringList UserTables() const;
    std::unique_ptr<TJetTable> OpenTable(const QString &name) const;

    struct TImpl;

private:
    std::unique_ptr<TImpl> d;
};

// One table, read row by row in the order the file keeps them.
class TJetTable {
public:
    ~TJetTable();
    TJetTable(const TJetTable &) = delete;
    TJetTable &operator=(const TJetTable &) = delete;

    const QString &Name() const { return FName; }
    const std::vector<TJetColumn> &Columns() const { return FColumns; }
    // The number of rows the table's definition counts.
    std::int64_t DeclaredRows() const;
    // Reads the next row's values, one per column: Jet null as null, text
    // as UTF-8, numbers and date-times as the file stores them, exact
    // decimals as their decimal text. False after the last row.
    bool Next(std::vector<TCellValue> &row);

    struct TImpl;
    TJetTable(const QString &name, std::unique_ptr<TImpl> impl);

private:
    QString FName;
    std::vector<TJetColumn> FColumns;
    std::unique_ptr<TImpl> d;
};

// The iconv name of a code page given as a number ("1254" gives "CP1254")
// or as a name ("ISO-8859-9"). Raises EFileError when iconv cannot decode
// it.
QByteArray Jet3Charset(const QString &codePage);
