#include "sync/CardValues.h"

#include "platform/core/Exception.h"
#include "contacts/VCardPatch.h"

#include <QCryptographicHash>
#include <algorithm>

namespace {

qsizetype Characters(const QByteArray &utf8)
{
    qsizetype n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

} // namespace

TCardValues TCardColumns::Read(const QByteArray &card) const
{
    TCardValues v;
    TContactRecord record;
    try {
        v.Ok = ReadCard(card, record) && record.HasSomethingToStore();
    } catch (const Exception &) {
        v.Ok = false;
    }
    if (!v.Ok)
        return v;
    v.Uid = CardUid(card);
    for (int c = 0; c < cfCount; ++c) {
        QByteArray value = record.Values[c];
        if (value.contains('\r'))
            value.replace("\r\n", "\n").replace('\r', '\n');
        v.Raw[c] = value;
        const int width = c < int(FWidths.size()) ? FWidths[std::size_t(c)] : 0;
        if (width > 0 && Characters(value) > width) {
            v.TooLong << FNames.value(c);
            v.Fit[c] = QByteArray();
        } else {
            v.Fit[c] = value;
        }
    }
    return v;
}

QByteArray ValuesDigest(const QByteArray *values)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (int c = 0; c < cfCount; ++c) {
        hash.addData(values[c]);
        hash.addData(QByteArrayView("\x1f", 1));
    }
    return hash.result().toHex();
}

bool SameValues(const QByteArray *a, const QByteArray *b)
{
    return std::equal(a, a + cfCount, b);
}
