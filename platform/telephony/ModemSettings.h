#pragma once

#include "platform/core/PhoneNumberKey.h"

#include <QList>
#include <QString>

// The line service's own settings, kept like a control panel would keep
// them: in Velmora/Telefon.ini under the user's config folder.
//
// Each configured modem is one line device; its index in the list is the
// device id.
struct TModemConfig {
    QString Port;       // serial device, e.g. /dev/ttyUSB0
    int Speed = 115200; // bits per second
    QString InitString = QStringLiteral("ATZ");
    bool Pulse = false;                                    // ATDP instead of ATDT
    int DialTimeout = 60;                                  // seconds to wait for the modem's answer
    bool CallerId = true;                                  // report who is calling, as the modem tells it
    QString CallerIdCommand = QStringLiteral("AT+VCID=1"); // turns the modem's caller ID on
};

// Which line device the service offers: the configured modems (each one a
// device), the desktop's phone application (one device) that takes the
// number as a tel: link, or the office's SIP server (one device: the user's
// extension, whose desk phone does the talking).
enum class TLineDevice { Modem, PhoneApplication, Sip };

// Where the user dials from: used to turn a number into what the modem dials.
struct TDialingLocation {
    QString CountryCode = QStringLiteral("90");
    QString AreaCode;
    QString OutsideLine; // prefix to reach an outside line, e.g. "9"
    bool Pulse = false;
};

QList<TModemConfig> LoadModems();
void SaveModems(const QList<TModemConfig> &modems);

TLineDevice LoadLineDevice();
void SaveLineDevice(TLineDevice device);

TDialingLocation LoadDialingLocation();
void SaveDialingLocation(const TDialingLocation &location);

// The place numbers are read and compared from: the dialling location's
// country and area codes (their digits; Turkey when it names no country).
TPhonePlace PhonePlaceOf(const TDialingLocation &location);

// The number with its formatting characters (blank, parentheses, hyphen,
// full stop, slash) dropped. Returns false when what remains holds any
// character a dial string may not hold or more than 30 characters; such
// a number never reaches a modem.
bool CleanDialString(const QString &number, QString *cleaned);

// What the modem dials for a number at the given location: a canonical
// number ("+90 (212) 5551212") becomes a local, long-distance or
// international one; the outside-line prefix and a pause come first, and a
// location that dials pulse starts with "P". Empty when the number cannot
// be dialled.
QString DialableForm(const QString &number, const TDialingLocation &location);
