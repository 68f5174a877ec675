#pragma once

#include "platform/core/Exception.h"

#include <QString>
#include <cstdint>
#include <vector>

// What the reading of a contact file has to say, as data: which kind of
// problem, where, about which column, with which values. The import
// reports it; each caller words it (the contacts tool in English, the
// window in Turkish).
enum class TImportProblemKind {
    // A detail of a record that is not stored.
    ValueTooLong,  // Field, Text (its first 200 characters), Count (characters), Limit (the column's width)
    FaxOrPager,    // Text
    ExtraNumber,   // Text: a number beyond the three places
    SecondNumber,  // Field (the place taken already), Text
    SecondEmail,   // Text
    SecondAddress, // Text
    OtherData,     // Name: what the table has no place for, "ORG, NOTE"
    MoreDetails,   // more than a record's list holds
    // A vCard property whose value could not be read: Name (the property), Line.
    ValueCharsetNotRecognised,
    ValueCharsetUnknown, // Text: the charset named
    ValueNotReadable,    // Text: the charset it was read in
    ValueHasNul,
    NotVCardLine,      // Line
    TooManyProperties, // Limit
    CardNotClosed,     // a card begins inside it before its END:VCARD
    // A line that could not be read as text.
    LineNotReadable, // Line, Name (the encoding)
    LineHasNul,      // Line
    LineTooLong,     // Line, Limit (bytes)
    // Why a record is refused.
    NothingToStore,
    QuotingBroken,
    QuoteNotClosed,
    TooManyFields,   // Count, Limit (the header's fields)
    TextOutsideCard, // Line
    CardNotEnded,    // the file ends before the card's END:VCARD
    // What a duplicate repeats; Of is a contact's No (> 0) or a record of
    // the file (minus its position).
    SameRecord,        // Of
    SameNameAndNumber, // Field, Text, Of
    SameNameAndEmail,  // Text, Of
    // The file as a whole.
    ColumnNotRead, // Name (the header's), Count (lines with data)
    // Why a file cannot be read (EContactFileError).
    NotContactFile,        // Line and Name (the encoding) when a line is not readable text
    FileEmpty,             //
    NoHeaderAfterSep,      //
    HeaderNotReadable,     // Line; the line's problems follow
    HeaderUnknown,         // Text: the header as it is shown
    RecordTooLong,         // Line, Limit (bytes)
    FileLineTooLong,       // Line, Limit (bytes), Name ("vCard", "CSV")
    EncodingUnknown,       // Name
    EncodingNotRecognised, //
    EncodingNotRead,       // Name: what the file's encoding looks like
    TextNotReadable        // Line, Name (the encoding)
};

struct TImportProblem {
    TImportProblemKind Kind = TImportProblemKind::NothingToStore;
    int Field = -1;    // a TContactField; -1: none
    QString Name = {}; // a property, a column, an encoding
    QString Text = {}; // a value as the file holds it
    std::int64_t Line = 0;
    std::int64_t Count = 0;
    std::int64_t Limit = 0;
    std::int64_t Of = 0;
    bool operator==(const TImportProblem &) const = default;
};

// What became of a record the import has something to say about.
enum class TImportVerdict {
    NotTaken,  // added without the details listed
    Refused,   // not added: nothing to store, or it could not be read as it stands
    Duplicate, // skipped: the one problem says what it repeats
    File       // about the file as a whole (columns not read)
};

// One message of the import: a record (its first line in a CSV file, its
// number in a vCard file; 0 for the file) and its problems.
struct TImportMessage {
    TImportVerdict Verdict = TImportVerdict::NotTaken;
    std::int64_t Position = 0;
    bool Skipped = false;  // a refused record the import passes over
    bool Blocking = false; // refused for a problem, not for being empty
    std::vector<TImportProblem> Problems = {};
    bool operator==(const TImportMessage &) const = default;
};

// A contact file that cannot be read on. The message is for the log; the
// caller words Problem (with Details, the problems of a header line) for
// the user, naming File.
class EContactFileError : public Exception {
public:
    explicit EContactFileError(TImportProblem problem, std::vector<TImportProblem> details = {});
    QString File;
    TImportProblem Problem;
    std::vector<TImportProblem> Details;
};
