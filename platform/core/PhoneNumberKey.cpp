#include "platform/core/PhoneNumberKey.h"

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
    if (!place.AreaCode.isEmpty() && digits.size() <= 8)
        return place.CountryCode + place.AreaCode + digits;
    return place.CountryCode + digits;
}
