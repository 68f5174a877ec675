#pragma once

#include "contacts/ToolSummary.h"

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

class TADOConnection;

struct TImportOptions {
    QString File;
    QString Encoding;     // empty: found from the file
    bool SkipBad = false; // add the good records, skip and list the bad
    bool AllowDuplicates = false;
};

// What a vCard or CSV file is, as the import found it.
enum class TContactFileKind { VCard, Csv };

// One thing the import has to say: where in the file ("line 4", "card 2";
// empty for the file as a whole) and what (a refused record and why, a
// duplicate and of what, what a record holds that has no place).
struct TImportMessage {
    QString Where;
    QString Text;
    // The line the contacts tool prints: "card 2: skipped as duplicate: ...".
    QString Line() const { return Where.isEmpty() ? Text : Where + QStringLiteral(": ") + Text; }
};

// A record as it lands in DBASE: Ad, Soyad, CTelefon, ETelefon, ITelefon,
// Email, Adres (empty for none).
using TImportedRow = std::array<QString, 7>;

// What an import did, or on a check what it would do.
struct TImportReport {
    TContactFileKind Kind = TContactFileKind::VCard;
    QString Encoding; // the encoding the file was read in
    // Read, Added (on a check: to be added), Duplicates, Refused, and a note
    // ("dry run: nothing written", "nothing written: 3 records refused ...").
    TToolSummary Summary;
    std::vector<TImportMessage> Messages; // in the file's order
    std::vector<TImportedRow> Preview;    // the first records to be added
};

// Reads the file through and reports what ImportContacts would do with the
// same options, writing nothing: the counts, every message, and up to
// previewRows records as they would land. Reports progress through
// TProgress; raises EAbort when the user stops it, Exception when the file
// or the database cannot be read. Returns false when the import would write
// nothing (a record refused and SkipBad not set).
bool CheckImport(TADOConnection &connection, const TImportOptions &options, TImportReport &report, int previewRows = 0);

// Adds the contacts of a vCard or CSV file (told apart by its content) to
// DBASE on the connection's database, the file or the server alike, in one
// transaction. A record is added with every value that fits: a value
// longer than its column, or a detail the reader could not take, is left
// out and listed ("not taken"); line breaks inside values are stored as
// LF. A record with nothing to store (no name, number or e-mail) is listed
// and passed over; a duplicate (see TDuplicateCheck) of a contact already
// there or of an earlier record is skipped unless allowed. Returns false,
// having written nothing, when a record could not be read as it stands (a
// broken CSV line, text outside a card) and bad records are not to be
// skipped. Reports progress through TProgress; when the user stops it
// everything is taken back and EAbort is raised. Raises Exception when the
// file or the database cannot be read or written (the database held by
// another desktop for longer than its lock wait, say); nothing is written
// then either. report is filled as far as it came.
bool ImportContacts(TADOConnection &connection, const TImportOptions &options, TImportReport &report);
