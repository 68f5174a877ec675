#include "app/CallerLookup.h"

#include "app/FieldLabels.h"
#include "contacts/ContactRecord.h"
#include "platform/telephony/ModemSettings.h"
#include "store/ADOQuery.h"

namespace {

// The last digits the database compares; the keys compare the rest.
constexpr int NarrowingDigits = 7;

const char *const CallerStatement =
    "SELECT * FROM DBASE WHERE CTELEFON LIKE :a OR ETELEFON LIKE :b"
    " OR ITELEFON LIKE :c ORDER BY AD";

// "%1%2%3%4%5%6%7%": any text holding these digits in this order, with
// anything between them (blanks, hyphens, parentheses).
QString NarrowingPattern(const QByteArray &key)
{
    QString pattern = QStringLiteral("%");
    for (const char digit : key.right(NarrowingDigits)) {
        pattern += QLatin1Char(digit);
        pattern += u'%';
    }
    return pattern;
}

} // namespace

bool IsMobileKey(const QByteArray &key)
{
    return key.startsWith("905");
}

TCallerMatch FindCaller(TADOConnection *connection, const QString &number, const TPhonePlace &place)
{
    TCallerMatch match;
    const QByteArray key = PhoneNumberKey(number, place);
    if (key.isEmpty())
        return match;
    TADOQuery query;
    query.SetConnection(connection);
    query.SQL.Add(QString::fromLatin1(CallerStatement));
    const QString pattern = NarrowingPattern(key);
    for (int i = 0; i < 3; ++i)
        query.Parameters.SetValue(i, pattern);
    query.Open();

    static const std::pair<const char *, int> fields[] = {{"CTelefon", cfCTelefon}, {"ETelefon", cfETelefon}, {"ITelefon", cfITelefon}};
    for (; !query.Eof(); query.Next()) {
        for (const auto &[field, column] : fields) {
            if (PhoneNumberKey(query.FieldByName(QString::fromLatin1(field))->AsString(), place) != key)
                continue;
            match.Found = true;
            match.ContactNo = query.FieldByName(QStringLiteral("No"))->AsString().toLongLong();
            match.Name =
                (query.FieldByName(QStringLiteral("Ad"))->AsString() + u' ' + query.FieldByName(QStringLiteral("Soyad"))->AsString())
                    .trimmed();
            match.FieldName = QString::fromLatin1(field);
            match.FieldLabel = ContactFieldLabel(column);
            return match;
        }
    }
    return match;
}
