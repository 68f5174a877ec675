#pragma once

#include "contacts/ImportProblem.h"

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <vector>

class TTextInput;

// Splits lines of text into CSV records (RFC 4180): fields separated by
// the delimiter, a field in double quotes may hold the delimiter, line
// breaks and doubled quotes. A record whose quoting is broken (text after
// a closing quote, a quote inside an unquoted field, a quote never closed)
// is still returned, with the problem noted; a record longer than
// MaxRecordBytes raises an EContactFileError (no reading past it can be
// trusted).
class TCsvParser {
public:
    static constexpr qsizetype MaxRecordBytes = 1 << 20;

    TCsvParser(TTextInput &input, char delimiter) : FInput(input), FDelimiter(delimiter) {}
    // The next record; false at the end of the file. Blank lines are passed over.
    bool Next();
    const QList<QByteArray> &Fields() const { return FFields; }
    std::int64_t Line() const { return FLine; } // where the record begins
    const std::vector<TImportProblem> &Problems() const { return FProblems; }

    // The delimiter of a header line: whichever of "," ";" and tab occurs
    // most often outside quotes; "," when none does.
    static char DetectDelimiter(const QByteArray &headerLine);

    // Splits one line into fields, when it is known to be a whole record.
    void SetFirstLine(const QByteArray &line, std::int64_t number);

private:
    bool Parse();
    TTextInput &FInput;
    char FDelimiter;
    QByteArray FText;
    std::int64_t FLine = 0;
    bool FHaveFirst = false;
    QList<QByteArray> FFields;
    std::vector<TImportProblem> FProblems;
};
