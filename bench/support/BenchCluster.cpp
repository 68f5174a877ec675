#include "bench/support/BenchCluster.h"

#include "bench/support/BenchSupport.h"
#include "contacts/ContactsServer.h"
#include "platform/core/Exception.h"
#include "platform/core/PlatformSettings.h"
#include "store/PgProvider.h"

#include <QFile>

TBenchCluster::TBenchCluster(int contacts)
{
    // The server runs as its own user, which must reach its folder.
    QFile::setPermissions(FDir.path(), QFile::permissions(FDir.path()) | QFile::ExeOther | QFile::ReadOther);
    FCluster = QFile::encodeName(FDir.filePath(QStringLiteral("cluster"))).toStdString();
    if (!RunProgram({VELMORA_PG_CLUSTER_SCRIPT, "start", FCluster})) {
        FCluster.clear();
        throw Exception(QStringLiteral("the private cluster did not start"));
    }
    FBase = QStringLiteral("host=%1 user=velmora dbname=").arg(QString::fromStdString(FCluster));
    FServer = Database(QStringLiteral("rehber"));
    TPgProvider(Database(QStringLiteral("postgres")), TPgProvider::TExpect::Nothing).Execute("CREATE DATABASE rehber");
    CreateContactsServer(FServer);
    if (contacts > 0) {
        AddSampleContactsToServer(FServer, contacts);
        TPgProvider(FServer).Execute("VACUUM ANALYZE dbase");
    }
    qputenv("XDG_CONFIG_HOME", FDir.filePath(QStringLiteral("config")).toLocal8Bit());
    const auto settings = OpenPlatformSettings(QStringLiteral("Veri"));
    settings->setValue(QStringLiteral("Sources/fihrist.mdb"), FServer);
    settings->sync();
}

TBenchCluster::~TBenchCluster()
{
    if (!FCluster.empty())
        RunProgram({VELMORA_PG_CLUSTER_SCRIPT, "stop", FCluster});
}
