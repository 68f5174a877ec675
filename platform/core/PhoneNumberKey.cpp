#include "platform/core/PhoneNumberKey.h"

#include <QVarLengthArray>

namespace {

// The longest national number (without its trunk "0") of the country.
constexpr qsizetype MaxNationalDigits = 10;

// The key in one piece: a prefix or two, then digits.
QByteArray Joined(QByteArrayView first, QByteArrayView second = {}, QByteArrayView third = {})
{
    QByteArray key;
    key.reserve(first.size() + second.size() + third.size());
    key.append(first).append(second).append(third);
    return key;
}

} // namespace

QByteArray PhoneNumberKey(QByteArrayView number, const TPhonePlace &place)
{
    // Gathered on the stack: keys are worked out for every number of a file.
    QVarLengthArray<char, 32> gathered;
    bool plus = false;
    for (const char c : number) {
        if (c >= '0' && c <= '9')
            gathered.append(c);
        else if (c == '+' && gathered.isEmpty())
            plus = true;
    }
    const QByteArrayView digits(gathered.data(), gathered.size());
    if (digits.isEmpty())
        return {};
    if (plus)
        return Joined(digits);
    if (digits.startsWith("00"))
        return Joined(digits.sliced(2));
    if (digits.startsWith('0'))
        return Joined(place.CountryCode, digits.sliced(1));
    // Longer than any national number and beginning with the country code:
    // international already, as some modems report the caller.
    if (digits.size() > MaxNationalDigits && digits.startsWith(place.CountryCode))
        return Joined(digits);
    if (!place.AreaCode.isEmpty() && digits.size() <= 8)
        return Joined(place.CountryCode, place.AreaCode, digits);
    return Joined(place.CountryCode, digits);
}
