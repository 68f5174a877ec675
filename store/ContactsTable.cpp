#include "store/ContactsTable.h"

#include "platform/core/Exception.h"
#include "store/DatabaseFile.h"
#include "store/Statement.h"
#include "store/StatementText.h"

#include <QFile>
#include <iterator>

const char *const AllRecordsStatement = "SELECT * FROM DBASE ORDER BY AD";

const TContactColumn *ContactColumns(int *count)
{
    static const TContactColumn columns[] = {
        {"Ad", "VARCHAR(50)", 50},       {"Soyad", "VARCHAR(50)", 50},   {"CTelefon", "VARCHAR(20)", 20}, {"ETelefon", "VARCHAR(20)", 20},
        {"ITelefon", "VARCHAR(20)", 20}, {"Email", "VARCHAR(100)", 100}, {"Adres", "MEMO", 1000},
    };
    static_assert(std::size(columns) == kContactColumnCount);
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

void CreateContactsFile(const QString &path)
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

QByteArray ContactsShapeSql()
{
    return "SELECT * FROM DBASE WHERE 1 = 0";
}

QByteArray ContactKeysSql()
{
    return "SELECT No, Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres FROM DBASE";
}
