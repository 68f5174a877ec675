#pragma once

#include <QString>
#include <QVariantList>
#include <vector>

// The tests that run against both providers run once on the file and once
// on the private PostgreSQL cluster that ctest starts (VELMORA_TEST_PROVIDER
// = "postgresql", VELMORA_PG_DIR = the cluster's socket folder). On the
// server, each contacts file name of a test stands for a database of its
// own, mapped in the test's Veri.ini, so the program finds it as it would
// in an office.

bool ServerTests();
// The connection string of a database of the private cluster.
QString TestServer(const QString &database);
// The database that stands for the contacts file at path.
QString ServerDatabaseFor(const QString &path);

// Makes that database anew with the contacts schema and maps the file's
// name to it in Veri.ini.
void MakeServerContacts(const QString &path, const std::vector<std::vector<QVariant>> &rows);
// Runs SQL ("?" parameters) on the database through a connection of its own.
std::vector<QVariantList> ServerRows(const QString &path, const QString &sql, const QVariantList &args = {});
