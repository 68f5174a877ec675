#pragma once

#include <QString>

struct TToolSummary;

struct TExportOptions {
    enum TFormat { VCard, Csv };
    QString File;
    QString Database = QStringLiteral("fihrist.mdb");
    TFormat Format = VCard;
    bool VCardVersion4 = false;
    char Delimiter = ',';
};

// Writes every contact of DBASE, in the program's order (by first name,
// Turkish alphabet), to a vCard or CSV file. The file is written beside
// its place and put there only when complete: a failed export leaves an
// earlier file as it was. Raises Exception on failure.
void ExportContacts(const TExportOptions &options, TToolSummary &summary);
