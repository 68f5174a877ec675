#include "sync/SyncMerge.h"

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
        if (!local[c].isEmpty() && !server[c].isEmpty() && local[c] != server[c])
            out.Conflicts.push_back(c);
    }
    return out;
}
