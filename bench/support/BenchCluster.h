#pragma once

#include <QString>
#include <QTemporaryDir>
#include <string>

// A private PostgreSQL cluster for a benchmark, in a folder of its own,
// started by the tests' pg-cluster.sh and stopped when it goes: the
// database "rehber" as `velmora-rehber-db create` makes it, with the given
// number of sample contacts, and the program's Veri.ini (in the folder's
// own config home) mapping fihrist.mdb to it. Raises Exception when the
// cluster does not start.
class TBenchCluster {
public:
    explicit TBenchCluster(int contacts);
    ~TBenchCluster();
    TBenchCluster(const TBenchCluster &) = delete;
    TBenchCluster &operator=(const TBenchCluster &) = delete;

    // The connection string of "rehber", and of any other database.
    const QString &Server() const { return FServer; }
    QString Database(const QString &name) const { return FBase + name; }

private:
    QTemporaryDir FDir;
    std::string FCluster;
    QString FBase;
    QString FServer;
};
