#pragma once

#include "platform/core/PhoneNumberKey.h"

#include <QString>

class TADOConnection;
struct TDialingLocation;

// The contact a telephone number belongs to.
struct TCallerMatch {
    bool Found = false;
    long long ContactNo = 0; // the contact's key, No
    QString Name;            // "Ad Soyad"
    QString FieldName;       // "CTelefon", "ETelefon" or "ITelefon"
    QString FieldLabel;      // "GSM No", "Ev Tlf." or "İş Tlf."
};

// Whether a number's key (PhoneNumberKey) is a Turkish mobile number: a
// national number beginning with 5.
bool IsMobileKey(const QByteArray &key);

// The contact whose mobile, home or work number is the given one, compared
// by PhoneNumberKey; the first by first name when several are. The numbers
// are read through a record set of their own on the connection, which must
// be open: the database narrows the contacts to those whose numbers end in
// the same digits, and the keys decide among them.
TCallerMatch FindCaller(TADOConnection *connection, const QString &number, const TPhonePlace &place);
