// Reading on the server: a plain SELECT through a cursor, so that the first
// rows come before the server has produced the last (and, with an index in
// the result's order, without sorting the whole table); any other
// statement row by row in one go.
#include "store/PgCursor.h"

#include "platform/core/Exception.h"
#include "store/PgSql.h"
#include "store/RowArena.h"

#include <cstdlib>

namespace {

// Type oids of the server's built-in types (pg_type.dat).
enum : Oid {
    kBool = 16,
    kBytea = 17,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kBpchar = 1042,
    kVarchar = 1043,
    kDate = 1082,
    kTime = 1083,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kTimeTz = 1266,
    kNumeric = 1700
};

TFieldType FieldTypeOf(Oid type, int modifier, int *size)
{
    *size = 0;
    switch (type) {
    case kBool: return ftBoolean;
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid: return ftInteger;
    case kFloat4:
    case kFloat8:
    case kNumeric: return ftFloat;
    case kBytea: return ftBlob;
    case kDate: return ftDate;
    case kTime:
    case kTimeTz: return ftTime;
    case kTimestamp:
    case kTimestampTz: return ftDateTime;
    case kText: return ftMemo;
    case kVarchar:
    case kBpchar: *size = modifier >= 4 ? modifier - 4 : 0; return ftString;
    default: return ftString;
    }
}

// One value of a result in text form as a cell; bytea is decoded into
// scratch, text points into the result.
TCellView CellOf(const PGresult *r, int row, int col, QByteArray &scratch)
{
    TCellView v;
    if (PQgetisnull(r, row, col))
        return v;
    const char *text = PQgetvalue(r, row, col);
    switch (PQftype(r, col)) {
    case kBool:
        v.Kind = TCellKind::Integer;
        v.Int = text[0] == 't' ? 1 : 0;
        break;
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        v.Kind = TCellKind::Integer;
        v.Int = std::strtoll(text, nullptr, 10);
        break;
    case kFloat4:
    case kFloat8:
        v.Kind = TCellKind::Float;
        v.Float = std::strtod(text, nullptr);
        break;
    case kBytea: {
        std::size_t n = 0;
        unsigned char *bytes = PQunescapeBytea(reinterpret_cast<const unsigned char *>(text), &n);
        scratch = QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(n));
        PQfreemem(bytes);
        v.Kind = TCellKind::Blob;
        v.Data = scratch.constData();
        v.Size = std::size_t(scratch.size());
        break;
    }
    default:
        v.Kind = TCellKind::Text;
        v.Data = text;
        v.Size = std::size_t(PQgetlength(r, row, col));
        break;
    }
    return v;
}

// The columns of a result, and the table column each comes from.
struct TShape {
    std::vector<unsigned> Tables;
    std::vector<int> TableColumns;
};

void DescribeColumns(const PGresult *r, TRowArena &rows, std::vector<TResultColumn> &columns, TShape &shape)
{
    const int n = PQnfields(r);
    rows.SetColumnCount(n);
    for (int c = 0; c < n; ++c) {
        TResultColumn col;
        col.Name = QString::fromUtf8(PQfname(r, c));
        col.Type = FieldTypeOf(PQftype(r, c), PQfmod(r, c), &col.Size);
        columns.push_back(col);
        shape.Tables.push_back(PQftable(r, c));
        shape.TableColumns.push_back(PQftablecol(r, c));
    }
}

} // namespace

void PgAddRows(const PGresult *r, TRowArena &rows, QByteArray &scratch)
{
    const int n = PQnfields(r);
    for (int row = 0; row < PQntuples(r); ++row) {
        rows.BeginRow();
        for (int c = 0; c < n; ++c)
            rows.AddCell(CellOf(r, row, c, scratch));
        rows.EndRow();
    }
}

namespace {

// A statement a cursor can read: one that begins with SELECT.
bool PlainSelect(const QString &sql)
{
    const QString text = sql.trimmed();
    return text.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive) && (text.size() == 6 || !text.at(6).isLetterOrNumber());
}

// The statement with numbered parameters and their values, by name.
struct TBound {
    QByteArray Text;
    std::vector<TCellValue> Values;
    std::vector<const char *> Pointers;
};

TBound Bind(const QString &sql, const QStringList &parameterNames, const std::vector<TParameterValue> &values)
{
    TBound b;
    QStringList names;
    b.Text = PgSql::NumberedParameters(sql, &names);
    for (const QString &name : names) {
        TCellValue v;
        for (int k = 0; k < int(parameterNames.size()); ++k)
            if (parameterNames.at(k).compare(name, Qt::CaseInsensitive) == 0) {
                if (values[std::size_t(k)])
                    v = TCellValue::FromText(*values[std::size_t(k)]);
                break;
            }
        b.Values.push_back(v);
    }
    for (const TCellValue &v : b.Values)
        b.Pointers.push_back(v.Kind == TCellKind::Null ? nullptr : v.Bytes.constData());
    return b;
}

} // namespace

std::vector<TCellValue> PgRowOf(const PGresult *r, int row)
{
    std::vector<TCellValue> values;
    QByteArray scratch;
    for (int c = 0; c < PQnfields(r); ++c)
        values.push_back(TCellValue::FromView(CellOf(r, row, c, scratch)));
    return values;
}

void TPgProvider::Select(const QString &sql, const QStringList &parameterNames, const std::vector<TParameterValue> &values, TRowArena &rows,
                         std::vector<TResultColumn> &columns, TResultTable &table)
{
    const TBound bound = Bind(sql, parameterNames, values);
    rows.Clear();
    columns.clear();
    TShape shape;
    bool described = false;
    TPgResult failed;
    QByteArray scratch;
    // Inside a long write's transaction the rows are read in it, under its lock.
    const bool inWrite = PQtransactionStatus(FConn) == PQTRANS_INTRANS;
    try {
        // A read-only transaction: a statement that writes is refused by the server.
        if (!inWrite)
            Simple(PgSql::BeginReadOnly(), true);
        if (!PQsendQueryParams(FConn, bound.Text.constData(), int(bound.Pointers.size()), nullptr, bound.Pointers.data(), nullptr, nullptr,
                               0))
            Raise(nullptr);
        PQsetSingleRowMode(FConn);
        // The rows arrive one at a time and go straight into the snapshot.
        while (PGresult *next = NextResult(true)) {
            TPgResult r(next);
            const ExecStatusType status = PQresultStatus(r.get());
            if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
                if (status != PGRES_COMMAND_OK && !failed)
                    failed = std::move(r);
                continue;
            }
            if (failed)
                continue;
            if (!described) {
                described = true;
                DescribeColumns(r.get(), rows, columns, shape);
            }
            PgAddRows(r.get(), rows, scratch);
        }
        if (failed || Lost())
            Raise(failed.get());
        if (!inWrite)
            Simple(PgSql::Commit(), true);
    } catch (...) {
        rows.Clear();
        columns.clear();
        if (!inWrite)
            EndTransaction();
        throw;
    }
    rows.ShrinkToFit();
    Describe(columns, table, shape.Tables, shape.TableColumns);
}

std::unique_ptr<TRowStream> TPgProvider::SelectFirst(const QString &sql, const QStringList &parameterNames,
                                                     const std::vector<TParameterValue> &values, TRowArena &rows,
                                                     std::vector<TResultColumn> &columns, TResultTable &table, std::size_t first)
{
    if (!PlainSelect(sql)) {
        Select(sql, parameterNames, values, rows, columns, table);
        return nullptr;
    }
    const TBound bound = Bind(sql, parameterNames, values);
    rows.Clear();
    columns.clear();
    TShape shape;
    auto cursor = std::make_unique<TCursor>(this, &rows);
    try {
        Simple(PgSql::BeginCursorRead(), true);
        const QByteArray declare = PgSql::DeclareCursor(bound.Text);
        if (!PQsendQueryParams(FConn, declare.constData(), int(bound.Pointers.size()), nullptr, bound.Pointers.data(), nullptr, nullptr, 0))
            Raise(nullptr);
        Gather(true);
        // The first rows tell the columns, even when there are none.
        const TResult r = Simple(PgSql::FetchCursor(first), true);
        DescribeColumns(r.R.get(), rows, columns, shape);
        Describe(columns, table, shape.Tables, shape.TableColumns);
        QByteArray scratch;
        PgAddRows(r.R.get(), rows, scratch);
        if (std::size_t(PQntuples(r.R.get())) < first) {
            cursor->Complete();
            cursor.reset();
        }
    } catch (...) {
        cursor.reset();
        rows.Clear();
        columns.clear();
        throw;
    }
    return cursor;
}

void TPgProvider::Describe(std::vector<TResultColumn> &columns, TResultTable &table, const std::vector<unsigned> &tables,
                           const std::vector<int> &tableColumns)
{
    if (columns.empty())
        throw EDatabaseError(QStringLiteral("CommandText does not return a result set"));
    table = TResultTable();
    bool oneTable = tables.front() != InvalidOid;
    for (std::size_t c = 0; c < tables.size() && oneTable; ++c) {
        oneTable = tables[c] == tables.front() && tableColumns[c] > 0;
        for (std::size_t k = 0; k < c && oneTable; ++k)
            oneTable = tableColumns[k] != tableColumns[c];
    }
    if (oneTable)
        DescribeTable(tables.front(), columns, table, tableColumns);
}

void TPgProvider::DescribeTable(unsigned tableOid, std::vector<TResultColumn> &columns, TResultTable &info,
                                const std::vector<int> &tableColumns)
{
    const TResult r = Run(PgSql::TableColumns(), {TCellValue::FromText(QString::number(tableOid))});
    const PGresult *res = r.R.get();
    if (PQntuples(res) == 0)
        return;
    info.Updatable = true;
    info.Target = {QString::fromUtf8(PQgetvalue(res, 0, 0)), QString::fromUtf8(PQgetvalue(res, 0, 1))};
    bool wholeKey = true;
    std::vector<int> key;
    for (int row = 0; row < PQntuples(res); ++row) {
        const int number = std::atoi(PQgetvalue(res, row, 2));
        const QString name = QString::fromUtf8(PQgetvalue(res, row, 3));
        const bool inKey = PQgetvalue(res, row, 5)[0] == 't';
        int found = -1;
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (tableColumns[c] == number)
                found = int(c);
        if (found < 0) {
            wholeKey = wholeKey && !inKey;
            continue;
        }
        TResultColumn &col = columns[std::size_t(found)];
        col.Origin = name;
        if (col.Name == name)
            col.Name = QString::fromUtf8(PQgetvalue(res, row, 4));
        if (inKey)
            key.push_back(found);
    }
    if (wholeKey)
        info.KeyColumns = key;
}
