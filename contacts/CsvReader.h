#pragma once

#include "contacts/ContactRecord.h"
#include "contacts/CsvHeader.h"
#include "contacts/CsvParser.h"

#include <memory>

class TTextInput;

// Reads the contacts of a CSV file: its first line is the header (which
// also decides the delimiter, unless a "sep=;" line before it names it),
// each further record one contact.
class TCsvReader {
public:
    // Raises EContactFileError when the header is not one the import knows.
    explicit TCsvReader(TTextInput &input);
    bool Next(TContactRecord &record);
    char Delimiter() const { return FDelimiter; }
    std::vector<TImportProblem> UnreadColumnsWithData() const { return FHeader->UnreadColumnsWithData(); }

private:
    char FDelimiter = ',';
    std::unique_ptr<TCsvParser> FParser;
    std::unique_ptr<TCsvHeader> FHeader;
};
