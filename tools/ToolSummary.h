#pragma once

#include <QString>
#include <cstdint>

// The one line every command ends with: how many records it read, added
// (or wrote), skipped as duplicates and refused, e.g.
//   "read 120, added 100, skipped as duplicate 15, refused 5"
// followed by a note after "; " when there is one ("nothing written").
struct TToolSummary {
    std::int64_t Read = 0;
    std::int64_t Added = 0;
    std::int64_t Duplicates = 0;
    std::int64_t Refused = 0;
    QString AddedWord = QStringLiteral("added");
    QString Note = {};

    QString Line() const;
    // Writes Line() and a line break to standard output.
    void Print() const;
};
