// The record set's writes on a server: each in a transaction of its own,
// kept until its outcome is known.
#include "store/PgProviderImpl.h"

#include "platform/core/Exception.h"
#include "store/PgErrors.h"
#include "store/PgSql.h"

#include <thread>

namespace {

QByteArray WriteKey(const QByteArray &sql, const std::vector<TCellValue> &values)
{
    QByteArray key = sql;
    for (const TCellValue &v : values)
        key += '\0' + QByteArray::number(int(v.Kind)) + ':' + QByteArray::number(qlonglong(v.Int)) + ':'
            + QByteArray::number(v.Float, 'g', 17) + ':' + QByteArray::number(v.Bytes.size()) + ':' + v.Bytes;
    return key;
}

// The server cannot keep a NUL in text: such a value is refused before
// anything is written.
void CheckNoNul(const QStringList &columns, const std::vector<TCellValue> &values)
{
    for (std::size_t i = 0; i < values.size() && i < std::size_t(columns.size()); ++i)
        if (values[i].Kind == TCellKind::Text && values[i].Bytes.contains('\0'))
            throw EDatabaseError(QStringLiteral("The field %1 holds a NUL character (code 0), which the database "
                                                "server cannot store; nothing was written")
                                     .arg(columns.at(qsizetype(i))));
}

bool Always(const PGresult *)
{
    return true;
}
// By key one row at most matches; by values several may: written only
// when one did.
bool AtMostOneReturned(const PGresult *r)
{
    return PQntuples(r) <= 1;
}
bool AtMostOneTouched(const PGresult *r)
{
    return std::atoi(PQcmdTuples(const_cast<PGresult *>(r))) <= 1;
}

} // namespace

// Whether the write whose answer was lost committed. True with its result
// when it did; false when it did not (it may be written again).
bool TPgProvider::Resolve(TResult *result)
{
    for (int tries = 0;; ++tries) {
        const TResult r = Run(PgSql::TransactionStatus(), {TCellValue::FromText(QString::fromLatin1(FUnresolved->Transaction))});
        const QByteArray status = PQgetvalue(r.R.get(), 0, 0);
        if (status == "committed") {
            *result = std::move(FUnresolved->Result);
            FUnresolved.reset();
            return true;
        }
        if (status != "in progress") {
            FUnresolved.reset();
            return false;
        }
        // The session that sent it has not ended yet.
        if (tries == 20)
            throw EDatabaseError(
                QStringLiteral("The server has not yet finished the change sent before the connection "
                               "was lost; confirm it again in a moment"));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

TPgProvider::TResult TPgProvider::Write(const QByteArray &sql, const std::vector<TCellValue> &values, bool (*commit)(const PGresult *))
{
    const QByteArray key = WriteKey(sql, values);
    if (FUnresolved && FUnresolved->Write != key)
        FUnresolved.reset();
    for (int attempt = 0;; ++attempt) {
        FAbandoned = false;
        if (Lost())
            Connect();
        TResult result;
        if (FUnresolved && Resolve(&result))
            return result;
        try {
            QByteArray transaction;
            result = BeginAndRun(sql, values, &transaction);
            if (!commit(result.R.get())) {
                Simple(PgSql::Rollback());
                return result;
            }
            FUnresolved = std::make_unique<TUnresolved>(TUnresolved{transaction, key, std::move(result)});
            Simple(PgSql::Commit());
            result = std::move(FUnresolved->Result);
            FUnresolved.reset();
            return result;
        } catch (const EDatabaseError &) {
            if (!Lost()) {
                FUnresolved.reset();
                EndTransaction();
                throw;
            }
            // Cut off: once more on a new connection, unless the server
            // went silent (it would most likely stay so).
            if (FAbandoned || attempt > 0)
                throw;
        }
    }
}

std::vector<TCellValue> TPgProvider::Insert(const TWriteTarget &target, const QStringList &columns, const std::vector<TCellValue> &values,
                                            const QStringList &returning)
{
    CheckNoNul(columns, values);
    const TResult r = Write(PgSql::Insert(target, columns, returning), values, Always);
    return PQntuples(r.R.get()) == 1 ? PgRowOf(r.R.get(), 0) : std::vector<TCellValue>();
}

int TPgProvider::Update(const TRowWrite &write, std::vector<TCellValue> *stored)
{
    CheckNoNul(write.Set, write.Values);
    std::vector<TCellValue> values = write.Values;
    std::vector<bool> nulls;
    for (const TCellValue &v : write.Original) {
        nulls.push_back(v.Kind == TCellKind::Null);
        if (v.Kind != TCellKind::Null)
            values.push_back(v);
    }
    const TResult r =
        Write(PgSql::Update(write.Target, write.Set, write.Where, nulls, write.Returning.isEmpty() ? write.Set : write.Returning), values,
              AtMostOneReturned);
    const int matched = PQntuples(r.R.get());
    if (matched >= 1)
        *stored = PgRowOf(r.R.get(), 0);
    return matched;
}

int TPgProvider::Delete(const TRowWrite &write)
{
    std::vector<TCellValue> values;
    std::vector<bool> nulls;
    for (const TCellValue &v : write.Original) {
        nulls.push_back(v.Kind == TCellKind::Null);
        if (v.Kind != TCellKind::Null)
            values.push_back(v);
    }
    const TResult r = Write(PgSql::Delete(write.Target, write.Where, nulls), values, AtMostOneTouched);
    return std::atoi(PQcmdTuples(r.R.get()));
}
