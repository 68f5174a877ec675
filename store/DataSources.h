#pragma once

#include <QSettings>
#include <QString>
#include <memory>
#include <optional>

// The provider's own setting, as a data-source administrator keeps it:
// ~/.config/Velmora/Veri.ini, group [Sources], maps a data source name (the
// connection string's "Data Source") to a PostgreSQL server, as a libpq
// connection string or a postgresql:// URI:
//
//   [Sources]
//   fihrist.mdb=service=rehber
//
// Credentials and TLS settings belong in libpq's own files
// (~/.pg_service.conf, ~/.pgpass), never here.
std::optional<QString> ServerForDataSource(const QString &dataSource);

// True when a name given for a database is a server itself: a postgresql://
// URI or a libpq connection string ("host=... dbname=...").
bool NamesServer(const QString &name);

// Maps dataSource to server in that file, or removes the mapping when
// there is no server (the program then opens the file again). The value
// must hold no password.
void SetServerForDataSource(const QString &dataSource, const std::optional<QString> &server);

// The file itself, for the other settings kept beside the data sources
// (the sync account's group [Sync]).
std::unique_ptr<QSettings> OpenDataSourceSettings();
// A text value of that file as it was written (an unquoted value with
// commas reads back whole, not as a list).
QString DataSourceSettingText(const QSettings &settings, const QString &key);
// Writes what was set on settings to its file; raises EFileError when the
// file cannot be written.
void SaveDataSourceSettings(QSettings &settings);
