#include "platform/core/PhoneNumberKey.h"

namespace {

// The longest national number (without its trunk "0") of the country.
constexpr qsizetype MaxNationalDigits = 10;

} // namespace

QByteArray PhoneNumberKey(QByteArrayView number, const TPhonePlace &place)
{
    QByteArray digits;
    digits.reserve(number.size());
    bool plus = false;
    for (const char c : number) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c == '+' && digits.isEmpty())
            plus = true;
    }
    if (digits.isEmpty())
        return digits;
    if (plus)
        return digits;
    if (digits.startsWith("00"))
        return digits.mid(2);
    if (digits.startsWith('0'))
        return place.CountryCode + digits.mid(1);
    // Longer than any national number and beginning with the country code:
    // international already, as some modems report the caller.
    if (digits.size() > MaxNationalDigits && digits.startsWith(place.CountryCode))
        return digits;
    if (!place.AreaCode.isEmpty() && digits.size() <= 8)
        return place.CountryCode + place.AreaCode + digits;
    return place.CountryCode + digits;
}
