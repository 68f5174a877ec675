#include "store/PgProviderImpl.h"

#include "platform/core/Exception.h"
#include "store/PgErrors.h"
#include "store/PgSql.h"
#include "store/PgWait.h"
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

const QString kConnecting = QStringLiteral("Veritabanı sunucusuna bağlanılıyor");
const QString kWaiting = QStringLiteral("Veritabanı sunucusunun yanıtı bekleniyor");

} // namespace

std::vector<TCellValue> PgRowOf(const PGresult *r, int row)
{
    std::vector<TCellValue> values;
    QByteArray scratch;
    for (int c = 0; c < PQnfields(r); ++c)
        values.push_back(TCellValue::FromView(CellOf(r, row, c, scratch)));
    return values;
}

TPgProvider::TPgProvider(const QString &server, TExpect expect) : FInfo(server.toUtf8()), FExpect(expect)
{
    char *parseError = nullptr;
    if (PQconninfoOption *options = PQconninfoParse(FInfo.constData(), &parseError)) {
        PQconninfoFree(options);
    } else {
        const EDatabaseError error = PgErrors::BadConnectionString(parseError);
        PQfreemem(parseError);
        throw error;
    }
    Connect();
}

TPgProvider::~TPgProvider()
{
    PQfinish(FConn);
}

void TPgProvider::Connect()
{
    PQfinish(FConn);
    FConn = nullptr;
    // The settings before dbname are defaults the server's connection
    // string may change; those after it are the program's own.
    const char *const keywords[] = {"connect_timeout",
                                    "keepalives",
                                    "keepalives_idle",
                                    "keepalives_interval",
                                    "keepalives_count",
                                    "dbname",
                                    "client_encoding",
                                    "fallback_application_name",
                                    nullptr};
    const char *const values[] = {"10", "1", "30", "10", "3", FInfo.constData(), "UTF8", "velmora-rehber", nullptr};
    TPgWaitEnd end = TPgWaitEnd::Broken;
    int seconds = 0;
    PGconn *conn = PgConnect(keywords, values, kConnecting, &end, &seconds);
    if (end != TPgWaitEnd::Ready) {
        const EDatabaseError error = end == TPgWaitEnd::Silent ? PgErrors::ConnectSilent(seconds) : PgErrors::ConnectFailed(conn);
        PQfinish(conn);
        if (end == TPgWaitEnd::Cancelled)
            throw EAbort();
        throw error;
    }
    FConn = conn;
    // The server's notices ("already exists, skipping") are not for the user.
    PQsetNoticeProcessor(
        FConn, [](void *, const char *) {}, nullptr);
    try {
        Simple(PgSql::SessionSetup(), true);
        if (FExpect == TExpect::Contacts)
            CheckContactsSchema();
    } catch (...) {
        PQfinish(FConn);
        FConn = nullptr;
        throw;
    }
}

void TPgProvider::CheckContactsSchema()
{
    const TResult r = Run(PgSql::ContactsSchemaCheck(), {}, true);
    static const char *const parts[] = {"the schema velmora",           "its Turkish collation velmora.tr_ci",
                                        "its Turkish LIKE operator",    "the table dbase",
                                        "the identity key no of dbase", "the Turkish order on every text column of dbase"};
    QStringList missing;
    const bool table = PQgetvalue(r.R.get(), 0, 3)[0] == 't';
    for (int i = 0; i < 6; ++i)
        if (PQgetvalue(r.R.get(), 0, i)[0] != 't' && (table || i < 4))
            missing << QString::fromLatin1(parts[i]);
    if (!missing.isEmpty())
        throw PgErrors::Unprepared(missing.join(QLatin1String(", ")));
}

bool TPgProvider::Lost() const
{
    return !FConn || PQstatus(FConn) != CONNECTION_OK;
}

void TPgProvider::Raise(PGresult *result)
{
    if (Lost())
        throw PgErrors::Lost();
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state && (qstrncmp(state, "57P", 3) == 0 || qstrncmp(state, "08", 2) == 0))
        throw PgErrors::Lost();
    throw PgErrors::StatementFailed(FConn, result);
}

// Gives the connection up: what it was doing is left to the server, which
// ends it when it notices the connection gone.
void TPgProvider::Abandon()
{
    FAbandoned = true;
    PQfinish(FConn);
    FConn = nullptr;
}

PGresult *TPgProvider::NextResult(bool cancellable)
{
    if (Lost())
        return nullptr;
    switch (PgAwait(FConn, {kWaiting, cancellable, FAnswerBound})) {
    case TPgWaitEnd::Ready: return PQgetResult(FConn);
    case TPgWaitEnd::Broken: return PQstatus(FConn) == CONNECTION_BAD ? nullptr : PQgetResult(FConn);
    case TPgWaitEnd::Silent: Abandon(); throw PgErrors::StatementSilent(int(FAnswerBound.count() / 1000));
    case TPgWaitEnd::Cancelled:
        PgCancelInBackground(FConn);
        Abandon();
        throw EAbort();
    }
    return nullptr;
}

// The results of the statements sent: the first that failed raises,
// else the last is returned.
TPgProvider::TResult TPgProvider::Gather(bool cancellable)
{
    TPgResult failed, last;
    while (PGresult *next = NextResult(cancellable)) {
        TPgResult r(next);
        const ExecStatusType status = PQresultStatus(r.get());
        if (status == PGRES_COPY_IN)
            return {std::move(r)};
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            if (!failed)
                failed = std::move(r);
        } else {
            last = std::move(r);
        }
    }
    if (failed || Lost() || !last)
        Raise(failed.get());
    return {std::move(last)};
}

// Ends a transaction an error left open; the error raised stays the one
// the user reads.
void TPgProvider::EndTransaction() noexcept
{
    if (Lost() || PQtransactionStatus(FConn) == PQTRANS_IDLE)
        return;
    try {
        Simple(PgSql::Rollback());
    } catch (...) {
    }
}

TPgProvider::TResult TPgProvider::Run(const QByteArray &sql, const std::vector<TCellValue> &values, bool cancellable)
{
    if (Lost())
        throw PgErrors::Lost();
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
    if (!PQsendQueryParams(FConn, sql.constData(), int(values.size()), nullptr, pointers.data(), lengths.data(), formats.data(), 0))
        Raise(nullptr);
    return Gather(cancellable);
}

TPgProvider::TResult TPgProvider::Simple(const QByteArray &sql, bool cancellable)
{
    if (Lost())
        throw PgErrors::Lost();
    if (!PQsendQuery(FConn, sql.constData()))
        Raise(nullptr);
    return Gather(cancellable);
}

void TPgProvider::Execute(const QByteArray &sql)
{
    Simple(sql);
}

int TPgProvider::Execute(const QByteArray &sql, const std::vector<TCellValue> &values)
{
    return std::atoi(PQcmdTuples(Run(sql, values).R.get()));
}

void TPgProvider::Select(const QString &sql, const QStringList &parameterNames, const std::vector<TParameterValue> &values, TRowArena &rows,
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

    rows.Clear();
    columns.clear();
    std::vector<unsigned> tables;
    std::vector<int> tableColumns;
    bool described = false;
    TPgResult failed;
    QByteArray scratch;
    // Inside a long write's transaction the rows are read in it, under its lock.
    const bool inWrite = PQtransactionStatus(FConn) == PQTRANS_INTRANS;
    try {
        // A read-only transaction: a statement that writes is refused by the server.
        if (!inWrite)
            Simple(PgSql::BeginReadOnly(), true);
        if (!PQsendQueryParams(FConn, text.constData(), int(pointers.size()), nullptr, pointers.data(), nullptr, nullptr, 0))
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
            const char *state = failed ? PQresultErrorField(failed.get(), PG_DIAG_SQLSTATE) : nullptr;
            if (state && qstrcmp(state, "25006") == 0)
                throw EDatabaseError(QStringLiteral("CommandText does not return a result set"));
            Raise(failed.get());
        }
        if (!inWrite)
            Simple(PgSql::Commit(), true);
    } catch (...) {
        rows.Clear();
        columns.clear();
        if (!inWrite)
            EndTransaction();
        throw;
    }
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

void TPgProvider::PutCopy(const QByteArray &data)
{
    if (PQputCopyData(FConn, data.constData(), int(data.size())) != 1)
        Raise(nullptr);
}

TCallLogAccess TPgProvider::PrepareCallLog()
{
    const TResult access = Run(PgSql::CallLogAccess(), {});
    switch (PQgetvalue(access.R.get(), 0, 0)[0]) {
    case 'c': Execute(PgSql::CreateCallLog()); return TCallLogAccess::Writable;
    case 'w': return TCallLogAccess::Writable;
    case 'r': return TCallLogAccess::ReadOnly;
    default: return TCallLogAccess::Missing;
    }
}
