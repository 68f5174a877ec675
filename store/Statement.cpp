#include "store/Statement.h"

#include "platform/core/Exception.h"

#include <sqlite3.h>

namespace {

// The engine's error with what a user can do about it: a file this user may
// not write, a database another program holds.
EDatabaseError EngineError(sqlite3 *db, const QString &message)
{
    const QString engineText = QString::fromUtf8(sqlite3_errmsg(db));
    switch (sqlite3_errcode(db) & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_PERM: return EDatabaseError(message, {TErrorKind::PermissionDenied, {}, engineText, 0});
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return EDatabaseError(message, {TErrorKind::DatabaseInUse, {}, engineText, 0});
    default: return EDatabaseError(message);
    }
}

} // namespace

void TStatement::Raise(sqlite3 *db)
{
    throw EngineError(db, QString::fromUtf8(sqlite3_errmsg(db)));
}

TStatement::TStatement(sqlite3 *db, const QByteArray &utf8Sql) : FDb(db)
{
    if (!db)
        throw EDatabaseError(QStringLiteral("Connection is closed"));
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db, utf8Sql.constData(), int(utf8Sql.size()), &FStmt, &tail) != SQLITE_OK)
        Raise(db);
    if (!FStmt)
        throw EDatabaseError(QStringLiteral("The statement is empty"));
    // Whatever follows the first statement must be blank or comments.
    if (tail && tail < utf8Sql.constData() + utf8Sql.size()) {
        sqlite3_stmt *second = nullptr;
        const int rc = sqlite3_prepare_v2(db, tail, int(utf8Sql.constData() + utf8Sql.size() - tail), &second, nullptr);
        const bool more = rc != SQLITE_OK || second != nullptr;
        sqlite3_finalize(second);
        if (more) {
            sqlite3_finalize(FStmt);
            FStmt = nullptr;
            throw EDatabaseError(QStringLiteral("Only one statement can be run at a time"));
        }
    }
}

TStatement::~TStatement()
{
    sqlite3_finalize(FStmt);
}

void TStatement::Check(int rc) const
{
    if (rc != SQLITE_OK)
        Raise(FDb);
}

void TStatement::BindNull(int pos)
{
    Check(sqlite3_bind_null(FStmt, pos));
}
void TStatement::BindInt64(int pos, std::int64_t value)
{
    Check(sqlite3_bind_int64(FStmt, pos, value));
}
void TStatement::BindDouble(int pos, double value)
{
    Check(sqlite3_bind_double(FStmt, pos, value));
}

void TStatement::BindText(int pos, const QByteArray &utf8)
{
    Check(sqlite3_bind_text64(FStmt, pos, utf8.constData(), sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void TStatement::BindTextInPlace(int pos, const QByteArray &utf8)
{
    Check(sqlite3_bind_text64(FStmt, pos, utf8.constData(), sqlite3_uint64(utf8.size()), SQLITE_STATIC, SQLITE_UTF8));
}

void TStatement::BindBlob(int pos, const QByteArray &bytes)
{
    Check(sqlite3_bind_blob64(FStmt, pos, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT));
}

int TStatement::ParameterCount() const
{
    return sqlite3_bind_parameter_count(FStmt);
}

QByteArray TStatement::ParameterName(int pos) const
{
    const char *name = sqlite3_bind_parameter_name(FStmt, pos);
    return name ? QByteArray(name) : QByteArray();
}

bool TStatement::Step()
{
    const int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // The statement's own error text (sqlite3_step keeps it on the handle);
    // an interrupted statement was stopped by the connection's bound on work.
    const QString message = rc == SQLITE_INTERRUPT
        ? QStringLiteral("The query cannot be completed: it does far more work than the database file calls for")
        : QString::fromUtf8(sqlite3_errmsg(FDb));
    const EDatabaseError error = EngineError(FDb, message);
    sqlite3_reset(FStmt);
    throw error;
}

void TStatement::Execute()
{
    while (Step()) {
    }
}

void TStatement::Reset()
{
    sqlite3_reset(FStmt);
    sqlite3_clear_bindings(FStmt);
}

int TStatement::ColumnCount() const
{
    return sqlite3_column_count(FStmt);
}
int TStatement::ColumnType(int col) const
{
    return sqlite3_column_type(FStmt, col);
}
std::int64_t TStatement::ColumnInt64(int col) const
{
    return sqlite3_column_int64(FStmt, col);
}
double TStatement::ColumnDouble(int col) const
{
    return sqlite3_column_double(FStmt, col);
}

QByteArray TStatement::ColumnBytes(int col) const
{
    const void *data = sqlite3_column_blob(FStmt, col);
    const int n = sqlite3_column_bytes(FStmt, col);
    return data ? QByteArray(static_cast<const char *>(data), n) : QByteArray();
}

QString TStatement::ColumnText(int col) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(FStmt, col));
    const int n = sqlite3_column_bytes(FStmt, col);
    return text ? QString::fromUtf8(text, n) : QString();
}

bool TStatement::ReadOnly() const
{
    return sqlite3_stmt_readonly(FStmt) != 0;
}

void ExecuteSql(sqlite3 *db, const QByteArray &utf8Sql)
{
    TStatement(db, utf8Sql).Execute();
}
