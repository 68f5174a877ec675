#pragma once

#include "store/ServerCheck.h"

#include <QString>
#include <optional>
#include <utility>
#include <vector>

// Where the office's server is, as the data-source dialog edits it: a libpq
// service name, or host, port, database and user. Other libpq keywords in
// an existing setting (sslmode, say) are kept as they were. A password is
// never part of it: it goes to ~/.pgpass (PgPass.h).
struct TServerSettings {
    QString Service;
    QString Host;
    QString Port;
    QString Database;
    QString User;
    std::vector<std::pair<QString, QString>> Other;

    bool UsesService() const { return !Service.isEmpty(); }

    // Reads a libpq connection string or postgresql:// URI; a password in
    // it is dropped. Nothing for text libpq cannot read.
    static std::optional<TServerSettings> Parse(const QString &conninfo);
    // The libpq connection string, each value quoted as libpq wants when it
    // must be; the service alone when one is named, else the other fields.
    QString Compose() const;
};

// libpq's quoting of one connection-string value.
QString QuoteConnValue(const QString &value);

// The data-source dialog's choice made lasting: the file (no server), or
// the server in Veri.ini for dataSource. A password typed with host, port,
// database and user goes to the password file (PgPassPath), never to
// Veri.ini; an empty one leaves that file alone.
void SaveDataSourceChoice(const QString &dataSource, const std::optional<TServerSettings> &server, const QString &password);

// "Bağlantıyı Sına": what this user finds on the server (CheckServer). A
// password, when typed, is used for this test only. A failed connection
// raises EDatabaseError with its kind and libpq's reason.
TServerAccess TestServerConnection(const TServerSettings &server, const QString &password);
