#include "sync/SyncMerge.h"

#include "contacts/ContactRecord.h"
#include "contacts/DuplicateCheck.h"

namespace {

// The same name, number or e-mail written two ways ("YILMAZ", "Yılmaz"; "+90 532 ...", "0532 ...").
bool SameValue(int column, const QByteArray &a, const QByteArray &b)
{
    if (column >= cfCTelefon && column <= cfITelefon)
        return TDuplicateCheck::PhoneKey(a) == TDuplicateCheck::PhoneKey(b);
    if (column == cfEmail)
        return TDuplicateCheck::EmailKey(a) == TDuplicateCheck::EmailKey(b);
    if (column == cfAd || column == cfSoyad)
        return TDuplicateCheck::NameKey(a, QByteArray()) == TDuplicateCheck::NameKey(b, QByteArray());
    return a == b;
}

} // namespace

TMergeOutcome MergeContact(const QByteArray *base, const QByteArray *local, const QByteArray *server)
{
    TMergeOutcome out;
    for (int c = 0; c < 7; ++c) {
        if (local[c] == base[c])
            out.Values[c] = server[c];
        else
            out.Values[c] = local[c];
        if (local[c] != base[c] && server[c] != base[c] && local[c] != server[c])
            out.Conflicts.push_back(c);
    }
    return out;
}

TMergeOutcome JoinContact(const QByteArray *local, const QByteArray *server)
{
    TMergeOutcome out;
    for (int c = 0; c < 7; ++c) {
        out.Values[c] = local[c].isEmpty() ? server[c] : local[c];
        if (!local[c].isEmpty() && !server[c].isEmpty() && !SameValue(c, local[c], server[c]))
            out.Conflicts.push_back(c);
    }
    return out;
}
