#include "tools/import/DuplicateCheck.h"

#include "store/Statement.h"
#include "tools/ContactRecord.h"
#include "tools/ContactsDatabase.h"

QByteArray TDuplicateCheck::PhoneKey(const QByteArray &number)
{
    QByteArray digits;
    digits.reserve(number.size());
    for (const char c : number)
        if (c >= '0' && c <= '9')
            digits += c;
    const bool international = number.trimmed().startsWith('+');
    if (digits.startsWith("00")) {
        digits.remove(0, 2);
        if (digits.startsWith("90"))
            digits.remove(0, 2);
    } else if (international && digits.startsWith("90")) {
        digits.remove(0, 2);
    } else if (!international && digits.startsWith('0')) {
        digits.remove(0, 1);
    }
    return digits;
}

QByteArray TDuplicateCheck::EmailKey(const QByteArray &email)
{
    return email.trimmed().toLower();
}

void TDuplicateCheck::AddExisting(sqlite3 *db)
{
    TStatement keys(db, ContactKeysSql());
    while (keys.Step()) {
        const std::int64_t no = keys.ColumnInt64(0);
        for (int c = 1; c <= 3; ++c)
            if (const QByteArray k = PhoneKey(keys.ColumnBytes(c)); !k.isEmpty())
                FPhones.insert(k, no);
        if (const QByteArray k = EmailKey(keys.ColumnBytes(4)); !k.isEmpty())
            FEmails.insert(k, no);
    }
}

QString TDuplicateCheck::Find(const QByteArray *values, const QString &recordWord) const
{
    const auto where = [&](std::int64_t at) {
        return at > 0 ? QStringLiteral("contact No %1").arg(at) : QStringLiteral("%1 %2").arg(recordWord).arg(-at);
    };
    for (int c = cfCTelefon; c <= cfITelefon; ++c) {
        const QByteArray k = PhoneKey(values[c]);
        if (const auto it = FPhones.constFind(k); !k.isEmpty() && it != FPhones.constEnd())
            return QStringLiteral("the number \"%1\" is that of %2").arg(QString::fromUtf8(values[c]), where(it.value()));
    }
    const QByteArray k = EmailKey(values[cfEmail]);
    if (const auto it = FEmails.constFind(k); !k.isEmpty() && it != FEmails.constEnd())
        return QStringLiteral("the e-mail \"%1\" is that of %2").arg(QString::fromUtf8(values[cfEmail]), where(it.value()));
    return QString();
}

void TDuplicateCheck::Add(const QByteArray *values, std::int64_t position)
{
    for (int c = cfCTelefon; c <= cfITelefon; ++c)
        if (const QByteArray k = PhoneKey(values[c]); !k.isEmpty())
            FPhones.insert(k, -position);
    if (const QByteArray k = EmailKey(values[cfEmail]); !k.isEmpty())
        FEmails.insert(k, -position);
}
