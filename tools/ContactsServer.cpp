#include "tools/ContactsServer.h"

#include "platform/core/Exception.h"
#include "store/PgProvider.h"
#include "store/PgSql.h"
#include "store/SqliteProvider.h"
#include "store/Statement.h"
#include "store/StatementText.h"
#include "tools/ContactsDatabase.h"
#include "tools/SampleContacts.h"

#include <QFileInfo>
#include <functional>
#include <sqlite3.h>

namespace {

// One field in COPY's text format.
void AppendCopyField(QByteArray &line, const std::optional<QByteArray> &value)
{
    if (!value) {
        line += "\\N";
        return;
    }
    for (char ch : *value) {
        switch (ch) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += ch; break;
        }
    }
}

QByteArray CopySql(bool withKey)
{
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    QByteArray sql = "COPY public.dbase (";
    if (withKey)
        sql += "no, ";
    for (int i = 0; i < count; ++i)
        sql += (i ? ", " : "") + QuoteIdentifier(QString::fromLatin1(columns[i].Name).toLower());
    return sql + ") FROM STDIN";
}

// Runs work inside one transaction on the server.
void InTransaction(const QString &server, const std::function<void(TPgProvider &)> &work)
{
    TPgProvider pg(server);
    pg.Execute(PgSql::Begin());
    try {
        work(pg);
        pg.Execute(PgSql::Commit());
    } catch (...) {
        if (!pg.Lost())
            pg.Execute(PgSql::Rollback());
        throw;
    }
}

} // namespace

bool IsServerName(const QString &name)
{
    return name.startsWith(QLatin1String("postgresql://")) || name.startsWith(QLatin1String("postgres://"))
        || name.contains(u'=');
}

void CreateContactsServer(const QString &server)
{
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    QList<QPair<QString, int>> list;
    for (int i = 0; i < count; ++i)
        list << qMakePair(QString::fromLatin1(columns[i].Name), columns[i].Width);
    InTransaction(server, [&](TPgProvider &pg) {
        for (const QByteArray &sql : PgSql::CreateContactsSchema(list))
            pg.Execute(sql);
    });
}

void CopyContactsToServer(const QString &file, const QString &server)
{
    if (!QFileInfo(file).isFile())
        throw EFileError(QStringLiteral("%1 is not a contacts file").arg(file));
    TSqliteProvider source(QFileInfo(file).absoluteFilePath());
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    QByteArray select = "SELECT No";
    for (int i = 0; i < count; ++i)
        select += ", " + QuoteIdentifier(QString::fromLatin1(columns[i].Name));
    TStatement rows(source.Handle(), select + " FROM DBASE ORDER BY No");
    InTransaction(server, [&](TPgProvider &pg) {
        pg.BeginCopy(CopySql(true));
        QByteArray chunk;
        while (rows.Step()) {
            chunk += QByteArray::number(qlonglong(rows.ColumnInt64(0)));
            for (int c = 1; c <= count; ++c) {
                chunk += '\t';
                AppendCopyField(chunk, rows.ColumnType(c) == SQLITE_NULL ? std::nullopt : std::optional(rows.ColumnBytes(c)));
            }
            chunk += '\n';
            if (chunk.size() > (1 << 20)) {
                pg.PutCopy(chunk);
                chunk.clear();
            }
        }
        pg.PutCopy(chunk);
        pg.EndCopy();
        pg.Execute(PgSql::ResetContactsIdentity());
    });
}

void AddSampleContactsToServer(const QString &server, int n)
{
    InTransaction(server, [&](TPgProvider &pg) {
        pg.BeginCopy(CopySql(false));
        TSampleContacts samples;
        QByteArray chunk;
        for (int k = 0; k < n; ++k) {
            const TSampleContact c = samples.Next();
            const std::optional<QByteArray> *values[] = {&c.Ad, &c.Soyad, &c.CTelefon, &c.ETelefon, &c.ITelefon, &c.Email, &c.Adres};
            for (int i = 0; i < 7; ++i) {
                if (i)
                    chunk += '\t';
                AppendCopyField(chunk, *values[i]);
            }
            chunk += '\n';
            if (chunk.size() > (1 << 20)) {
                pg.PutCopy(chunk);
                chunk.clear();
            }
        }
        pg.PutCopy(chunk);
        pg.EndCopy();
    });
}
