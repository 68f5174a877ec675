#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>
#include <QStringList>
#include <vector>

// A card as the directory reads it: the values of the columns as the card
// gives them (Raw) and as they fit the columns (Fit: a value too long for
// its column left out).
struct TCardValues {
    bool Ok = false; // false: not a card that can be read as a whole
    QByteArray Raw[cfCount];
    QByteArray Fit[cfCount];
    QStringList TooLong; // the columns left out
    QByteArray Uid;
};

// The directory's columns as cards are read into them: their widths in
// characters (0: no limit) and their names.
class TCardColumns {
public:
    TCardColumns() = default;
    TCardColumns(std::vector<int> widths, QStringList names) : FWidths(std::move(widths)), FNames(std::move(names)) {}
    TCardValues Read(const QByteArray &card) const;

private:
    std::vector<int> FWidths;
    QStringList FNames;
};

// A digest of a contact's values, to tell whether it changed since it was synced.
QByteArray ValuesDigest(const QByteArray *values);

// True when the values are the same in every column.
bool SameValues(const QByteArray *a, const QByteArray *b);
