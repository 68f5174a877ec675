#pragma once

#include "ldap/LdapFilter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <array>
#include <bitset>

// The attributes the directory shows, in the order an entry lists them.
enum TDirectoryAttribute : int {
    daObjectClass,
    daOu,
    daUid,
    daCn,
    daGivenName,
    daSn,
    daDisplayName,
    daMobile,
    daHomePhone,
    daTelephoneNumber,
    daMail,
    daPostalAddress,
    daCount
};

// The attribute an LDAP name (any case, or one of its other names such as
// "surname" or "commonName") stands for; daCount when the directory has none.
TDirectoryAttribute DirectoryAttributeOf(QByteArrayView name);

// Whether the attribute holds telephone numbers (mobile, homePhone,
// telephoneNumber), which match by their digits.
bool IsNumberAttribute(TDirectoryAttribute attribute);
// A number's digits, without blanks, punctuation or "+".
QByteArray NumberDigits(QByteArrayView number);

// The attributes a search asked for.
using TAttributeSelection = std::bitset<daCount>;
// From slapd's "attrs:" value: "all", or names separated by blanks ("*"
// every attribute, "1.1" none, an unknown name nothing).
TAttributeSelection AttributeSelection(QByteArrayView attrs);

// A contact's columns, as stored (UTF-8).
struct TContactValues {
    QByteArray No;
    QByteArray Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres;
};

// One entry: its DN and the values of each attribute.
struct TDirectoryEntry {
    QByteArray Dn;
    std::array<QList<QByteArray>, daCount> Values;
};

// "uid=No,BASE", an inetOrgPerson.
TDirectoryEntry ContactEntry(const TContactValues &contact, const QByteArray &base);
// The base itself, an organizationalUnit named by the value of its first RDN.
TDirectoryEntry BaseEntry(const QByteArray &base);

// Whether the entry matches the filter. Names and texts compare folded as a
// telephone's keypad types them (TurkishFoldText), blanks run together;
// numbers by their digits, or across the national and international forms
// by their number keys (PhoneNumberKey).
bool EntryMatches(const TDirectoryEntry &entry, const TLdapFilter &filter);

// The entry as LDIF with the attributes of the selection, ending in a blank line.
QByteArray EntryLdif(const TDirectoryEntry &entry, const TAttributeSelection &selection);
