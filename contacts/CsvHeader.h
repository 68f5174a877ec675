#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

// What the columns of a CSV file's header mean. Recognised: the contacts
// table's own names (Ad, Soyad, CTelefon, ETelefon, ITelefon, Email,
// Adres; "No" is passed over), and the export headers of Outlook
// ("First Name", "Last Name", "Mobile Phone", "Home Phone", "Business
// Phone", "E-mail Address", "Home Street" ...), Thunderbird ("Primary
// Email", "Work Phone", "Mobile Number", "Home Address" ...) and Google
// Contacts ("Given Name", "Family Name", "Phone 1 - Type"/"Phone 1 -
// Value", "E-mail 1 - Value", "Address 1 - Formatted" ...), in any order
// and letter case.
class TCsvHeader {
public:
    // Raises EContactFileError (HeaderUnknown) when none of its columns is known.
    explicit TCsvHeader(const QList<QByteArray> &names);

    // Fills the record from one line's fields; what the table has no place
    // for (a second e-mail, a fourth number) goes to NotTaken.
    void Fill(const QList<QByteArray> &fields, TContactRecord &record);

    // The columns that were not read and held text on some line, with how
    // many lines (ColumnNotRead problems).
    std::vector<TImportProblem> UnreadColumnsWithData() const;

private:
    enum TRole {
        rNone,
        rIgnored,
        rGiven,
        rMiddle,
        rFamily,
        rFullName,
        rMobile,
        rHome,
        rWork,
        rPhone,
        rPhoneType,
        rPhoneValue,
        rEmail,
        rAddress,
        rStreet,
        rStreet2,
        rCity,
        rRegion,
        rPostalCode,
        rCountry
    };
    struct TColumn {
        TRole Role = rNone;
        int Group = 0; // the "1" of "Phone 1 - Value"; the address of "Home Street" (1) or "Business Street" (2)
        QString Name;
        std::int64_t LinesWithData = 0;
    };
    static TColumn Recognise(const QString &name);
    std::vector<TColumn> FColumns;
};
