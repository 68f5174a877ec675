#include "contacts/DuplicateCheck.h"

#include "platform/core/PhoneNumberKey.h"

#include "store/ContactsTable.h"
#include "store/Provider.h"
#include "store/RowArena.h"
#include "contacts/ContactRecord.h"

QByteArray TDuplicateCheck::PhoneKey(const QByteArray &number)
{
    return PhoneNumberKey(QByteArrayView(number));
}

QByteArray TDuplicateCheck::EmailKey(const QByteArray &email)
{
    return email.trimmed().toLower();
}

void TDuplicateCheck::AddExisting(TProvider &engine)
{
    TRowArena keys;
    std::vector<TResultColumn> columns;
    TResultTable table;
    engine.Select(QString::fromLatin1(ContactKeysSql()), {}, {}, keys, columns, table);
    const auto bytes = [&](std::size_t row, int column) {
        const TCellView cell = keys.Cell(row, column);
        return cell.Kind == TCellKind::Text ? QByteArray(cell.Data, qsizetype(cell.Size)) : QByteArray();
    };
    for (std::size_t row = 0; row < keys.RowCount(); ++row) {
        const std::int64_t no = keys.Cell(row, 0).Int;
        for (int c = 1; c <= 3; ++c)
            if (const QByteArray k = PhoneKey(bytes(row, c)); !k.isEmpty())
                FPhones.insert(k, no);
        if (const QByteArray k = EmailKey(bytes(row, 4)); !k.isEmpty())
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
