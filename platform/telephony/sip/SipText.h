#pragma once

#include <QByteArray>

// What the program itself reads out of SIP messages (the stack parses the
// rest).

// The status code of a message/sipfrag body ("SIP/2.0 180 Ringing"): the
// progress of a transfer as the transferee reports it; 0 when the body is
// no status line.
int SipfragStatus(const QByteArray &body);
