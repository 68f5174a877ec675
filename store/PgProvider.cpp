#include "store/PgProvider.h"

#include "platform/core/Exception.h"
#include "store/PgSql.h"
#include "store/RowArena.h"

#include <cstdlib>
#include <libpq-fe.h>
#include <memory>

namespace {

struct TResultFree {
    void operator()(PGresult *r) const { PQclear(r); }
};
using TPgResult = std::unique_ptr<PGresult, TResultFree>;

// Type oids of the server's built-in types (pg_type.dat).
enum : Oid {
    kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26, kFloat4 = 700,
    kFloat8 = 701, kBpchar = 1042, kVarchar = 1043, kDate = 1082, kTime = 1083, kTimestamp = 1114,
    kTimestampTz = 1184, kTimeTz = 1266, kNumeric = 1700
};

const QString kLost = QStringLiteral("The connection to the database server was lost");

TFieldType FieldTypeOf(Oid type, int modifier, int *size)
{
    *size = 0;
    switch (type) {
    case kBool: return ftBoolean;
    case kInt2: case kInt4: case kInt8: case kOid: return ftInteger;
    case kFloat4: case kFloat8: case kNumeric: return ftFloat;
    case kBytea: return ftBlob;
    case kDate: return ftDate;
    case kTime: case kTimeTz: return ftTime;
    case kTimestamp: case kTimestampTz: return ftDateTime;
    case kText: return ftMemo;
    case kVarchar: case kBpchar:
        *size = modifier >= 4 ? modifier - 4 : 0;
        return ftString;
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
    case kInt2: case kInt4: case kInt8: case kOid:
        v.Kind = TCellKind::Integer;
        v.Int = std::strtoll(text, nullptr, 10);
        break;
    case kFloat4: case kFloat8:
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

std::vector<TCellValue> RowOf(const PGresult *r, int row)
{
    std::vector<TCellValue> values;
    QByteArray scratch;
    for (int c = 0; c < PQnfields(r); ++c)
        values.push_back(TCellValue::FromView(CellOf(r, row, c, scratch)));
    return values;
}

QString FirstLine(const char *message)
{
    return QString::fromUtf8(message).section(u'\n', 0, 0).trimmed();
}

// What a failed connection attempt tells the user: libpq's reason without
// its preamble. libpq never repeats a password; the connection string is
// checked before, so that its own text is never shown.
QString ConnectError(const char *message)
{
    const QString text = QString::fromUtf8(message);
    const QString prefix = QStringLiteral("Cannot connect to the database server: ");
    if (text.contains(QLatin1String("Connection refused")) || text.contains(QLatin1String("No such file or directory")))
        return prefix + QStringLiteral("connection refused");
    if (text.contains(QLatin1String("authentication failed")) || text.contains(QLatin1String("no password supplied")))
        return prefix + QStringLiteral("authentication failed");
    QString reason = FirstLine(message);
    const qsizetype failed = reason.indexOf(QLatin1String("failed: "));
    if (failed >= 0)
        reason = reason.mid(failed + 8);
    if (reason.startsWith(QLatin1String("FATAL:")))
        reason = reason.mid(6).trimmed();
    return prefix + reason;
}

} // namespace

struct TPgProvider::TResult {
    TPgResult R;
};

TPgProvider::TPgProvider(const QString &server)
{
    const QByteArray info = server.toUtf8();
    char *parseError = nullptr;
    if (PQconninfoOption *options = PQconninfoParse(info.constData(), &parseError)) {
        PQconninfoFree(options);
    } else {
        PQfreemem(parseError);
        throw EDatabaseError(QStringLiteral("The server named for this data source in Veri.ini is not a valid "
                                            "PostgreSQL connection string"));
    }
    const char *const keywords[] = {"dbname", "client_encoding", "fallback_application_name", nullptr};
    const char *const values[] = {info.constData(), "UTF8", "velmora-rehber", nullptr};
    FConn = PQconnectdbParams(keywords, values, 1);
    if (PQstatus(FConn) != CONNECTION_OK) {
        const QString message = ConnectError(PQerrorMessage(FConn));
        PQfinish(FConn);
        throw EDatabaseError(message);
    }
    try {
        Execute(PgSql::SessionSetup());
    } catch (...) {
        PQfinish(FConn);
        throw;
    }
}

TPgProvider::~TPgProvider()
{
    PQfinish(FConn);
}

bool TPgProvider::Lost() const
{
    return PQstatus(FConn) != CONNECTION_OK;
}

void TPgProvider::Raise(PGresult *result)
{
    if (Lost())
        throw EDatabaseError(kLost);
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state && (qstrncmp(state, "57P", 3) == 0 || qstrncmp(state, "08", 2) == 0))
        throw EDatabaseError(kLost);
    const char *primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    throw EDatabaseError(primary ? QString::fromUtf8(primary) : FirstLine(PQerrorMessage(FConn)));
}

namespace {

// Ends an open transaction that an error left behind.
class TRollbackOnError {
public:
    explicit TRollbackOnError(PGconn *conn) : FConn(conn) {}
    ~TRollbackOnError()
    {
        if (PQstatus(FConn) == CONNECTION_OK && PQtransactionStatus(FConn) != PQTRANS_IDLE)
            PQclear(PQexec(FConn, PgSql::Rollback().constData()));
    }

private:
    PGconn *FConn;
};

} // namespace

TPgProvider::TResult TPgProvider::Run(const QByteArray &sql, const std::vector<TCellValue> &values)
{
    std::vector<QByteArray> texts(values.size());
    std::vector<const char *> pointers(values.size());
    std::vector<int> lengths(values.size()), formats(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const TCellValue &v = values[i];
        switch (v.Kind) {
        case TCellKind::Null: break;
        case TCellKind::Integer: texts[i] = QByteArray::number(qlonglong(v.Int)); break;
        case TCellKind::Float: texts[i] = QByteArray::number(v.Float, 'g', 17); break;
        case TCellKind::Blob: formats[i] = 1; [[fallthrough]];
        case TCellKind::Text: texts[i] = v.Bytes; break;
        }
        pointers[i] = v.Kind == TCellKind::Null ? nullptr : texts[i].constData();
        lengths[i] = int(texts[i].size());
    }
    TPgResult r(PQexecParams(FConn, sql.constData(), int(values.size()), nullptr, pointers.data(), lengths.data(),
                             formats.data(), 0));
    const ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        Raise(r.get());
    return {std::move(r)};
}

void TPgProvider::Execute(const QByteArray &sql)
{
    TPgResult r(PQexec(FConn, sql.constData()));
    const ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        Raise(r.get());
}

int TPgProvider::Execute(const QByteArray &sql, const std::vector<TCellValue> &values)
{
    return std::atoi(PQcmdTuples(Run(sql, values).R.get()));
}

void TPgProvider::Select(const QString &sql, const QStringList &parameterNames,
                         const std::vector<TParameterValue> &values, TRowArena &rows,
                         std::vector<TResultColumn> &columns, TResultTable &table)
{
    QStringList names;
    const QByteArray text = PgSql::NumberedParameters(sql, &names);
    std::vector<TCellValue> bound;
    for (const QString &name : names) {
        TCellValue v;
        for (int k = 0; k < int(parameterNames.size()); ++k)
            if (parameterNames.at(k).compare(name, Qt::CaseInsensitive) == 0) {
                if (values[std::size_t(k)])
                    v = TCellValue::FromText(*values[std::size_t(k)]);
                break;
            }
        bound.push_back(v);
    }
    std::vector<const char *> pointers;
    for (const TCellValue &v : bound)
        pointers.push_back(v.Kind == TCellKind::Null ? nullptr : v.Bytes.constData());

    TRollbackOnError rollback(FConn);
    // A read-only transaction: a statement that writes is refused by the server.
    Execute(PgSql::BeginReadOnly());
    if (!PQsendQueryParams(FConn, text.constData(), int(pointers.size()), nullptr, pointers.data(), nullptr, nullptr, 0))
        Raise(nullptr);
    PQsetSingleRowMode(FConn);

    rows.Clear();
    columns.clear();
    std::vector<unsigned> tables;
    std::vector<int> tableColumns;
    bool described = false;
    TPgResult failed;
    QByteArray scratch;
    // The rows arrive one at a time and go straight into the snapshot.
    while (PGresult *next = PQgetResult(FConn)) {
        TPgResult r(next);
        const ExecStatusType status = PQresultStatus(r.get());
        if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
            if (status != PGRES_COMMAND_OK && !failed)
                failed = std::move(r);
            continue;
        }
        if (failed)
            continue;
        const int n = PQnfields(r.get());
        if (!described) {
            described = true;
            rows.SetColumnCount(n);
            for (int c = 0; c < n; ++c) {
                TResultColumn col;
                col.Name = QString::fromUtf8(PQfname(r.get(), c));
                col.Type = FieldTypeOf(PQftype(r.get(), c), PQfmod(r.get(), c), &col.Size);
                columns.push_back(col);
                tables.push_back(PQftable(r.get(), c));
                tableColumns.push_back(PQftablecol(r.get(), c));
            }
        }
        for (int row = 0; row < PQntuples(r.get()); ++row) {
            rows.BeginRow();
            for (int c = 0; c < n; ++c)
                rows.AddCell(CellOf(r.get(), row, c, scratch));
            rows.EndRow();
        }
    }
    if (failed || Lost()) {
        rows.Clear();
        const char *state = failed ? PQresultErrorField(failed.get(), PG_DIAG_SQLSTATE) : nullptr;
        if (state && qstrcmp(state, "25006") == 0)
            throw EDatabaseError(QStringLiteral("CommandText does not return a result set"));
        Raise(failed.get());
    }
    Execute(PgSql::Commit());
    if (columns.empty()) {
        rows.Clear();
        throw EDatabaseError(QStringLiteral("CommandText does not return a result set"));
    }
    rows.ShrinkToFit();

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

std::vector<TCellValue> TPgProvider::Insert(const TWriteTarget &target, const QStringList &columns,
                                            const std::vector<TCellValue> &values, const QStringList &returning)
{
    const TResult r = Run(PgSql::Insert(target, columns, returning), values);
    return PQntuples(r.R.get()) == 1 ? RowOf(r.R.get(), 0) : std::vector<TCellValue>();
}

int TPgProvider::Update(const TRowWrite &write, std::vector<TCellValue> *stored)
{
    TRollbackOnError rollback(FConn);
    // Found by values, the row might be one of several: written only when
    // it is one.
    if (!write.ByKey)
        Execute(PgSql::Begin());
    std::vector<TCellValue> values = write.Values;
    values.insert(values.end(), write.Original.begin(), write.Original.end());
    const TResult r = Run(PgSql::Update(write.Target, write.Set, write.Where, write.Set), values);
    const int matched = PQntuples(r.R.get());
    if (matched >= 1)
        *stored = RowOf(r.R.get(), 0);
    if (!write.ByKey)
        Execute(matched == 1 ? PgSql::Commit() : PgSql::Rollback());
    return matched;
}

int TPgProvider::Delete(const TRowWrite &write)
{
    TRollbackOnError rollback(FConn);
    if (!write.ByKey)
        Execute(PgSql::Begin());
    const int matched = Execute(PgSql::Delete(write.Target, write.Where), write.Original);
    if (!write.ByKey)
        Execute(matched == 1 ? PgSql::Commit() : PgSql::Rollback());
    return matched;
}

void TPgProvider::BeginCopy(const QByteArray &sql)
{
    TPgResult r(PQexec(FConn, sql.constData()));
    if (!r || PQresultStatus(r.get()) != PGRES_COPY_IN)
        Raise(r.get());
}

void TPgProvider::PutCopy(const QByteArray &data)
{
    if (PQputCopyData(FConn, data.constData(), int(data.size())) != 1)
        Raise(nullptr);
}

void TPgProvider::EndCopy()
{
    if (PQputCopyEnd(FConn, nullptr) != 1)
        Raise(nullptr);
    TPgResult failed;
    while (PGresult *next = PQgetResult(FConn)) {
        TPgResult r(next);
        if (PQresultStatus(r.get()) != PGRES_COMMAND_OK && !failed)
            failed = std::move(r);
    }
    if (failed)
        Raise(failed.get());
}

TCallLogAccess TPgProvider::PrepareCallLog()
{
    const TResult access = Run(PgSql::CallLogAccess(), {});
    switch (PQgetvalue(access.R.get(), 0, 0)[0]) {
    case 'c':
        Execute(PgSql::CreateCallLog());
        return TCallLogAccess::Writable;
    case 'w':
        return TCallLogAccess::Writable;
    case 'r':
        return TCallLogAccess::ReadOnly;
    default:
        return TCallLogAccess::Missing;
    }
}
