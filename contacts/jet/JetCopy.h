#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

// What a conversion read and wrote.
struct TJetCopyCounts {
    int Version = 0; // Jet 3 or 4
    int Tables = 0;
    std::int64_t RowsRead = 0;
    std::int64_t RowsAdded = 0;
};

// Called now and then while rows are copied: the table being read and the
// rows read so far over all tables.
using TJetCopyProgress = std::function<void(const QString &table, std::int64_t rowsRead)>;

// Copies every user table of the Jet file at jetPath, with its columns and
// rows, into the empty SQLite database file at sqlitePath, in one
// transaction. A table with fewer readable rows than the count its
// definition keeps is a damaged file: EFileError, and the database file is
// left to the caller to throw away. (More rows than counted is only a count
// the engine did not bring up to date.)
TJetCopyCounts CopyJetDatabase(const QString &jetPath, const QByteArray &jet3Charset, const QString &sqlitePath,
                               const TJetCopyProgress &progress);
