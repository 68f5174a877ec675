#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <optional>
#include <vector>

// A contact row for test databases: Ad, Soyad, CTelefon, ETelefon,
// ITelefon, Email, Adres; an invalid QVariant stands for NULL.
using TContactRow = std::vector<QVariant>;

// Creates a contacts database at path with the program's own schema and
// the given rows (in this order, keys 1, 2, ...).
void MakeContactsDatabase(const QString &path, const std::vector<TContactRow> &rows);

// Runs one statement on the file through a connection of its own (another
// program changing the file); returns the first column of the first row.
QVariant RunSql(const QString &path, const QString &sql, const QVariantList &args = {});

// Runs statements (one or several) on the file through a connection of
// its own; the test fails when they do.
void ExecSql(const QString &path, const QString &sql);

// All rows of a query as text lists (NULL as an invalid QVariant).
std::vector<QVariantList> QueryRows(const QString &path, const QString &sql);
// Every contact as "Ad|Soyad|CTelefon|ETelefon|ITelefon|Email|Adres" (null as empty), in that order.
QStringList ContactRows(const QString &path, const QString &order = QStringLiteral("No"));
