#include "contacts/ContactsServer.h"

#include "platform/core/Exception.h"
#include "platform/core/ReadableFile.h"
#include "store/ContactsTable.h"
#include "store/DataSources.h"
#include "store/PgProvider.h"
#include "store/PgSql.h"
#include "store/RowArena.h"
#include "store/SqliteProvider.h"
#include "contacts/ContactRecord.h"
#include "contacts/ContactWriter.h"
#include "contacts/ContactsDatabase.h"

#include <QFileInfo>
#include <chrono>
#include <functional>

namespace {

// The column names and widths of DBASE, as the server's schema takes them.
QList<QPair<QString, int>> ColumnWidths()
{
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    QList<QPair<QString, int>> list;
    for (int i = 0; i < count; ++i)
        list << qMakePair(QString::fromLatin1(columns[i].Name), columns[i].Width);
    return list;
}

// Runs work inside one transaction on the server. The tool's work
// (indexes, the rows of a copy) may keep the server busy for long.
void InTransaction(const QString &server, const std::function<void(TPgProvider &)> &work,
                   TPgProvider::TExpect expect = TPgProvider::TExpect::Contacts)
{
    TPgProvider pg(server, expect);
    pg.SetAnswerBound(std::chrono::milliseconds(0));
    pg.BeginWrite();
    try {
        work(pg);
        pg.CommitWrite();
    } catch (...) {
        pg.RollbackWrite();
        throw;
    }
}

} // namespace

bool IsServerName(const QString &name)
{
    return NamesServer(name);
}

void CreateContactsServer(const QString &server)
{
    InTransaction(
        server,
        [&](TPgProvider &pg) {
            for (const QByteArray &sql : PgSql::CreateContactsSchema(ColumnWidths()))
                pg.Execute(sql);
        },
        TPgProvider::TExpect::Nothing);
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
    CheckReadableFile(file);
    TSqliteProvider source(QFileInfo(file).absoluteFilePath());
    const TContactsShape from = ReadContactsShape(source);
    QString select = QStringLiteral("SELECT No");
    for (const QString &c : from.Columns)
        select += QStringLiteral(", ") + QString::fromUtf8(QuoteIdentifier(c));
    TRowArena rows;
    std::vector<TResultColumn> columns;
    TResultTable table;
    source.Select(select + QStringLiteral(" FROM DBASE ORDER BY No"), {}, {}, rows, columns, table);

    TPgProvider pg(server);
    pg.SetAnswerBound(std::chrono::milliseconds(0)); // the rows may keep the server busy for long
    TContactsShape to = ReadContactsShape(pg);
    to.Columns.prepend(QStringLiteral("no"));
    TContactWriter writer(pg, to);
    QByteArray values[1 + cfCount];
    for (std::size_t r = 0; r < rows.RowCount(); ++r) {
        values[0] = QByteArray::number(qlonglong(rows.Cell(r, 0).Int));
        for (int c = 1; c <= cfCount; ++c) {
            const TCellView cell = rows.Cell(r, c);
            values[c] = cell.Kind == TCellKind::Null ? QByteArray() : QByteArray(cell.Data ? cell.Data : "", qsizetype(cell.Size));
        }
        writer.Add(values);
    }
    writer.FinishRows();
    pg.Execute(PgSql::ResetContactsIdentity());
    for (const QByteArray &sql : PgSql::ListOrderRewrite())
        pg.Execute(sql);
    writer.Commit();
}

void AddSampleContactsToServer(const QString &server, int n)
{
    {
        TPgProvider pg(server);
        AddSampleContacts(pg, n);
    }
    InTransaction(server, [&](TPgProvider &pg) {
        for (const QByteArray &sql : PgSql::ListOrderRewrite())
            pg.Execute(sql);
    });
}
