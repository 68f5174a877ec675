#include "contacts/jet/JetCopy.h"

#include "platform/core/Exception.h"
#include "store/Statement.h"
#include "store/StatementText.h"
#include "store/DatabaseFile.h"
#include "contacts/jet/JetDatabase.h"

#include <sqlite3.h>

#include <memory>

namespace {

constexpr int kProgressEvery = 1000; // rows

std::int64_t CopyTable(sqlite3 *db, const QString &jetPath, TJetTable &table, std::int64_t readBefore, const TJetCopyProgress &progress)
{
    const std::vector<TJetColumn> &columns = table.Columns();
    if (columns.empty())
        throw EFileError(QStringLiteral("table '%1' has no columns").arg(table.Name()));
    ExecuteSql(db, CreateTableSql(table.Name(), columns));
    QStringList names;
    for (const TJetColumn &c : columns)
        names << c.Name;
    TStatement insert(db, InsertSql({QStringLiteral("main"), table.Name()}, names, {}));
    std::vector<TCellValue> row;
    std::int64_t read = 0;
    progress(table.Name(), readBefore);
    while (table.Next(row)) {
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i].Bind(insert, int(i) + 1);
        try {
            insert.Execute();
        } catch (const Exception &e) {
            throw EDatabaseError(QStringLiteral("table '%1', row %2: %3").arg(table.Name()).arg(read + 1).arg(e.Message()));
        }
        insert.Reset();
        if (++read % kProgressEvery == 0)
            progress(table.Name(), readBefore + read);
    }
    if (read < table.DeclaredRows())
        throw EFileError(QStringLiteral("'%1' is damaged: %2 of the %3 rows of table '%4' can be read")
                             .arg(jetPath)
                             .arg(read)
                             .arg(table.DeclaredRows())
                             .arg(table.Name()));
    return read;
}

} // namespace

TJetCopyCounts CopyJetDatabase(const QString &jetPath, const QByteArray &jet3Charset, const QString &sqlitePath,
                               const TJetCopyProgress &progress)
{
    TJetDatabase jet(jetPath, jet3Charset);
    TDatabaseFile db = OpenDatabaseFile(sqlitePath);
    // The file is new and only put in place when complete: no journal.
    ExecuteSql(db.get(), "PRAGMA journal_mode = OFF");
    ExecuteSql(db.get(), "BEGIN");
    TJetCopyCounts counts;
    counts.Version = jet.Version();
    for (const QString &name : jet.UserTables()) {
        const std::unique_ptr<TJetTable> table = jet.OpenTable(name);
        const std::int64_t rows = CopyTable(db.get(), jetPath, *table, counts.RowsRead, progress);
        counts.RowsRead += rows;
        counts.RowsAdded += rows;
        ++counts.Tables;
    }
    ExecuteSql(db.get(), "COMMIT");
    if (sqlite3_close(db.release()) != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("%1 cannot be closed").arg(sqlitePath));
    return counts;
}
