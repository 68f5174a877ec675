#pragma once

#include <QByteArray>

// What the program itself reads out of SIP messages (the stack parses the
// rest).

// The status code of a message/sipfrag body ("SIP/2.0 180 Ringing"): the
// progress of a transfer as the transferee reports it; 0 when the body is
// no status line.
int SipfragStatus(const QByteArray &body);

#include "platform/telephony/CallerId.h"

// Who is calling, from the identity the server asserts
// (P-Asserted-Identity) or else the From header: its display name (quoted
// or not) and its URI (sip:, sips: or tel:). A number is the URI's user
// part when it is a telephone number; an anonymous identity is Withheld;
// any other user (a name, not a number) is Unavailable, with the display
// name kept.
TCallerId SipCaller(const QByteArray &display, const QByteArray &uri);
