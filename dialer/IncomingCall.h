#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

// An incoming call as the dialer reports it to the program: the call's
// handle, what the modem told of the caller, and how many RINGs have come.
// The dialer reports the same call again at every RING and when its caller
// ID arrives; a call with another handle is a new call.
struct TIncomingCall {
    enum TCaller {
        icPending,     // no caller ID (yet)
        icNumber,      // Number holds the number as received
        icWithheld,    // the caller withheld the number ("P")
        icUnavailable, // the network did not give one ("O")
        icUnreadable   // the caller ID message was damaged (bad checksum)
    };
    std::uint32_t Call = 0;
    TCaller Caller = icPending;
    QString Number;
    QString Name;   // the caller's name when the network gave one
    QDateTime Time; // when the call was first offered
    int Rings = 0;
    // How the call ended, where the line can tell (the office's SIP server
    // can, a modem cannot): answered on another device of the extension
    // (the desk phone), or missed.
    enum TOutcome { ocUnknown, ocAnswered, ocMissed };
    TOutcome Outcome = ocUnknown;
};
