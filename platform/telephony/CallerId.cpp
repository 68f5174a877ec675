#include "platform/telephony/CallerId.h"

#include <QByteArrayView>
#include <algorithm>
#include <cctype>

namespace {

constexpr qsizetype MaxNumberLength = 32;
constexpr qsizetype MaxNameLength = 50;

using TKind = TCallerId::TKind;

bool IsNumberCharacter(char c)
{
    return (c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#' || c == ' ' || c == '-' || c == '(' || c == ')';
}

bool HasDigit(QByteArrayView text)
{
    for (char c : text) {
        if (c >= '0' && c <= '9')
            return true;
    }
    return false;
}

// The number field of either form into id; anything that is not plainly
// a number, nor one of the two letters, is unreadable.
void TakeNumber(QByteArrayView value, TCallerId *id)
{
    const QByteArray v = value.toByteArray().trimmed();
    id->Number.clear();
    if (v == "P" || v == "PRIVATE") {
        id->Kind = TKind::Withheld;
        return;
    }
    if (v == "O" || v == "OUT OF AREA" || v == "UNAVAILABLE") {
        id->Kind = TKind::Unavailable;
        return;
    }
    const bool valid = !v.isEmpty() && v.size() <= MaxNumberLength && HasDigit(v) && std::all_of(v.begin(), v.end(), IsNumberCharacter);
    id->Kind = valid ? TKind::Number : TKind::Unreadable;
    if (valid)
        id->Number = QString::fromLatin1(v);
}

void TakeName(QByteArrayView value, TCallerId *id)
{
    QByteArray name;
    for (char c : value) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            name.append(c);
    }
    name = name.trimmed().left(MaxNameLength);
    id->Name = name == "P" || name == "O" ? QString() : QString::fromLatin1(name);
}

// "MMDDHHMM" into the date and time, when it is eight digits.
void TakeDateTime(QByteArrayView value, TCallerId *id)
{
    if (value.size() != 8 || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return;
    id->Date = QString::fromLatin1(value.first(4));
    id->Time = QString::fromLatin1(value.sliced(4));
}

constexpr unsigned char SingleDataMessage = 0x04;
constexpr unsigned char MultipleDataMessage = 0x80;

enum TParameter : unsigned char { pDateTime = 0x01, pNumber = 0x02, pNoNumber = 0x04, pName = 0x07, pNoName = 0x08 };

TCallerId Unreadable()
{
    TCallerId id;
    id.Kind = TKind::Unreadable;
    return id;
}

TCallerId FromParameters(QByteArrayView body)
{
    TCallerId id;
    while (!body.isEmpty()) {
        if (body.size() < 2 || body.size() < 2 + qsizetype(static_cast<unsigned char>(body[1])))
            return Unreadable();
        const auto type = static_cast<unsigned char>(body[0]);
        const QByteArrayView value = body.sliced(2, static_cast<unsigned char>(body[1]));
        body = body.sliced(2 + value.size());
        switch (type) {
        case pDateTime: TakeDateTime(value, &id); break;
        case pNumber: TakeNumber(value, &id); break;
        case pNoNumber:
            if (id.Kind != TKind::Number)
                TakeNumber(value == "P" ? value : QByteArrayView("O"), &id);
            break;
        case pName: TakeName(value, &id); break;
        default: break; // pNoName and what this program does not show
        }
    }
    if (id.Kind == TKind::None)
        id.Kind = TKind::Unavailable;
    return id;
}

} // namespace

TCallerId CallerIdFromMessage(const QByteArray &hex)
{
    QByteArray digits = hex;
    digits.replace(' ', QByteArray());
    if (digits.isEmpty() || digits.size() % 2 != 0
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return Unreadable();
    const QByteArray bytes = QByteArray::fromHex(digits);
    // Type, length, the body and the checksum, which makes the sum of all
    // bytes zero.
    if (bytes.size() < 3 || bytes.size() != 3 + static_cast<unsigned char>(bytes[1]))
        return Unreadable();
    unsigned char sum = 0;
    for (char c : bytes)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
    if (sum != 0)
        return Unreadable();
    const QByteArrayView body = QByteArrayView(bytes).sliced(2, bytes.size() - 3);
    switch (static_cast<unsigned char>(bytes[0])) {
    case SingleDataMessage: {
        if (body.size() < 8)
            return Unreadable();
        TCallerId id;
        TakeDateTime(body.first(8), &id);
        TakeNumber(body.sliced(8), &id);
        return id;
    }
    case MultipleDataMessage: return FromParameters(body);
    default: return Unreadable();
    }
}

bool TCallerIdBlock::Take(const QByteArray &line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return false;
    const QByteArray key = line.left(equals).trimmed().toUpper();
    const QByteArray value = line.sliced(equals + 1).trimmed();
    if (key == "DATE") {
        FId.Date = QString::fromLatin1(value.left(4));
    } else if (key == "TIME") {
        FId.Time = QString::fromLatin1(value.left(4));
    } else if (key == "NMBR") {
        TakeNumber(value, &FId);
    } else if (key == "NAME") {
        TakeName(value, &FId);
    } else if (key == "MESG") {
        // Some modems add the parts they do not format as a message of its
        // own: a number they read themselves stands.
        const TCallerId whole = CallerIdFromMessage(value);
        if (whole.Kind != TKind::Unreadable)
            FId = whole;
        else if (FId.Kind == TKind::None)
            FId.Kind = TKind::Unreadable;
    } else if (key == "DDN_NMBR") {
        // the number that was called: ours
    } else {
        return false;
    }
    FEmpty = false;
    return true;
}

void TCallerIdBlock::Clear()
{
    FId = TCallerId();
    FEmpty = true;
}

namespace {

// Ended calls kept for an owner that has not deallocated them yet.
constexpr std::size_t MaxEndedCalls = 16;

} // namespace

const TOfferedCall *TOfferedCalls::Call(HCALL call) const
{
    const auto it = FCalls.find(call);
    return it == FCalls.end() ? nullptr : &it->second;
}

LONG TOfferedCalls::Deallocate(HCALL call)
{
    const auto it = FCalls.find(call);
    if (it == FCalls.end())
        return LINEERR_INVALCALLHANDLE;
    if (it->second.State != LINECALLSTATE_IDLE)
        return LINEERR_INVALCALLSTATE;
    FCalls.erase(it);
    return 0;
}

void TOfferedCalls::TrimEnded()
{
    // Handles only grow: the first entries are the oldest.
    for (auto it = FCalls.begin(); FCalls.size() > MaxEndedCalls && it != FCalls.end();) {
        if (it->second.State == LINECALLSTATE_IDLE)
            it = FCalls.erase(it);
        else
            ++it;
    }
}
