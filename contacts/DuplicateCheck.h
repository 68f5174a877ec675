#pragma once

#include "contacts/ImportProblem.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>

class TProvider;

// Finds contacts that are already there. Two contacts are the same person
// when they have the same name (letter case, spacing and the Turkish marks
// aside: "ŞAHİN  Çağla" is "sahin cagla") and share a telephone number
// (digits only, "+90 532", "0090 532" and "0532" being the same number) or
// an e-mail (letter case aside), or when every one of their values is the
// same. Two people sharing a home number are two contacts.
class TDuplicateCheck {
public:
    // Takes in the contacts in the database.
    void AddExisting(TProvider &engine);
    // What the record (seven values in table order) repeats: a SameRecord,
    // SameNameAndNumber or SameNameAndEmail problem whose Of is a contact's
    // No or minus a record's position in the file; none when nothing.
    std::optional<TImportProblem> Find(const QByteArray *values) const;
    // Takes in a record of the file, known by its position ("line 4", "card 2").
    void Add(const QByteArray *values, std::int64_t position);
    // Takes in one contact of the database, known by its key.
    void AddContact(const QByteArray *values, std::int64_t no);
    // The key of the contact taken in that the record repeats; 0 when none.
    std::int64_t FindContact(const QByteArray *values) const;

    static QByteArray PhoneKey(const QByteArray &number);
    static QByteArray EmailKey(const QByteArray &email);
    static QByteArray NameKey(const QByteArray &given, const QByteArray &family);

private:
    std::int64_t Lookup(const QByteArray *values, int *column) const;
    void Take(const QByteArray *values, std::int64_t where);
    // name key + "\x1f#" + number key, name key + "\x1f@" + e-mail key
    QHash<QByteArray, std::int64_t> FPersons; // -> No (> 0), or -position in the file
    QHash<QByteArray, std::int64_t> FRecords; // digest of the seven values -> the same
};
