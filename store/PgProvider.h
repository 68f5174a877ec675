#pragma once

#include "store/Provider.h"

#include <QByteArray>
#include <QString>

struct pg_conn;
struct pg_result;

// The provider for an office: a PostgreSQL server through libpq. The
// server is named by a libpq connection string or postgresql:// URI (see
// DataSources.h), handed to libpq as its own keywords; credentials come
// from libpq's own files. Failures are raised as EDatabaseError with texts
// that name no secret. A connection the server dropped is noticed, and the
// connection's next Open connects again; nothing is retried by itself.
class TPgProvider final : public TProvider {
public:
    explicit TPgProvider(const QString &server); // connects; raises EDatabaseError
    ~TPgProvider() override;
    TPgProvider(const TPgProvider &) = delete;
    TPgProvider &operator=(const TPgProvider &) = delete;

    bool Lost() const override;

    void Select(const QString &sql, const QStringList &parameterNames, const std::vector<TParameterValue> &values,
                TRowArena &rows, std::vector<TResultColumn> &columns, TResultTable &table) override;
    std::vector<TCellValue> Insert(const TWriteTarget &target, const QStringList &columns,
                                   const std::vector<TCellValue> &values, const QStringList &returning) override;
    int Update(const TRowWrite &write, std::vector<TCellValue> *stored) override;
    int Delete(const TRowWrite &write) override;
    TCallLogAccess PrepareCallLog() override;

    // Runs statements that return no rows (the contacts tool's schema and copy).
    void Execute(const QByteArray &sql);
    // Runs one statement with text parameters (null when unset); returns the
    // number of rows it touched.
    int Execute(const QByteArray &sql, const std::vector<TCellValue> &values);

    // COPY ... FROM STDIN: Begin, the data in pieces of text format, End.
    void BeginCopy(const QByteArray &sql);
    void PutCopy(const QByteArray &data);
    void EndCopy();

private:
    struct TResult;
    TResult Run(const QByteArray &sql, const std::vector<TCellValue> &values);
    [[noreturn]] void Raise(pg_result *result);
    void DescribeTable(unsigned table, std::vector<TResultColumn> &columns, TResultTable &info,
                       const std::vector<int> &tableColumns);

    pg_conn *FConn = nullptr;
};
