#pragma once

#include "contacts/ImportProblem.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

// The seven text columns of DBASE, in table order (see ContactColumns).
enum TContactField { cfAd, cfSoyad, cfCTelefon, cfETelefon, cfITelefon, cfEmail, cfAdres, cfCount };

// What kind of number a file says a telephone number is.
enum class TPhoneKind { Untyped, Mobile, Home, Work, Other /* fax, pager: not for calling */ };

// One contact read from a file, on its way into DBASE. The readers fill it
// through the Add... calls, which keep the first value of each kind and
// list what does not fit; Finish places untyped numbers. A detail that
// cannot be taken never sinks the record: it is listed in NotTaken, and
// only a record with nothing to store (no name, number or e-mail) is
// refused.
class TContactRecord {
public:
    QByteArray Values[cfCount];           // UTF-8; empty for none
    std::int64_t Position = 0;            // the record's first line (CSV) or its card number (vCard)
    std::vector<TImportProblem> Problems; // why it cannot be added
    std::vector<TImportProblem> NotTaken; // what it holds that is not stored, and why
    // A line, or the value of a property the columns are made from, could
    // not be read: the values may lack what the file meant them to hold.
    bool Unreadable = false;

    void Clear();
    void AddPhone(const QByteArray &number, TPhoneKind kind);
    void AddEmail(const QByteArray &address);
    void AddAddress(const QByteArray &address);
    // Lists a detail that is not taken (a long list ends in MoreDetails).
    void NotTake(TImportProblem what);
    void Finish();
    bool HasName() const { return !Values[cfAd].isEmpty() || !Values[cfSoyad].isEmpty(); }
    bool HasSomethingToStore() const;

private:
    QByteArray FUntyped[8];
    int FUntypedCount = 0;
};
