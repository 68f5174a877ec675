#pragma once

#include <QString>
#include <functional>

struct TToolSummary;

struct TImportOptions {
    QString File;
    QString Database = QStringLiteral("fihrist.mdb");
    QString Encoding;          // empty: found from the file
    bool DryRun = false;       // report everything, write nothing
    bool SkipBad = false;      // add the good records, skip and list the bad
    bool AllowDuplicates = false;
};

// Where the import's messages go, one line each (a refused record, a
// duplicate, what a record holds that has no place).
using TMessageSink = std::function<void(const QString &)>;

// Reads a vCard or CSV file (told apart by its content) into DBASE in one
// transaction. Each record is checked against the widths of the table's
// columns, the problems its reader found, and (unless allowed) the numbers
// and e-mails of the contacts already there and of the earlier records.
// Returns false, having written nothing, when a record was refused and
// bad records are not to be skipped. Raises Exception when the file or
// the database cannot be read or written; nothing is written then either.
// summary is filled as far as the import came.
bool ImportContacts(const TImportOptions &options, TToolSummary &summary, const TMessageSink &say);
