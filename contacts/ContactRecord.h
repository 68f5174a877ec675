#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

// The seven text columns of DBASE, in table order (see ContactColumns).
enum TContactField { cfAd, cfSoyad, cfCTelefon, cfETelefon, cfITelefon, cfEmail, cfAdres, cfCount };

// What kind of number a file says a telephone number is.
enum class TPhoneKind { Untyped, Mobile, Home, Work, Other /* fax, pager: not for calling */ };

// One contact read from a file, on its way into DBASE. The readers fill it
// through the Add... calls, which keep the first value of each kind and
// note what does not fit; Finish places untyped numbers and checks that
// the record names someone or something to call.
class TContactRecord {
public:
    QByteArray Values[cfCount]; // UTF-8; empty for none
    std::int64_t Position = 0;   // the record's first line (CSV) or its card number (vCard)
    QStringList Problems;        // why it cannot be added
    QStringList NotTaken;        // what it holds that has no place in the table

    void Clear();
    void AddPhone(const QByteArray &number, TPhoneKind kind);
    void AddEmail(const QByteArray &address);
    void AddAddress(const QByteArray &address);
    void Finish();
    bool HasName() const { return !Values[cfAd].isEmpty() || !Values[cfSoyad].isEmpty(); }

private:
    QByteArray FUntyped[8];
    int FUntypedCount = 0;
};
