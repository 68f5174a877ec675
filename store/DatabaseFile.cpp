#include "store/DatabaseFile.h"

#include "platform/core/Exception.h"

#include <QFile>
#include <sqlite3.h>

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
