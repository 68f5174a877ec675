#pragma once

#include <QString>

struct TDialingLocation;

// Whether an argument handed to the program is a tel: link (RFC 3966).
bool IsTelLink(const QString &argument);

// The number a tel: link names, as it is dialled from the location: a
// global number of the location's country becomes a national one ("0" and
// the national number), or a local one when it lies in the location's
// area; one of another country becomes international ("00..."); a local
// number ("tel:112", "tel:*123#;phone-context=+90") stays as it is. The
// link's visual separators and parameters are dropped. Empty when the link
// names no number that can be dialled.
QString TelLinkNumber(const QString &link, const TDialingLocation &location);
