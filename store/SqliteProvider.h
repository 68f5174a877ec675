#pragma once

#include "store/Provider.h"

#include <QString>

struct sqlite3;
class TStatement;

// The provider for one desktop: the SQLite file named by the connection's
// "Data Source". The file is opened read and write, never created; a file
// that is not an SQLite database is refused with a clear error and left
// untouched. LIKE and NOCASE on this connection are Turkish.
class TSqliteProvider final : public TProvider {
public:
    explicit TSqliteProvider(const QString &path); // opens; raises EDatabaseError
    ~TSqliteProvider() override;
    TSqliteProvider(const TSqliteProvider &) = delete;
    TSqliteProvider &operator=(const TSqliteProvider &) = delete;

    sqlite3 *Handle() const { return FDb; }
    bool TurkishNoCase() const { return FTurkishNoCase; }

    void Select(const QString &sql, const QStringList &parameterNames, const std::vector<TParameterValue> &values, TRowArena &rows,
                std::vector<TResultColumn> &columns, TResultTable &table) override;
    // The first rows, then the rest from the event loop (SqliteSelect.cpp).
    std::unique_ptr<TRowStream> SelectFirst(const QString &sql, const QStringList &parameterNames,
                                            const std::vector<TParameterValue> &values, TRowArena &rows,
                                            std::vector<TResultColumn> &columns, TResultTable &table, std::size_t first) override;
    std::vector<TCellValue> Insert(const TWriteTarget &target, const QStringList &columns, const std::vector<TCellValue> &values,
                                   const QStringList &returning) override;
    int Update(const TRowWrite &write, std::vector<TCellValue> *stored) override;
    int Delete(const TRowWrite &write) override;
    void BeginWrite() override;
    void CommitWrite() override;
    void RollbackWrite() noexcept override;
    std::unique_ptr<TBulkInsert> BulkInsert(const TWriteTarget &target, const QStringList &columns) override;
    TCallLogAccess PrepareCallLog() override;
    int RunStatement(const QByteArray &sql, const std::vector<TCellValue> &values, TRowArena *rows) override;
    TSyncSql SyncSql(const TWriteTarget &contacts, const QStringList &columns, const QString &key) const override;
    bool OnServer() const override { return false; }

    // How long a statement waits for another program's write to finish.
    static constexpr int BusyTimeoutMs = 5000;

    // The engine's work in the statement now running, which the provider
    // bounds by the size of the file.
    struct TWorkMeter {
        sqlite3 *Db = nullptr;
        long long Steps = 0;
    };

private:
    std::unique_ptr<TStatement> Prepare(const QString &sql, const QStringList &parameterNames, const std::vector<TParameterValue> &values,
                                        std::vector<TResultColumn> &columns, TResultTable &table, TRowArena &rows);
    using TTextCompare = int (*)(const char *, std::size_t, const char *, std::size_t);
    TTextCompare OrderOf(const TStatement &stmt, const QString &name, int *column) const;

    sqlite3 *FDb = nullptr;
    bool FTurkishNoCase = false;
    TWorkMeter FWork;
};
