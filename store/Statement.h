#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

// One prepared SQLite statement, finalized when it goes. It holds exactly
// one statement: text with a second statement after the first is refused.
// Positions are 1-based, as SQLite counts them. Every failure raises
// EDatabaseError with SQLite's own message.
class TStatement {
public:
    TStatement(sqlite3 *db, const QByteArray &utf8Sql);
    TStatement(sqlite3 *db, const QString &sql) : TStatement(db, sql.toUtf8()) {}
    ~TStatement();
    TStatement(const TStatement &) = delete;
    TStatement &operator=(const TStatement &) = delete;

    void BindNull(int pos);
    void BindInt64(int pos, std::int64_t value);
    void BindDouble(int pos, double value);
    void BindText(int pos, const QByteArray &utf8);
    void BindText(int pos, const QString &text) { BindText(pos, text.toUtf8()); }
    // Binds the bytes where they are, without a copy: they must stay as
    // they are until the statement has run (Step, Execute) and been Reset.
    void BindTextInPlace(int pos, const QByteArray &utf8);
    void BindBlob(int pos, const QByteArray &bytes);
    int ParameterCount() const;
    QByteArray ParameterName(int pos) const; // ":deger"; empty for "?"

    // Runs to the next row: true when there is one, false when done.
    bool Step();
    // Runs a statement that returns no rows.
    void Execute();
    void Reset();

    int ColumnCount() const;
    int ColumnType(int col) const; // SQLITE_INTEGER ... SQLITE_NULL; 0-based
    std::int64_t ColumnInt64(int col) const;
    double ColumnDouble(int col) const;
    QByteArray ColumnBytes(int col) const;
    QString ColumnText(int col) const;
    bool ReadOnly() const;

    sqlite3_stmt *Handle() const { return FStmt; }
    sqlite3 *Db() const { return FDb; }

    // Raises EDatabaseError with the connection's latest message.
    [[noreturn]] static void Raise(sqlite3 *db);

private:
    void Check(int rc) const;
    sqlite3 *FDb;
    sqlite3_stmt *FStmt = nullptr;
};

// Runs one statement that returns no rows.
void ExecuteSql(sqlite3 *db, const QByteArray &utf8Sql);
