#include "store/ADOConnection.h"

#include "platform/core/Exception.h"
#include "store/ADOQuery.h"
#include "store/DataSources.h"
#include "store/PgProvider.h"
#include "store/SqliteProvider.h"

#include <QDir>
#include <algorithm>

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

TCallLogAccess TADOConnection::PrepareCallLog()
{
    if (!FEngine)
        throw EDatabaseError(QStringLiteral("Connection is not open"));
    return Engine()->PrepareCallLog();
}

sqlite3 *TADOConnection::Handle() const
{
    const auto *file = dynamic_cast<const TSqliteProvider *>(Engine());
    return file ? file->Handle() : nullptr;
}

bool TADOConnection::TurkishNoCase() const
{
    const auto *file = dynamic_cast<const TSqliteProvider *>(FEngine.get());
    return file ? file->TurkishNoCase() : FEngine != nullptr;
}

TProvider *TADOConnection::Engine() const
{
    for (TADOQuery *q : std::vector<TADOQuery *>(FDataSets))
        q->FetchAll();
    return FEngine.get();
}

void TADOConnection::Open()
{
    // A server connection that was lost is made again.
    if (FEngine && FEngine->Lost())
        Close();
    if (FEngine)
        return;
    const QString source = ConnectionStringValue(FConnectionString, QStringLiteral("Data Source"));
    if (const std::optional<QString> server = ServerForDataSource(source))
        FEngine = std::make_unique<TPgProvider>(*server);
    else if (NamesServer(source))
        FEngine = std::make_unique<TPgProvider>(source);
    else
        FEngine = std::make_unique<TSqliteProvider>(DatabasePath());
}

void TADOConnection::Close()
{
    if (!FEngine)
        return;
    for (TADOQuery *q : std::vector<TADOQuery *>(FDataSets))
        q->Close();
    FEngine.reset();
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
