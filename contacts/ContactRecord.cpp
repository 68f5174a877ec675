#include "contacts/ContactRecord.h"

namespace {

constexpr int kMostNotTaken = 100;

void Note(QStringList &list, const QString &what)
{
    if (list.size() < kMostNotTaken)
        list << what;
    else if (list.size() == kMostNotTaken)
        list << QStringLiteral("more");
}

QString Quoted(const QByteArray &utf8)
{
    return u'"' + QString::fromUtf8(utf8.left(200)) + u'"';
}

} // namespace

void TContactRecord::Clear()
{
    for (QByteArray &v : Values)
        v.clear();
    Position = 0;
    Problems.clear();
    NotTaken.clear();
    FUntypedCount = 0;
}

void TContactRecord::AddPhone(const QByteArray &number, TPhoneKind kind)
{
    const QByteArray n = number.trimmed();
    if (n.isEmpty())
        return;
    int slot = -1;
    switch (kind) {
    case TPhoneKind::Mobile: slot = cfCTelefon; break;
    case TPhoneKind::Home: slot = cfETelefon; break;
    case TPhoneKind::Work: slot = cfITelefon; break;
    case TPhoneKind::Other: Note(NotTaken, QStringLiteral("the fax or pager number %1").arg(Quoted(n))); return;
    case TPhoneKind::Untyped:
        if (FUntypedCount < int(std::size(FUntyped)))
            FUntyped[FUntypedCount++] = n;
        else
            Note(NotTaken, QStringLiteral("the number %1").arg(Quoted(n)));
        return;
    }
    if (Values[slot].isEmpty())
        Values[slot] = n;
    else
        Note(NotTaken,
             QStringLiteral("the %1 number %2")
                 .arg(QLatin1String(kind == TPhoneKind::Mobile     ? "second mobile"
                                        : kind == TPhoneKind::Home ? "second home"
                                                                   : "second work"),
                      Quoted(n)));
}

void TContactRecord::AddEmail(const QByteArray &address)
{
    const QByteArray a = address.trimmed();
    if (a.isEmpty())
        return;
    if (Values[cfEmail].isEmpty())
        Values[cfEmail] = a;
    else
        Note(NotTaken, QStringLiteral("the e-mail %1").arg(Quoted(a)));
}

void TContactRecord::AddAddress(const QByteArray &address)
{
    if (address.trimmed().isEmpty())
        return;
    if (Values[cfAdres].isEmpty())
        Values[cfAdres] = address;
    else
        Note(NotTaken, QStringLiteral("the address %1").arg(Quoted(address)));
}

void TContactRecord::NotTake(const QString &what)
{
    Note(NotTaken, what);
}

bool TContactRecord::HasSomethingToStore() const
{
    return HasName() || !Values[cfCTelefon].isEmpty() || !Values[cfETelefon].isEmpty() || !Values[cfITelefon].isEmpty()
        || !Values[cfEmail].isEmpty();
}

void TContactRecord::Finish()
{
    // Untyped numbers fill the free places in the table's order.
    int next = 0;
    for (int slot = cfCTelefon; slot <= cfITelefon && next < FUntypedCount; ++slot)
        if (Values[slot].isEmpty())
            Values[slot] = FUntyped[next++];
    for (; next < FUntypedCount; ++next)
        Note(NotTaken, QStringLiteral("the number %1").arg(Quoted(FUntyped[next])));
    FUntypedCount = 0;
}
