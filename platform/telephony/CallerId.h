#pragma once

#include "platform/telephony/Tapi.h"

#include <QByteArray>
#include <QString>
#include <map>

// What the modem told of the person calling. A number is kept only when
// it was read whole: a damaged message gives Unreadable, never a number.
struct TCallerId {
    enum class TKind { None, Number, Withheld, Unavailable, Unreadable };
    TKind Kind = TKind::None;
    QString Number; // as received, for Number
    QString Name;   // when the network gave one
    QString Date;   // "MMDD", when given
    QString Time;   // "HHMM", when given

    bool operator==(const TCallerId &) const = default;
};

// A call offered to a watching line: it rings, and its caller ID may
// arrive. How it ended, when the device knows: LINEDISCONNECTMODE_PICKUP
// (answered on another device of the extension) or NOANSWER (missed); 0
// when the device cannot tell.
struct TOfferedCall {
    DWORD State = LINECALLSTATE_OFFERING;
    TCallerId CallerId;
    DWORD Rings = 0;
    DWORD EndMode = 0;
};

// The calls a line watches, as the line functions ask for them: the
// records of ended calls stay until deallocated, the oldest dropped beyond
// a few.
class TOfferedCalls {
public:
    virtual ~TOfferedCalls() = default;
    const TOfferedCall *Call(HCALL call) const;
    // Forgets an idle call; LINEERR_INVALCALLSTATE while it rings.
    LONG Deallocate(HCALL call);

protected:
    // Drops the oldest ended calls beyond a few.
    void TrimEnded();
    std::map<HCALL, TOfferedCall> FCalls;
};

// The caller ID message (SDMF or MDMF, with its type, length and checksum
// bytes) that a modem passes on unformatted as hex digits.
TCallerId CallerIdFromMessage(const QByteArray &hex);

// Gathers the lines of one caller ID block as a modem formats them:
// "DATE = MMDD", "TIME = HHMM", "NMBR = ..." ("P" withheld, "O" not
// available), "NAME = ...", or "MESG = <hex>" for the whole message.
class TCallerIdBlock {
public:
    // Takes line when it belongs to a caller ID block; false otherwise.
    bool Take(const QByteArray &line);
    bool IsEmpty() const { return FEmpty; }
    const TCallerId &Result() const { return FId; }
    void Clear();

private:
    TCallerId FId;
    bool FEmpty = true;
};
