#pragma once

#include <QByteArray>
#include <QString>

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
