#pragma once

#include "platform/telephony/ModemSettings.h"

#include <QString>

// The desktop's phone application as a line device: the number is handed
// over as a tel: link (RFC 3966) to whatever the desktop has registered
// for x-scheme-handler/tel (a phone-link application that calls from a
// paired mobile, or a softphone), and the call goes on there.

// The tel: link for a number at the given location; empty when the number
// is no valid dial string or cannot be written as one. A number the
// location's country code lets us make global becomes "tel:+<digits>"
// ("+90 (212) 555 12 12", "0212 555 12 12" and, with area code 212,
// "555 12 12" all give "tel:+902125551212"; "00..." is international); a
// service code with "*" or "#", or a number with no area code to go with
// it, stays local with ";phone-context=+<country code>". Pauses and the
// other modem-only dial characters cannot be written in a tel: link.
QString TelUri(const QString &number, const TDialingLocation &location);

// The desktop entry of the application registered for tel: links, asked
// afresh each time; empty when there is none.
QString TelHandlerDesktopFile();

// Hands the link to the registered application and returns once it has
// been started; false when none is registered or it cannot be started (the
// reason goes to the program's warnings).
bool HandOverToPhoneApplication(const QString &uri);
