#include "contacts/ContactsDatabase.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/ResultColumns.h"
#include "store/Statement.h"
#include "store/StatementText.h"
#include "contacts/ContactWriter.h"
#include "contacts/SampleContacts.h"

#include <QFile>
#include <sqlite3.h>

#include <algorithm>

const TContactColumn *ContactColumns(int *count)
{
    static const TContactColumn columns[] = {
        {"Ad", "VARCHAR(50)", 50},
        {"Soyad", "VARCHAR(50)", 50},
        {"CTelefon", "VARCHAR(20)", 20},
        {"ETelefon", "VARCHAR(20)", 20},
        {"ITelefon", "VARCHAR(20)", 20},
        {"Email", "VARCHAR(100)", 100},
        {"Adres", "MEMO", 1000},
    };
    *count = int(std::size(columns));
    return columns;
}

QByteArray ContactsTableSql()
{
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    QByteArray sql = "CREATE TABLE DBASE (\n    No INTEGER PRIMARY KEY";
    for (int i = 0; i < count; ++i) {
        const QByteArray name = QuoteIdentifier(QString::fromLatin1(columns[i].Name));
        sql += ",\n    " + name + ' ' + columns[i].Type + " COLLATE NOCASE CHECK (length(" + name
            + ") <= " + QByteArray::number(columns[i].Width) + ')';
    }
    return sql + "\n)";
}

void TDatabaseFileCloser::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

TDatabaseFile OpenDatabaseFile(const QString &path)
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    TDatabaseFile owner(db);
    if (rc != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("%1: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(db))));
    return owner;
}

void CreateContactsDatabase(const QString &path)
{
    // Made empty first with O_EXCL: an existing file is never touched.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (QFile::exists(path))
            throw EFileError(QStringLiteral("%1 already exists; it is not overwritten").arg(path));
        throw EFileError(QStringLiteral("%1 cannot be created: %2").arg(path, file.errorString()));
    }
    file.close();
    try {
        TDatabaseFile db = OpenDatabaseFile(path);
        ExecuteSql(db.get(), ContactsTableSql());
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

void OpenContactsDatabase(TADOConnection &connection, const QString &path)
{
    auto keys = TADOConnection::DefaultConnectionKeys();
    for (auto &[key, value] : keys)
        if (key == QLatin1String("Data Source"))
            value = u'"' + path + u'"';
    connection.SetConnectionString(TADOConnection::ComposeConnectionString(keys));
    connection.Open();
}

QByteArray ContactsInOrderSql()
{
    return "SELECT * FROM DBASE ORDER BY AD";
}

QByteArray ContactKeysSql()
{
    return "SELECT rowid, Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres FROM DBASE";
}

std::vector<int> ContactColumnWidths(sqlite3 *db)
{
    TStatement all(db, ContactsInOrderSql());
    TResultTable table;
    const std::vector<TResultColumn> result = DescribeColumns(all, &table);
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    std::vector<int> widths;
    for (int i = 0; i < count; ++i) {
        const QString name = QString::fromLatin1(columns[i].Name);
        const auto found = std::find_if(result.begin(), result.end(), [&](const TResultColumn &c) {
            return c.Name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (found == result.end())
            throw EDatabaseError(QStringLiteral("the table DBASE has no column %1").arg(name));
        widths.push_back(found->Size);
    }
    return widths;
}

void AddSampleContacts(const QString &path, int n)
{
    TDatabaseFile db = OpenDatabaseFile(path);
    TContactWriter writer(db.get());
    TSampleContacts samples;
    for (int k = 0; k < n; ++k) {
        const TSampleContact c = samples.Next();
        const std::optional<QByteArray> *values[] = {&c.Ad, &c.Soyad, &c.CTelefon, &c.ETelefon, &c.ITelefon, &c.Email, &c.Adres};
        QByteArray row[std::size(values)];
        for (std::size_t i = 0; i < std::size(values); ++i)
            if (*values[i])
                row[i] = (*values[i])->isNull() ? QByteArray("") : **values[i];
        writer.Add(row);
    }
    writer.Commit();
}
