#include "contacts/ContactWriter.h"

#include "platform/core/Exception.h"
#include "store/Statement.h"
#include "store/StatementText.h"
#include "contacts/ContactRecord.h"
#include "contacts/ContactsDatabase.h"

#include <sqlite3.h>

namespace {

// Runs a statement; a file held by another program reads plainly.
void Run(sqlite3 *db, const QByteArray &sql)
{
    try {
        ExecuteSql(db, sql);
    } catch (const EDatabaseError &) {
        if (sqlite3_errcode(db) == SQLITE_BUSY || sqlite3_errcode(db) == SQLITE_LOCKED)
            throw EDatabaseError(QStringLiteral("the database is in use by another program, which did not let go of it "
                                                "in time; nothing was written"));
        throw;
    }
}

} // namespace

TContactWriter::TContactWriter(sqlite3 *db) : FDb(db)
{
    Run(db, BeginWriteSql());
    FOpen = true;
    try {
        int count = 0;
        const TContactColumn *columns = ContactColumns(&count);
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << QString::fromLatin1(columns[i].Name);
        FInsert = std::make_unique<TStatement>(db, InsertSql({QStringLiteral("main"), QStringLiteral("DBASE")}, names, {}));
    } catch (...) {
        sqlite3_exec(db, RollbackSql().constData(), nullptr, nullptr, nullptr);
        throw;
    }
}

TContactWriter::~TContactWriter()
{
    FInsert.reset();
    if (FOpen)
        sqlite3_exec(FDb, RollbackSql().constData(), nullptr, nullptr, nullptr);
}

void TContactWriter::Add(const QByteArray *values)
{
    for (int i = 0; i < cfCount; ++i) {
        if (values[i].isNull())
            FInsert->BindNull(i + 1);
        else
            FInsert->BindTextInPlace(i + 1, values[i]);
    }
    FInsert->Execute();
    FInsert->Reset();
}

void TContactWriter::Commit()
{
    FInsert.reset();
    Run(FDb, CommitSql());
    FOpen = false;
}
