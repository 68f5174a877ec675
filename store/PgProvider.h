#pragma once

#include "store/Provider.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <memory>

struct pg_conn;
struct pg_result;

// The provider for an office: a PostgreSQL server through libpq. The
// server is named by a libpq connection string or postgresql:// URI (see
// DataSources.h), handed to libpq as its own keywords; credentials come
// from libpq's own files. Failures are raised as EDatabaseError with texts
// that name no secret (PgErrors.h).
//
// No wait is without limit: a connection attempt gives up after the
// connection string's connect_timeout (10 seconds unless it says
// otherwise), TCP keepalives are on, and a statement whose server stays
// silent for AnswerBound is abandoned with its connection. Every wait
// shows as a TProgress; an Open's wait can be stopped by the user (EAbort).
//
// A connection the server dropped is noticed; the connection's next Open
// connects again, and a write connects again by itself. Each write runs
// in a transaction of its own whose id is read first: a write cut off
// before its outcome was known is repeated once on a new connection, or,
// when its COMMIT had been sent, looked up on the server and repeated only
// when it did not commit.
class TPgProvider final : public TProvider {
public:
    // What the database must hold: the contacts schema `create` makes
    // (checked on connecting: what is missing is named), or nothing yet.
    enum class TExpect { Contacts, Nothing };
    // Connects; raises EDatabaseError, or EAbort when the user stopped it.
    explicit TPgProvider(const QString &server, TExpect expect = TExpect::Contacts);
    ~TPgProvider() override;
    TPgProvider(const TPgProvider &) = delete;
    TPgProvider &operator=(const TPgProvider &) = delete;

    bool Lost() const override;

    // Raises EDatabaseError naming what `create` would have made and the
    // database lacks; returns when it holds everything.
    void CheckContactsSchema();

    void Select(const QString &sql, const QStringList &parameterNames, const std::vector<TParameterValue> &values, TRowArena &rows,
                std::vector<TResultColumn> &columns, TResultTable &table) override;
    // A SELECT is read through a cursor: the first rows, then the rest in
    // its transaction (PgSelect.cpp).
    std::unique_ptr<TRowStream> SelectFirst(const QString &sql, const QStringList &parameterNames,
                                            const std::vector<TParameterValue> &values, TRowArena &rows,
                                            std::vector<TResultColumn> &columns, TResultTable &table, std::size_t first) override;
    std::vector<TCellValue> Insert(const TWriteTarget &target, const QStringList &columns, const std::vector<TCellValue> &values,
                                   const QStringList &returning) override;
    int Update(const TRowWrite &write, std::vector<TCellValue> *stored) override;
    int Delete(const TRowWrite &write) override;
    // In PgWrite.cpp.
    void BeginWrite() override;
    void CommitWrite() override;
    void RollbackWrite() noexcept override;
    std::unique_ptr<TBulkInsert> BulkInsert(const TWriteTarget &target, const QStringList &columns) override;

    // The longest the server may stay silent on a statement (0: no limit,
    // for the contacts tool's long work).
    void SetAnswerBound(std::chrono::milliseconds bound) { FAnswerBound = bound; }
    TCallLogAccess PrepareCallLog() override;
    int RunStatement(const QByteArray &sql, const std::vector<TCellValue> &values, TRowArena *rows) override;
    TSyncSql SyncSql(const TWriteTarget &contacts, const QStringList &columns, const QString &key) const override;
    bool OnServer() const override { return true; }

    // Runs statements that return no rows (the contacts tool's schema and copy).
    void Execute(const QByteArray &sql);
    // Runs one statement with text parameters (null when unset); returns the
    // number of rows it touched.
    int Execute(const QByteArray &sql, const std::vector<TCellValue> &values);

    // COPY ... FROM STDIN for the bulk insert (PgWrite.cpp): Start, the data
    // in pieces of text format, Finish. A lock held too long by another
    // desktop raises DatabaseInUseError(); Abandon ends a copy unfinished.
    void PutCopy(const QByteArray &data);
    void StartCopy(const QByteArray &sql);
    void FinishCopy();
    void AbandonCopy() noexcept;

private:
    struct TResult;
    struct TUnresolved;
    class TCursor;
    void Describe(std::vector<TResultColumn> &columns, TResultTable &table, const std::vector<unsigned> &tables,
                  const std::vector<int> &tableColumns);
    void Connect();
    TResult Run(const QByteArray &sql, const std::vector<TCellValue> &values, bool cancellable = false);
    void Send(const QByteArray &sql, const std::vector<TCellValue> &values);
    TResult BeginAndRun(const QByteArray &sql, const std::vector<TCellValue> &values, QByteArray *transaction);
    TResult Simple(const QByteArray &sql, bool cancellable = false);
    TResult Gather(bool cancellable);
    pg_result *NextResult(bool cancellable);
    void Abandon();
    void EndTransaction() noexcept;
    [[noreturn]] void Raise(pg_result *result);
    [[noreturn]] void RaiseWrite(pg_result *result);
    void DescribeTable(unsigned table, std::vector<TResultColumn> &columns, TResultTable &info, const std::vector<int> &tableColumns);
    TResult Write(const QByteArray &sql, const std::vector<TCellValue> &values, bool (*commit)(const pg_result *));
    bool Resolve(TResult *result);

    QByteArray FInfo;
    TExpect FExpect;
    pg_conn *FConn = nullptr;
    std::chrono::milliseconds FAnswerBound{30000};
    bool FAbandoned = false; // the last wait was given up: not repeated
    std::unique_ptr<TUnresolved> FUnresolved;
};
