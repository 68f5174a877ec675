#include "StoreTestSupport.h"

#include "platform/core/Exception.h"
#include "tools/ContactsDatabase.h"

#include <QFile>
#include <QtTest>
#include <sqlite3.h>

namespace {

sqlite3 *OpenOther(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        qWarning("cannot open %s: %s", qPrintable(path), sqlite3_errmsg(db));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

} // namespace

void OtherProgramExec(const QString &path, const QString &sql)
{
    sqlite3 *db = OpenOther(path);
    QVERIFY(db);
    char *err = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK)
        qWarning("%s: %s", qPrintable(sql), err);
    sqlite3_free(err);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

QStringList OtherProgramRows(const QString &path, const QString &sql)
{
    QStringList rows;
    sqlite3 *db = OpenOther(path);
    if (!db)
        return rows;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList values;
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                values << (sqlite3_column_type(st, c) == SQLITE_NULL
                               ? QStringLiteral("<null>")
                               : QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c))));
            rows << values.join(u'|');
        }
    } else {
        qWarning("%s: %s", qPrintable(sql), sqlite3_errmsg(db));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

void MakeContacts(const QString &path, const QStringList &names)
{
    CreateContactsDatabase(path);
    sqlite3 *db = OpenOther(path);
    QVERIFY(db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO DBASE (Ad) VALUES (?)", -1, &st, nullptr);
    for (const QString &name : names) {
        const QByteArray utf8 = name.toUtf8();
        sqlite3_bind_text(st, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

QString ErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &e) {
        return ExceptionText(e);
    }
    return QStringLiteral("<no error>");
}

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList ColumnValues(TADOQuery &q, const QString &field)
{
    QStringList values;
    const int index = q.FieldByName(field)->Index();
    for (int row = 0; row < q.DisplayRowCount(); ++row)
        values << q.DisplayText(row, index);
    return values;
}

TStoreSession::TStoreSession(const QString &sql)
{
    Query.SetConnection(&Connection);
    Query.SQL.Clear();
    Query.SQL.Add(sql);
    Source.SetDataSet(&Query);
    Source.AddLink(&Link);
}

TStoreSession::~TStoreSession()
{
    Source.RemoveLink(&Link);
}
