#pragma once

#include "platform/core/PhoneNumberKey.h"
#include "contacts/ImportProblem.h"

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
    TPhonePlace Place; // where the duplicate check reads numbers written without their country or area
};

// What a vCard or CSV file is, as the import found it.
enum class TContactFileKind { VCard, Csv };

// A record as it lands in DBASE: Ad, Soyad, CTelefon, ETelefon, ITelefon,
// Email, Adres (empty for none).
using TImportedRow = std::array<QString, 7>;

// The records an import read, added (on a check: would add; 0 when it
// writes nothing), skipped as duplicates and refused, of them Blocking for a
// problem (not for being empty); and the details of added records left out.
struct TImportCounts {
    std::int64_t Read = 0;
    std::int64_t Added = 0;
    std::int64_t Duplicates = 0;
    std::int64_t Refused = 0;
    std::int64_t Blocking = 0;
    std::int64_t DetailsLeftOut = 0;
};

// What an import did, or on a check what it would do.
struct TImportReport {
    static constexpr std::size_t MostMessages = 500;
    TContactFileKind Kind = TContactFileKind::VCard;
    QString Encoding; // the encoding the file was read in
    TImportCounts Counts;
    std::vector<TImportMessage> Messages; // the first MostMessages, in the file's order
    std::int64_t MessagesLeftOut = 0;     // those after them
    std::vector<TImportedRow> Preview;    // the first records to be added
};

// Reads the file through and reports what ImportContacts would do with the
// same options, writing nothing: the counts, every message, and up to
// previewRows records as they would land. Reports progress through
// TProgress; raises EAbort when the user stops it, EContactFileError (its
// File set) when the file is not one that can be read, Exception when the
// file or the database cannot be read otherwise. Returns false when the
// import would write nothing (a record refused and SkipBad not set).
bool CheckImport(TADOConnection &connection, const TImportOptions &options, TImportReport &report, int previewRows = 0);

// Adds the contacts of a vCard or CSV file (told apart by its content) to
// DBASE on the connection's database, the file or the server alike, in one
// transaction, which also holds off another import until it ends, so that
// both find each other's contacts as duplicates. A record is added with
// every value that fits: a number too long for its column goes without
// its visual separators ("-", ".", "(", ")") when that makes it fit; a
// value longer than its column, or a detail the reader could not take, is
// left out and listed (NotTaken); line breaks inside values are stored as
// LF. A record with nothing to store (no name, number or e-mail) is listed
// and passed over; a duplicate (see TDuplicateCheck) of a contact already
// there or of an earlier record is skipped unless allowed. Returns false,
// having written nothing, when a record could not be read as it stands (a
// broken CSV line, text outside a card) and bad records are not to be
// skipped. Reports progress through TProgress; when the user stops it
// everything is taken back and EAbort is raised. Raises Exception when the
// file or the database cannot be read or written (the database held by
// another desktop for longer than its lock wait, say), EContactFileError as
// CheckImport; nothing is written then either. report is filled as far as
// it came.
bool ImportContacts(TADOConnection &connection, const TImportOptions &options, TImportReport &report);
