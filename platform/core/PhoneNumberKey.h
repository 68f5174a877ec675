#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Where numbers are dialled from: the country code and area code of the
// dialling location (digits only; the area code may be empty).
struct TPhonePlace {
    QByteArray CountryCode = "90";
    QByteArray AreaCode;
};

// The one comparison of telephone numbers in the program: two numbers are
// the same when their keys are. The key is the number's digits in
// international form, without "+" or "00": "+90 505 123 45 67",
// "0505 123 45 67" and "0090 505 123 45 67" all give "905051234567". A
// number not written in full is read by the numbering plan of the place's
// country (libphonenumber): "505 123 45 67" takes the country code, a
// subscriber number that is not a whole number of the plan the area code as
// well ("333 44 55" with area 212 gives "902123334455"), one that begins
// with the country code is international already ("905051234567", as some
// modems report the caller), a nationwide number takes no area code ("444 1
// 234" gives "904441234"), and an emergency number or short code stays as
// it is ("112"). Empty when the number holds no digit.
QByteArray PhoneNumberKey(QByteArrayView number, const TPhonePlace &place = {});
// The number's international digits when it is a whole number of its
// country's plan (or written in full); empty for a short code, a number the
// plan does not know, or one without digits.
QByteArray GlobalPhoneNumber(QByteArrayView number, const TPhonePlace &place);

inline QByteArray PhoneNumberKey(const QString &number, const TPhonePlace &place = {})
{
    return PhoneNumberKey(QByteArrayView(number.toUtf8()), place);
}
