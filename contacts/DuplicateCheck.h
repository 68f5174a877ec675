#pragma once

#include "contacts/FingerprintTable.h"
#include "contacts/ImportProblem.h"
#include "platform/core/PhoneNumberKey.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class TProvider;

// Finds contacts that are already there. Two contacts are the same person
// when they have the same name (letter case, spacing and the Turkish marks
// aside: "ŞAHİN  Çağla" is "sahin cagla") and share a telephone number
// (digits only, "+90 532", "0090 532" and "0532" being the same number) or
// an e-mail (letter case aside), or when every one of their values is the
// same. Two people sharing a home number are two contacts.
//
// Each contact is kept as the fingerprints of its keys (see
// TFingerprintTable), under a hundred bytes a contact whatever its values.
class TDuplicateCheck {
public:
    // place: where numbers written without their country or area are read from.
    explicit TDuplicateCheck(const TPhonePlace &place = {}) : FPlace(place) {}
    // Takes in the contacts in the database.
    void AddExisting(TProvider &engine);
    // What the record (seven values in table order) repeats: a SameRecord,
    // SameNameAndNumber or SameNameAndEmail problem whose Of is a contact's
    // No or minus a record's position in the file. When it repeats nothing,
    // the record is taken in, known by its position ("line 4", "card 2").
    std::optional<TImportProblem> FindOrAdd(const QByteArray *values, std::int64_t position);
    // Takes in one contact of the database, known by its key.
    void AddContact(const QByteArray *values, std::int64_t no);
    // The key of the contact taken in that the record repeats; 0 when none.
    std::int64_t FindContact(const QByteArray *values) const;

    static QByteArray PhoneKey(const QByteArray &number);
    static QByteArray EmailKey(const QByteArray &email);
    static QByteArray NameKey(const QByteArray &given, const QByteArray &family);

private:
    // A record's keys: every value, and its name with each number and
    // with its e-mail (in the order they are looked up).
    struct TKeys {
        TFingerprint Record;
        TFingerprint Persons[4];
        int Columns[4] = {};
        int PersonCount = 0;
    };
    void KeysOf(const QByteArray *values, TKeys &keys) const;
    // Where the record's repeat was taken in (0: nowhere); column: the
    // number or e-mail column both share, cfCount for every value.
    std::int64_t Lookup(const TKeys &keys, int *column) const;
    void Take(const TKeys &keys, std::int64_t where);
    static std::optional<TImportProblem> Problem(const QByteArray *values, std::int64_t at, int column);

    TFingerprintTable FPersons;       // -> a number into FWhere
    TFingerprintTable FRecords;       // the same
    std::vector<std::int64_t> FWhere; // per record taken in: No (> 0), or -position in the file
    TPhonePlace FPlace;
};
