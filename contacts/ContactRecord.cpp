#include "contacts/ContactRecord.h"

namespace {

constexpr int kMostNotTaken = 100;

void Note(std::vector<TImportProblem> &list, TImportProblem what)
{
    if (list.size() < kMostNotTaken)
        list.push_back(std::move(what));
    else if (list.size() == kMostNotTaken)
        list.push_back({.Kind = TImportProblemKind::MoreDetails});
}

// A value as a problem shows it: its first 200 characters.
QString Shown(const QByteArray &utf8)
{
    return QString::fromUtf8(utf8.left(800)).left(200);
}

TImportProblem Detail(TImportProblemKind kind, const QByteArray &value, int field = -1)
{
    return {.Kind = kind, .Field = field, .Text = Shown(value)};
}

} // namespace

void TContactRecord::Clear()
{
    for (QByteArray &v : Values)
        v.clear();
    Position = 0;
    Problems.clear();
    NotTaken.clear();
    Unreadable = false;
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
    case TPhoneKind::Other: Note(NotTaken, Detail(TImportProblemKind::FaxOrPager, n)); return;
    case TPhoneKind::Untyped:
        if (FUntypedCount < int(std::size(FUntyped)))
            FUntyped[FUntypedCount++] = n;
        else
            Note(NotTaken, Detail(TImportProblemKind::ExtraNumber, n));
        return;
    }
    if (Values[slot].isEmpty())
        Values[slot] = n;
    else
        Note(NotTaken, Detail(TImportProblemKind::SecondNumber, n, slot));
}

void TContactRecord::AddEmail(const QByteArray &address)
{
    const QByteArray a = address.trimmed();
    if (a.isEmpty())
        return;
    if (Values[cfEmail].isEmpty())
        Values[cfEmail] = a;
    else
        Note(NotTaken, Detail(TImportProblemKind::SecondEmail, a));
}

void TContactRecord::AddAddress(const QByteArray &address)
{
    if (address.trimmed().isEmpty())
        return;
    if (Values[cfAdres].isEmpty())
        Values[cfAdres] = address;
    else
        Note(NotTaken, Detail(TImportProblemKind::SecondAddress, address));
}

void TContactRecord::NotTake(TImportProblem what)
{
    Note(NotTaken, std::move(what));
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
        Note(NotTaken, Detail(TImportProblemKind::ExtraNumber, FUntyped[next]));
    FUntypedCount = 0;
}
