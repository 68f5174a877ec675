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
// transaction. A record is added with every value that fits: a value
// longer than its column, or a detail the reader could not take, is left
// out and listed ("not taken"); line breaks inside values are stored as
// LF. A record with nothing to store (no name, number or e-mail) is listed
// and passed over; a duplicate (see TDuplicateCheck) of a contact already
// there or of an earlier record is skipped unless allowed. Returns false,
// having written nothing, when a record could not be read as it stands (a
// broken CSV line, text outside a card) and bad records are not to be
// skipped. Raises Exception when the file or
// the database cannot be read or written; nothing is written then either.
// summary is filled as far as the import came.
bool ImportContacts(const TImportOptions &options, TToolSummary &summary, const TMessageSink &say);
