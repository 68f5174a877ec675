#pragma once

#include <QString>
#include <cstdint>

class TADOQuery;

struct TExportOptions {
    enum TFormat { VCard, Csv };
    QString File;
    TFormat Format = VCard;
    bool VCardVersion4 = false;
    char Delimiter = ',';
};

// Writes the contacts of an open record set, in its order (what the grid
// shows: the rows of the snapshot as stored, not a row being inserted or an
// edit not yet posted), to a vCard or CSV file. The record set must have
// the seven columns of DBASE (any more are left out). The file is written beside its place and put there only
// when complete: a failed or stopped export leaves an earlier file as it
// was. Reports progress through TProgress; raises EAbort when the user
// stops it, Exception on failure. Returns how many contacts were written.
std::int64_t ExportContacts(const TADOQuery &contacts, const TExportOptions &options);
