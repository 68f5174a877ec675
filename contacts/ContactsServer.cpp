#include "contacts/ContactsServer.h"

#include "platform/core/Exception.h"
#include "store/PgProvider.h"
#include "store/PgSql.h"
#include "store/SqliteProvider.h"
#include "store/Statement.h"
#include "store/StatementText.h"
#include "contacts/ContactsDatabase.h"
#include "contacts/SampleContacts.h"

#include <QFileInfo>
#include <chrono>
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

// Sends rows through COPY; next fills the fields of one row and returns
// false when there are no more.
void CopyRows(TPgProvider &pg, bool withKey, const std::function<bool(std::vector<std::optional<QByteArray>> &)> &next)
{
    pg.BeginCopy(CopySql(withKey));
    QByteArray chunk;
    std::vector<std::optional<QByteArray>> fields;
    while (next(fields)) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i)
                chunk += '\t';
            AppendCopyField(chunk, fields[i]);
        }
        chunk += '\n';
        if (chunk.size() > (1 << 20)) {
            pg.PutCopy(chunk);
            chunk.clear();
        }
    }
    pg.PutCopy(chunk);
    pg.EndCopy();
}

// Runs work inside one transaction on the server.
void InTransaction(const QString &server, const std::function<void(TPgProvider &)> &work,
                   TPgProvider::TExpect expect = TPgProvider::TExpect::Contacts)
{
    TPgProvider pg(server, expect);
    // The tool's work (indexes, COPY) may keep the server busy for long.
    pg.SetAnswerBound(std::chrono::milliseconds(0));
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
    }, TPgProvider::TExpect::Nothing);
}

void UpgradeContactsServer(const QString &server)
{
    InTransaction(server, [&](TPgProvider &pg) {
        for (const QByteArray &sql : PgSql::UpgradeContactsSchema())
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
        CopyRows(pg, true, [&](std::vector<std::optional<QByteArray>> &fields) {
            if (!rows.Step())
                return false;
            fields.assign(1, QByteArray::number(qlonglong(rows.ColumnInt64(0))));
            for (int c = 1; c <= count; ++c)
                fields.push_back(rows.ColumnType(c) == SQLITE_NULL ? std::nullopt : std::optional(rows.ColumnBytes(c)));
            return true;
        });
        pg.Execute(PgSql::ResetContactsIdentity());
    });
}

void AddSampleContactsToServer(const QString &server, int n)
{
    InTransaction(server, [&](TPgProvider &pg) {
        TSampleContacts samples;
        int k = 0;
        CopyRows(pg, false, [&](std::vector<std::optional<QByteArray>> &fields) {
            if (k++ == n)
                return false;
            const TSampleContact c = samples.Next();
            fields = {c.Ad, c.Soyad, c.CTelefon, c.ETelefon, c.ITelefon, c.Email, c.Adres};
            return true;
        });
    });
}
