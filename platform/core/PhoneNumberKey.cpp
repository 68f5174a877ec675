#include "platform/core/PhoneNumberKey.h"

#include <QVarLengthArray>
#include <phonenumbers/logger.h>
#include <phonenumbers/phonenumberutil.h>
#include <phonenumbers/shortnumberinfo.h>
#include <string>

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

namespace {

// The library, quiet: a number it cannot read is an answer, not a log line.
const PhoneNumberUtil &Numbers()
{
    static const PhoneNumberUtil *const util = [] {
        PhoneNumberUtil *u = PhoneNumberUtil::GetInstance();
        u->SetLogger(new i18n::phonenumbers::NullLogger());
        return u;
    }();
    return *util;
}

// The key in one piece: a prefix or two, then digits.
QByteArray Joined(QByteArrayView first, QByteArrayView second = {}, QByteArrayView third = {})
{
    QByteArray key;
    key.reserve(first.size() + second.size() + third.size());
    key.append(first).append(second).append(third);
    return key;
}

// A number read in the region as valid, as its international digits.
bool ValidKey(const std::string &text, const std::string &region, QByteArray *key)
{
    PhoneNumber parsed;
    const PhoneNumberUtil &util = Numbers();
    if (util.Parse(text, region, &parsed) != PhoneNumberUtil::NO_PARSING_ERROR || !util.IsValidNumber(parsed))
        return false;
    std::string e164;
    util.Format(parsed, PhoneNumberUtil::E164, &e164);
    *key = QByteArray(e164.data() + 1, qsizetype(e164.size()) - 1);
    return true;
}

} // namespace

namespace {

// The key, and whether it is a whole number of the world's plan (what a
// tel: link may give as global).
QByteArray ReadNumber(QByteArrayView number, const TPhonePlace &place, bool *global)
{
    *global = true;
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
    if (digits.isEmpty()) {
        *global = false;
        return {};
    }
    // Written in full, as most numbers are: the international form, and in
    // Turkey "00" and a national number after its trunk "0", need no
    // numbering plan to be read.
    if (plus)
        return Joined(digits);
    const bool turkey = place.CountryCode == "90";
    if (turkey && digits.startsWith("00"))
        return Joined(digits.sliced(2));
    // (A longer one carries an extension the plan would not read either.)
    if (turkey && digits.size() >= 11 && digits.startsWith('0') && digits.at(1) != '0')
        return Joined(place.CountryCode, digits.sliced(1));

    // The rest is read by the numbering plan of the place's country.
    const PhoneNumberUtil &util = Numbers();
    std::string region;
    util.GetRegionCodeForCountryCode(place.CountryCode.toInt(), &region);
    const std::string text(digits.data(), std::size_t(digits.size()));
    *global = false;
    if (region.empty() || region == "ZZ")
        return Joined(place.CountryCode, digits.startsWith('0') ? digits.sliced(1) : digits);
    // An emergency number or a short code stays as it is dialled.
    static const i18n::phonenumbers::ShortNumberInfo shortNumbers;
    if (digits.size() <= 6
        && shortNumbers.IsValidShortNumberForRegion(
            [&] {
                PhoneNumber n;
                util.ParseAndKeepRawInput(text, region, &n);
                return n;
            }(),
            region))
        return Joined(digits);
    QByteArray key;
    // A subscriber number without its area code takes the place's.
    *global = ValidKey(text, region, &key) || (!place.AreaCode.isEmpty() && ValidKey(place.AreaCode.toStdString() + text, region, &key));
    if (*global)
        return key;
    // Not a number of the plan: as a national number, without a trunk "0".
    return Joined(place.CountryCode, digits.startsWith('0') ? digits.sliced(1) : digits);
}

} // namespace

QByteArray PhoneNumberKey(QByteArrayView number, const TPhonePlace &place)
{
    bool global = false;
    return ReadNumber(number, place, &global);
}

QByteArray GlobalPhoneNumber(QByteArrayView number, const TPhonePlace &place)
{
    bool global = false;
    QByteArray key = ReadNumber(number, place, &global);
    return global ? key : QByteArray();
}
