#include "store/ADOConnection.h"

#include "platform/core/Exception.h"
#include "store/ADOQuery.h"
#include "store/JetSignature.h"
#include "store/Statement.h"
#include "store/StatementText.h"
#include "store/TurkishText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sqlite3.h>

static const QString kDoubleQuotes = QStringLiteral("\"\"");

TADOConnection::TADOConnection()
    : FProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0")), FConnectionString(ComposeConnectionString(DefaultConnectionKeys()))
{
}

TADOConnection::~TADOConnection()
{
    Close();
    for (TADOQuery *q : std::vector<TADOQuery *>(FDataSets))
        q->SetConnection(nullptr);
}

const std::vector<std::pair<QString, QString>> &TADOConnection::DefaultConnectionKeys()
{
    static const std::vector<std::pair<QString, QString>> keys = {
        {QStringLiteral("Provider"), QStringLiteral("Microsoft.Jet.OLEDB.4.0")},
        {QStringLiteral("User ID"), QStringLiteral("Admin")},
        {QStringLiteral("Data Source"), QStringLiteral("fihrist.mdb")},
        {QStringLiteral("Mode"), QStringLiteral("Share Deny None")},
        {QStringLiteral("Extended Properties"), kDoubleQuotes},
        {QStringLiteral("Persist Security Info"), QStringLiteral("False")},
        {QStringLiteral("Jet OLEDB:System database"), kDoubleQuotes},
        {QStringLiteral("Jet OLEDB:Registry Path"), kDoubleQuotes},
        {QStringLiteral("Jet OLEDB:Database Password"), QStringLiteral("52830469")},
        {QStringLiteral("Jet OLEDB:Engine Type"), QStringLiteral("5")},
        {QStringLiteral("Jet OLEDB:Database Locking Mode"), QStringLiteral("1")},
        {QStringLiteral("Jet OLEDB:Global Partial Bulk Ops"), QStringLiteral("2")},
        {QStringLiteral("Jet OLEDB:Global Bulk Transactions"), QStringLiteral("1")},
        {QStringLiteral("Jet OLEDB:New Database Password"), kDoubleQuotes},
        {QStringLiteral("Jet OLEDB:Create System Database"), QStringLiteral("False")},
        {QStringLiteral("Jet OLEDB:Encrypt Database"), QStringLiteral("False")},
        {QStringLiteral("Jet OLEDB:Don't Copy Locale on Compact"), QStringLiteral("False")},
        {QStringLiteral("Jet OLEDB:Compact Without Replica Repair"), QStringLiteral("False")},
        {QStringLiteral("Jet OLEDB:SFP"), QStringLiteral("False")},
    };
    return keys;
}

QString TADOConnection::ComposeConnectionString(const std::vector<std::pair<QString, QString>> &keys)
{
    QStringList parts;
    for (const auto &[key, value] : keys)
        parts << key + u'=' + value;
    return parts.join(u';');
}

QString TADOConnection::ConnectionStringValue(const QString &connectionString, const QString &key)
{
    const QStringList parts = connectionString.split(u';');
    for (const QString &part : parts) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq < 0 || part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString value = part.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return QString();
}

QString TADOConnection::DatabasePath() const
{
    const QString source = ConnectionStringValue(FConnectionString, QStringLiteral("Data Source"));
    return QDir::cleanPath(QDir::current().absoluteFilePath(source));
}

// The file must exist and begin like an SQLite database (an empty file is
// an empty database). Nothing is created and nothing written.
static void CheckDatabaseFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        throw EDatabaseError(QStringLiteral("Could not find file '%1'.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("The file '%1' cannot be opened: %2").arg(path, file.errorString()));
    const QByteArray head = file.read(100);
    static const QByteArray magic("SQLite format 3\0", 16);
    if (HasJetSignature(head))
        throw EDatabaseError(QStringLiteral("Unrecognized database format '%1'. %2").arg(path, JetConvertHint(path)));
    if (!head.isEmpty() && (head.size() < 100 || !head.startsWith(magic)))
        throw EDatabaseError(QStringLiteral("Unrecognized database format '%1'.").arg(path));
}

void TADOConnection::Open()
{
    if (FDb)
        return;
    const QString path = DatabasePath();
    CheckDatabaseFile(path);

    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        throw EDatabaseError(message);
    }
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_timeout(db, BusyTimeoutMs);

    bool turkishNoCase = false;
    try {
        // Reading the schema proves the file is a database we can read.
        sqlite3_stmt *probe = nullptr;
        const QByteArray probeSql = SchemaProbeSql();
        int code = sqlite3_prepare_v2(db, probeSql.constData(), int(probeSql.size()), &probe, nullptr);
        if (code == SQLITE_OK) {
            code = sqlite3_step(probe);
            if (code == SQLITE_ROW || code == SQLITE_DONE)
                code = SQLITE_OK;
        }
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(probe);
        if (code == SQLITE_NOTADB)
            throw EDatabaseError(QStringLiteral("Unrecognized database format '%1'.").arg(path));
        if (code != SQLITE_OK)
            throw EDatabaseError(message);
        RegisterTurkishLike(db);
        TStatement noCaseIndexes(db, NoCaseIndexSql());
        turkishNoCase = !noCaseIndexes.Step();
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    if (turkishNoCase)
        RegisterTurkishNoCase(db);
    FDb = db;
    FTurkishNoCase = turkishNoCase;
}

void TADOConnection::Close()
{
    if (!FDb)
        return;
    for (TADOQuery *q : std::vector<TADOQuery *>(FDataSets))
        q->Close();
    sqlite3_close_v2(FDb);
    FDb = nullptr;
    FTurkishNoCase = false;
}

void TADOConnection::AttachDataSet(TADOQuery *dataSet)
{
    if (std::find(FDataSets.begin(), FDataSets.end(), dataSet) == FDataSets.end())
        FDataSets.push_back(dataSet);
}

void TADOConnection::DetachDataSet(TADOQuery *dataSet)
{
    FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), dataSet), FDataSets.end());
}
