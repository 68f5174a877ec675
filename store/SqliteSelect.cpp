// Reading the file. Open shows the first rows before the last is read: a
// statement that orders by one column has its first rows read on their own
// (the engine keeps only those while it passes over the table), then the
// rest is read in the table's own order and put in order here, once, by the
// distinct values of the column; any other statement is read as it runs.
// The reading is one read transaction, so the first rows and the rest come
// from the same state of the file.
#include "store/SqliteProvider.h"

#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "store/DistinctValues.h"
#include "store/RowArena.h"
#include "store/Statement.h"
#include "store/TurkishText.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <utility>

namespace {

void BindParameters(TStatement &stmt, const QStringList &parameterNames, const std::vector<TParameterValue> &values)
{
    // Parameters go by position; a name the engine merged into one
    // parameter takes the value of its first occurrence.
    const int count = int(parameterNames.size());
    for (int i = 1; i <= stmt.ParameterCount(); ++i) {
        const QString name = QString::fromUtf8(stmt.ParameterName(i).mid(1));
        int index = -1;
        for (int k = 0; k < count && index < 0 && !name.isEmpty(); ++k)
            if (parameterNames.at(k).compare(name, Qt::CaseInsensitive) == 0)
                index = k;
        if (index < 0 && i - 1 < count)
            index = i - 1;
        if (index >= 0 && values[std::size_t(index)])
            stmt.BindText(i, *values[std::size_t(index)]);
        else
            stmt.BindNull(i);
    }
}

// Writes the statement's current row into rows; the caller ends it.
void CopyRow(const TStatement &stmt, TRowArena &rows)
{
    sqlite3_stmt *h = stmt.Handle();
    const int n = rows.ColumnCount();
    rows.BeginRow();
    for (int c = 0; c < n; ++c) {
        switch (sqlite3_column_type(h, c)) {
        case SQLITE_INTEGER: rows.AddInteger(sqlite3_column_int64(h, c)); break;
        case SQLITE_FLOAT: rows.AddFloat(sqlite3_column_double(h, c)); break;
        case SQLITE_TEXT: {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(h, c));
            rows.AddBytes(TCellKind::Text, text, std::size_t(sqlite3_column_bytes(h, c)));
            break;
        }
        case SQLITE_BLOB: {
            const auto *blob = static_cast<const char *>(sqlite3_column_blob(h, c));
            rows.AddBytes(TCellKind::Blob, blob, std::size_t(sqlite3_column_bytes(h, c)));
            break;
        }
        default: rows.AddNull(); break;
        }
    }
}

// Columns without a declared type take the type of their first value.
void TypesFromValues(std::vector<TResultColumn> &columns, const TRowArena &rows)
{
    for (int c = 0; c < int(columns.size()); ++c) {
        TResultColumn &col = columns[std::size_t(c)];
        if (!col.TypeFromValues)
            continue;
        col.Type = ftString;
        for (std::size_t r = 0; r < rows.RowCount(); ++r) {
            const TCellView cell = rows.Cell(r, c);
            if (cell.Kind != TCellKind::Null) {
                col.Type = FieldTypeFromValue(cell.Kind);
                break;
            }
        }
    }
}

// A small page cache while a read passes over the table: every page is
// read once, so a larger cache would only hold pages nobody asks for again
// (memory a large file's snapshot needs). The size before comes back after.
class TReadCache {
public:
    explicit TReadCache(sqlite3 *db) : FDb(db)
    {
        if (!FDb)
            return;
        TStatement size(FDb, CacheSizeSql());
        if (size.Step())
            FPages = size.ColumnInt64(0);
        ExecuteSql(FDb, SetCacheSizeSql(kReadCachePages));
    }
    ~TReadCache()
    {
        if (FDb)
            sqlite3_exec(FDb, SetCacheSizeSql(FPages).constData(), nullptr, nullptr, nullptr);
    }
    TReadCache(const TReadCache &) = delete;
    TReadCache &operator=(const TReadCache &) = delete;

private:
    static constexpr qint64 kReadCachePages = 32;
    sqlite3 *FDb;
    qint64 FPages = kReadCachePages;
};

// One read transaction around the reading; none when the connection is in
// a transaction already (then the reading is part of it, and the cache is
// left as that transaction has it).
class TReadTransaction {
public:
    explicit TReadTransaction(sqlite3 *db) : FDb(sqlite3_get_autocommit(db) ? db : nullptr), FCache(FDb)
    {
        if (FDb)
            ExecuteSql(FDb, BeginReadSql());
    }
    ~TReadTransaction()
    {
        if (FDb)
            sqlite3_exec(FDb, RollbackSql().constData(), nullptr, nullptr, nullptr);
    }
    TReadTransaction(const TReadTransaction &) = delete;
    TReadTransaction &operator=(const TReadTransaction &) = delete;
    void Commit()
    {
        if (FDb)
            ExecuteSql(std::exchange(FDb, nullptr), CommitSql());
    }

private:
    sqlite3 *FDb;
    TReadCache FCache;
};

using TTextCompare = int (*)(const char *, std::size_t, const char *, std::size_t);

int BinaryCompare(const char *a, std::size_t na, const char *b, std::size_t nb)
{
    const int c = std::memcmp(a, b, std::min(na, nb));
    return c ? c : (na < nb ? -1 : (na > nb ? 1 : 0));
}

// The engine's order of values: NULL, then numbers, then text in the
// column's collation, then blobs by their bytes.
int CompareCells(const TCellView &a, const TCellView &b, TTextCompare text)
{
    auto rank = [](TCellKind k) { return k == TCellKind::Null ? 0 : k == TCellKind::Text ? 2 : k == TCellKind::Blob ? 3 : 1; };
    const int ra = rank(a.Kind), rb = rank(b.Kind);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    switch (ra) {
    case 0: return 0;
    case 1: {
        if (a.Kind == TCellKind::Integer && b.Kind == TCellKind::Integer)
            return a.Int < b.Int ? -1 : (a.Int > b.Int ? 1 : 0);
        const double x = a.Kind == TCellKind::Integer ? double(a.Int) : a.Float;
        const double y = b.Kind == TCellKind::Integer ? double(b.Int) : b.Float;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case 2: return text(a.Data, a.Size, b.Data, b.Size);
    default: return BinaryCompare(a.Data, a.Size, b.Data, b.Size);
    }
}

// The rest of a statement, read as it runs.
class TPlainRest final : public TRowStream {
public:
    TPlainRest(std::unique_ptr<TStatement> stmt, std::unique_ptr<TReadTransaction> transaction, TRowArena *rows)
        : FTransaction(std::move(transaction)), FStmt(std::move(stmt)), FRows(rows)
    {
    }
    bool Read(std::size_t count) override
    {
        for (std::size_t i = 0; i < count; ++i) {
            if (!FStmt->Step()) {
                FStmt.reset();
                FTransaction->Commit();
                FRows->ShrinkToFit();
                return true;
            }
            CopyRow(*FStmt, *FRows);
            FRows->EndRow();
        }
        return false;
    }

private:
    // The statement ends before its transaction.
    std::unique_ptr<TReadTransaction> FTransaction;
    std::unique_ptr<TStatement> FStmt;
    TRowArena *FRows;
};

// The rest of a statement ordered by one column: its rows read in the
// table's order and kept aside, then ordered by the column as the engine
// would order them (equal values in the order read), after the first rows
// Open showed.
class TOrderedRest final : public TRowStream {
public:
    TOrderedRest(std::unique_ptr<TStatement> head, std::unique_ptr<TReadTransaction> transaction, TRowArena *rows, int column,
                 TTextCompare compare, std::size_t shown)
        : FTransaction(std::move(transaction)), FStmt(std::move(head)), FRows(rows), FColumn(column), FCompare(compare), FShown(shown)
    {
    }
    bool Read(std::size_t count) override
    {
        for (std::size_t i = 0; i < count; ++i) {
            if (!FStmt->Step()) {
                FStmt.reset();
                FTransaction->Commit();
                Show();
                return true;
            }
            CopyRow(*FStmt, *FRows);
            FRows->EndRowAside();
        }
        return false;
    }

private:
    // Each distinct value once: sorted, then the rows counted into place.
    // A row's place is looked up again rather than kept: memory for one
    // number per row is what a large file cannot spare here.
    void Show()
    {
        using TAsideRow = TRowArena::TAsideRow;
        TDistinctValues values(*FRows, FColumn);
        FRows->ForEachAside([&](TAsideRow row) { ++values.Number(values.Find(row)); }); // rows holding each
        std::vector<std::uint32_t> byOrder(values.Count());
        for (std::uint32_t i = 0; i < byOrder.size(); ++i)
            byOrder[i] = i;
        std::sort(byOrder.begin(), byOrder.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return CompareCells(values.Cell(a), values.Cell(b), FCompare) < 0; });
        // Values the order holds equal share a place; each value's number
        // becomes its place.
        std::vector<std::size_t> first; // per place: where its rows begin
        first.reserve(byOrder.size());
        std::size_t rows = 0;
        for (std::size_t i = 0; i < byOrder.size(); ++i) {
            if (i == 0 || CompareCells(values.Cell(byOrder[i - 1]), values.Cell(byOrder[i]), FCompare) != 0)
                first.push_back(rows);
            rows += values.Number(byOrder[i]);
            values.Number(byOrder[i]) = first.size() - 1;
        }
        const std::size_t before = FRows->RowCount();
        FRows->ShowAside([&](TAsideRow row) { return first[values.Number(values.Find(row))]++; });
        FRows->DropNewRows(before, LeaveOutShown(before));
        FRows->ShrinkToFit();
    }

    bool SameRow(std::size_t a, std::size_t b) const
    {
        for (int c = 0; c < FRows->ColumnCount(); ++c)
            if (!SameCell(FRows->Cell(a, c), FRows->Cell(b, c)))
                return false;
        return true;
    }

    // The first rows are on show already: they are the first of the rows
    // just added after them (from row `added` on), except that among the
    // rows equal to the last one shown the engine may have chosen others;
    // those are matched by their contents. Moves the copies to the front of
    // the rows added and says how many they are.
    std::size_t LeaveOutShown(std::size_t added)
    {
        const std::size_t shown = std::min(FShown, added);
        if (shown == 0)
            return 0;
        const TCellView last = FRows->Cell(shown - 1, FColumn);
        std::size_t below = 0;
        while (below < shown && CompareCells(FRows->Cell(below, FColumn), last, FCompare) < 0)
            ++below;
        std::size_t front = below;
        std::vector<bool> matched(shown - below, false);
        for (std::size_t i = added + below; i < FRows->RowCount() && front < shown; ++i) {
            if (CompareCells(FRows->Cell(i, FColumn), last, FCompare) != 0)
                break;
            for (std::size_t k = below; k < shown; ++k)
                if (!matched[k - below] && SameRow(k, i)) {
                    matched[k - below] = true;
                    FRows->MoveRow(i, added + front);
                    ++front;
                    break;
                }
        }
        return front;
    }

    std::unique_ptr<TReadTransaction> FTransaction;
    std::unique_ptr<TStatement> FStmt;
    TRowArena *FRows;
    int FColumn;
    TTextCompare FCompare;
    std::size_t FShown;
};

} // namespace

// How this program can order the rows of stmt by the named column as the
// engine does: the column's position and its collation's comparison, or
// nullptr when it cannot (a collation of its own, an expression, a name
// that is not one result column), or need not (a key the engine reads in
// order).
TTextCompare TSqliteProvider::OrderOf(const TStatement &stmt, const QString &name, int *column) const
{
    sqlite3_stmt *h = stmt.Handle();
    *column = -1;
    for (int c = 0; c < stmt.ColumnCount(); ++c) {
        if (QString::fromUtf8(sqlite3_column_name(h, c)).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (*column >= 0)
            return nullptr;
        *column = c;
    }
    if (*column < 0 || !sqlite3_column_origin_name(h, *column))
        return nullptr;
    const char *collation = nullptr;
    int primaryKey = 0;
    // A key column the engine reads in its order without sorting.
    if (sqlite3_table_column_metadata(FDb, sqlite3_column_database_name(h, *column), sqlite3_column_table_name(h, *column),
                                      sqlite3_column_origin_name(h, *column), nullptr, &collation, nullptr, &primaryKey, nullptr)
            != SQLITE_OK
        || !collation || primaryKey)
        return nullptr;
    if (qstricmp(collation, "BINARY") == 0)
        return BinaryCompare;
    if (qstricmp(collation, "NOCASE") == 0 && FTurkishNoCase)
        return TurkishCompare;
    return nullptr;
}

std::unique_ptr<TStatement> TSqliteProvider::Prepare(const QString &sql, const QStringList &parameterNames,
                                                     const std::vector<TParameterValue> &values, std::vector<TResultColumn> &columns,
                                                     TResultTable &table, TRowArena &rows)
{
    auto stmt = std::make_unique<TStatement>(FDb, sql);
    if (stmt->ColumnCount() == 0 || !stmt->ReadOnly())
        throw EDatabaseError(QStringLiteral("CommandText does not return a result set"));
    BindParameters(*stmt, parameterNames, values);
    columns = DescribeColumns(*stmt, &table);
    rows.Clear();
    rows.SetColumnCount(int(columns.size()));
    return stmt;
}

void TSqliteProvider::Select(const QString &sql, const QStringList &parameterNames, const std::vector<TParameterValue> &values,
                             TRowArena &rows, std::vector<TResultColumn> &columns, TResultTable &table)
{
    std::unique_ptr<TStatement> stmt = Prepare(sql, parameterNames, values, columns, table, rows);
    // A large file takes a while to read: say so. The rows read so far are
    // all there is to show until the end, so this cannot be stopped.
    TProgress progress(QStringLiteral("Kayıtlar okunuyor"), 0, false);
    try {
        while (stmt->Step()) {
            if ((rows.RowCount() & 255) == 0) // a clock read per row would be most of the cost
                progress.Step(qint64(rows.RowCount()));
            CopyRow(*stmt, rows);
            rows.EndRow();
        }
    } catch (...) {
        rows.Clear();
        throw;
    }
    rows.ShrinkToFit();
    TypesFromValues(columns, rows);
}

std::unique_ptr<TRowStream> TSqliteProvider::SelectFirst(const QString &sql, const QStringList &parameterNames,
                                                         const std::vector<TParameterValue> &values, TRowArena &rows,
                                                         std::vector<TResultColumn> &columns, TResultTable &table, std::size_t first)
{
    auto transaction = std::make_unique<TReadTransaction>(FDb);
    std::unique_ptr<TStatement> stmt = Prepare(sql, parameterNames, values, columns, table, rows);
    std::unique_ptr<TRowStream> rest;
    try {
        QString head, orderColumn;
        int column = -1;
        TTextCompare compare = nullptr;
        if (SplitOrderBy(sql, &head, &orderColumn))
            compare = OrderOf(*stmt, orderColumn, &column);
        if (compare) {
            // The first rows on their own; when they are all, that is the result.
            TStatement firstRows(FDb, FirstRowsSql(sql, first));
            BindParameters(firstRows, parameterNames, values);
            while (firstRows.Step()) {
                CopyRow(firstRows, rows);
                rows.EndRow();
            }
            if (rows.RowCount() == first) {
                auto unordered = std::make_unique<TStatement>(FDb, head);
                BindParameters(*unordered, parameterNames, values);
                rest = std::make_unique<TOrderedRest>(std::move(unordered), std::move(transaction), &rows, column, compare, first);
            }
        } else {
            while (rows.RowCount() < first && stmt->Step()) {
                CopyRow(*stmt, rows);
                rows.EndRow();
            }
            if (rows.RowCount() == first)
                rest = std::make_unique<TPlainRest>(std::move(stmt), std::move(transaction), &rows);
        }
        if (!rest) {
            transaction->Commit();
            rows.ShrinkToFit();
        }
    } catch (...) {
        rows.Clear();
        throw;
    }
    TypesFromValues(columns, rows);
    return rest;
}
