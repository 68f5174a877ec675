#include "support/ContactsDb.h"

#include "support/TestServer.h"
#include "contacts/ContactsDatabase.h"

#include <QtTest>
#include <sqlite3.h>

namespace {

struct TDb {
    sqlite3 *db = nullptr;
    explicit TDb(const QString &path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            qFatal("cannot open %s", qPrintable(path));
        sqlite3_busy_timeout(db, 5000);
    }
    ~TDb() { sqlite3_close(db); }
};

void Bind(sqlite3_stmt *stmt, int position, const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        sqlite3_bind_null(stmt, position);
    else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
        sqlite3_bind_int64(stmt, position, value.toLongLong());
    else if (value.typeId() == QMetaType::Double)
        sqlite3_bind_double(stmt, position, value.toDouble());
    else {
        const QByteArray text = value.toString().toUtf8();
        sqlite3_bind_text(stmt, position, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
}

QVariant Column(sqlite3_stmt *stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(stmt, column));
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)), sqlite3_column_bytes(stmt, column));
    }
}

std::vector<QVariantList> Run(TDb &db, const QString &sql, const QVariantList &args)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db.db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        qFatal("bad test statement %s: %s", qPrintable(sql), sqlite3_errmsg(db.db));
    for (int i = 0; i < args.size(); ++i)
        Bind(stmt, i + 1, args.at(i));
    std::vector<QVariantList> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QVariantList row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            row << Column(stmt, c);
        rows.push_back(row);
    }
    if (rc != SQLITE_DONE)
        qFatal("test statement failed %s: %s", qPrintable(sql), sqlite3_errmsg(db.db));
    sqlite3_finalize(stmt);
    return rows;
}

} // namespace

void MakeContactsDatabase(const QString &path, const std::vector<TContactRow> &rows)
{
    if (ServerTests())
        return MakeServerContacts(path, rows);
    CreateContactsDatabase(path);
    TDb db(path);
    sqlite3_exec(db.db, "BEGIN", nullptr, nullptr, nullptr);
    for (const TContactRow &row : rows) {
        QVariantList args(row.begin(), row.end());
        while (args.size() < 7)
            args << QVariant();
        Run(db,
            QStringLiteral("INSERT INTO DBASE (Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)"),
            args);
    }
    sqlite3_exec(db.db, "COMMIT", nullptr, nullptr, nullptr);
}

QVariant RunSql(const QString &path, const QString &sql, const QVariantList &args)
{
    const auto rows = ServerTests() ? ServerRows(path, sql, args) : [&] {
        TDb db(path);
        return Run(db, sql, args);
    }();
    return rows.empty() || rows.front().isEmpty() ? QVariant() : rows.front().front();
}

std::vector<QVariantList> QueryRows(const QString &path, const QString &sql)
{
    if (ServerTests())
        return ServerRows(path, sql);
    TDb db(path);
    return Run(db, sql, {});
}

void ExecSql(const QString &path, const QString &sql)
{
    if (ServerTests()) {
        ServerRows(path, sql);
        return;
    }
    TDb db(path);
    char *error = nullptr;
    const int rc = sqlite3_exec(db.db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const QString message = QString::fromUtf8(error);
    sqlite3_free(error);
    QVERIFY2(rc == SQLITE_OK, qPrintable(sql + QStringLiteral(": ") + message));
}

QStringList ContactRows(const QString &path, const QString &order)
{
    QStringList rows;
    for (const QVariantList &row :
         QueryRows(path, QStringLiteral("SELECT Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres FROM DBASE ORDER BY ") + order)) {
        QStringList values;
        for (const QVariant &v : row)
            values << v.toString();
        rows << values.join(u'|');
    }
    return rows;
}
