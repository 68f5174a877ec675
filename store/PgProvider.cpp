#include "store/PgProviderImpl.h"

#include "platform/core/Exception.h"
#include "store/PgErrors.h"
#include "store/PgSql.h"
#include "store/PgWait.h"

#include <cstdlib>

namespace {

const QString kConnecting = QStringLiteral("Veritabanı sunucusuna bağlanılıyor");
const QString kWaiting = QStringLiteral("Veritabanı sunucusunun yanıtı bekleniyor");

} // namespace
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
    // Only a read runs in a read-only transaction: what the server refused
    // there writes.
    if (state && qstrcmp(state, "25006") == 0)
        throw EDatabaseError(QStringLiteral("CommandText does not return a result set"));
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

void TPgProvider::Send(const QByteArray &sql, const std::vector<TCellValue> &values)
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
}

TPgProvider::TResult TPgProvider::Run(const QByteArray &sql, const std::vector<TCellValue> &values, bool cancellable)
{
    Send(sql, values);
    return Gather(cancellable);
}

// BEGIN, the transaction's id and the statement, sent together (libpq's
// pipeline) and answered together: on a busy server each answer waited for
// is a wait for the processor, which a write's three statements would
// otherwise wait for one after the other.
TPgProvider::TResult TPgProvider::BeginAndRun(const QByteArray &sql, const std::vector<TCellValue> &values, QByteArray *transaction)
{
    if (Lost())
        throw PgErrors::Lost();
    if (!PQenterPipelineMode(FConn))
        Raise(nullptr);
    // Left however the answers end, while the connection is still there.
    struct TPipeline {
        TPgProvider *Provider;
        ~TPipeline()
        {
            if (!Provider->Lost())
                PQexitPipelineMode(Provider->FConn);
        }
    } pipeline{this};
    Send(PgSql::Begin(), {});
    Send(PgSql::TransactionId(), {});
    Send(sql, values);
    if (!PQpipelineSync(FConn))
        Raise(nullptr);
    TPgResult failed, id, last;
    for (TPgResult *answer : {static_cast<TPgResult *>(nullptr), &id, &last}) {
        while (PGresult *next = NextResult(false)) {
            TPgResult r(next);
            const ExecStatusType status = PQresultStatus(r.get());
            if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
                if (answer)
                    *answer = std::move(r);
            } else if (status != PGRES_PIPELINE_ABORTED && !failed) {
                failed = std::move(r);
            }
        }
    }
    // The pipeline's end.
    if (PGresult *sync = NextResult(false))
        PQclear(sync);
    if (failed || Lost() || !id || !last || PQntuples(id.get()) != 1)
        Raise(failed.get());
    *transaction = PQgetvalue(id.get(), 0, 0);
    return {std::move(last)};
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
    case 'w':
        if (PQgetvalue(Run(PgSql::CallLogOutcomeMissing(), {}).R.get(), 0, 0)[0] == 't')
            Execute(PgSql::AddCallLogOutcome());
        return TCallLogAccess::Writable;
    case 'r': return TCallLogAccess::ReadOnly;
    default: return TCallLogAccess::Missing;
    }
}
