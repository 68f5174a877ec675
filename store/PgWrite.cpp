// The server's long writes: one transaction, and rows added through
// COPY ... FROM STDIN in its text format, sent in pieces of about 1 MiB.
#include "store/PgProviderImpl.h"

#include "platform/core/Exception.h"
#include "store/PgSql.h"
#include "store/RowArena.h"

#include <libpq-fe.h>
#include <memory>

namespace {

constexpr qsizetype kCopyPiece = 1 << 20;

// One field in COPY's text format.
void AppendCopyField(QByteArray &line, const QByteArray &value)
{
    if (value.isNull()) {
        line += "\\N";
        return;
    }
    for (const char ch : value) {
        switch (ch) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += ch; break;
        }
    }
}

class TPgBulkInsert final : public TBulkInsert {
public:
    TPgBulkInsert(TPgProvider &pg, const TWriteTarget &target, const QStringList &columns) : FPg(pg), FCount(int(columns.size()))
    {
        FPg.StartCopy(PgSql::CopyIn(target, columns));
        FOpen = true;
        FPiece.reserve(kCopyPiece + 64 * 1024);
    }

    ~TPgBulkInsert() override
    {
        // Left unfinished (a failure, a cancel): the server drops the copy
        // and the transaction fails until it is rolled back.
        if (FOpen)
            FPg.AbandonCopy();
    }

    void Add(const QByteArray *values) override
    {
        for (int i = 0; i < FCount; ++i) {
            if (i)
                FPiece += '\t';
            AppendCopyField(FPiece, values[i]);
        }
        FPiece += '\n';
        if (FPiece.size() >= kCopyPiece) {
            FPg.PutCopy(FPiece);
            FPiece.clear();
        }
    }

    void Finish() override
    {
        if (!FPiece.isEmpty())
            FPg.PutCopy(FPiece);
        FPiece.clear();
        FOpen = false;
        FPg.FinishCopy();
    }

private:
    TPgProvider &FPg;
    int FCount;
    bool FOpen = false;
    QByteArray FPiece;
};

} // namespace

void TPgProvider::BeginWrite()
{
    Execute(PgSql::Begin());
    // Held past the lock wait by another import: in use, as on the file.
    std::unique_ptr<PGresult, void (*)(PGresult *)> locked(PQexec(FConn, PgSql::LongWriteLock().constData()), PQclear);
    if (!locked || PQresultStatus(locked.get()) != PGRES_TUPLES_OK) {
        EndTransaction();
        RaiseWrite(locked.get());
    }
}

void TPgProvider::CommitWrite()
{
    Execute(PgSql::Commit());
}

void TPgProvider::RollbackWrite() noexcept
{
    if (PQstatus(FConn) == CONNECTION_OK && PQtransactionStatus(FConn) != PQTRANS_IDLE)
        PQclear(PQexec(FConn, PgSql::Rollback().constData()));
}

std::unique_ptr<TBulkInsert> TPgProvider::BulkInsert(const TWriteTarget &target, const QStringList &columns)
{
    return std::make_unique<TPgBulkInsert>(*this, target, columns);
}

// A lock another desktop held past the session's lock timeout reads as on
// the file.
void TPgProvider::RaiseWrite(pg_result *result)
{
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state && qstrcmp(state, "55P03") == 0)
        throw DatabaseInUseError();
    Raise(result);
}

void TPgProvider::StartCopy(const QByteArray &sql)
{
    PGresult *r = PQexec(FConn, sql.constData());
    if (r && PQresultStatus(r) == PGRES_COPY_IN) {
        PQclear(r);
        return;
    }
    std::unique_ptr<PGresult, void (*)(PGresult *)> owner(r, PQclear);
    RaiseWrite(r);
}

void TPgProvider::FinishCopy()
{
    if (PQputCopyEnd(FConn, nullptr) != 1)
        Raise(nullptr);
    std::unique_ptr<PGresult, void (*)(PGresult *)> failed(nullptr, PQclear);
    while (PGresult *next = PQgetResult(FConn)) {
        if (PQresultStatus(next) != PGRES_COMMAND_OK && !failed)
            failed.reset(next);
        else
            PQclear(next);
    }
    if (failed)
        RaiseWrite(failed.get());
}

void TPgProvider::AbandonCopy() noexcept
{
    if (PQstatus(FConn) != CONNECTION_OK || PQtransactionStatus(FConn) != PQTRANS_ACTIVE)
        return;
    if (PQputCopyEnd(FConn, "abandoned") == 1)
        while (PGresult *r = PQgetResult(FConn))
            PQclear(r);
}

int TPgProvider::RunStatement(const QByteArray &sql, const std::vector<TCellValue> &values, TRowArena *rows)
{
    const TResult r = Run(sql, values);
    PGresult *res = r.R.get();
    if (rows) {
        const int n = PQnfields(res);
        rows->Clear();
        rows->SetColumnCount(n);
        for (int row = 0; row < PQntuples(res); ++row) {
            rows->BeginRow();
            for (const TCellValue &v : PgRowOf(res, row))
                rows->AddCell(v.View());
            rows->EndRow();
        }
    }
    return std::atoi(PQcmdTuples(res));
}

TSyncSql TPgProvider::SyncSql(const TWriteTarget &contacts, const QStringList &columns, const QString &key) const
{
    return PgSql::SyncTables(contacts, columns, key);
}
