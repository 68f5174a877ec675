#include "sync/CardQueue.h"

#include <cstring>
#include <new>

namespace {

constexpr qsizetype kBlock = 64 * 1024;

// A card in a block: the lengths of its path (UTF-8), ETag and text, then
// the three.
void PutLength(QByteArray &to, qsizetype n)
{
    const quint32 v = quint32(n);
    to.append(reinterpret_cast<const char *>(&v), sizeof v);
}

qsizetype TakeLength(const QByteArray &from, qsizetype &at)
{
    quint32 v = 0;
    std::memcpy(&v, from.constData() + at, sizeof v);
    at += qsizetype(sizeof v);
    return qsizetype(v);
}

} // namespace

void TCardQueue::Push(const QString &path, const QByteArray &etag, const QByteArray &card)
{
    const QByteArray name = path.toUtf8();
    if (FWriting.isNull())
        FWriting.reserve(kBlock + 1024);
    PutLength(FWriting, name.size());
    PutLength(FWriting, etag.size());
    PutLength(FWriting, card.size());
    FWriting.append(name).append(etag).append(card);
    ++FSize;
    if (FWriting.size() >= kBlock)
        Seal();
}

void TCardQueue::Seal()
{
    FSealed.push_back(qCompress(FWriting, 1));
    FSealed.back().squeeze(); // deflated into room for the whole block
    FWriting = QByteArray();
}

const TArrivedCard &TCardQueue::Front()
{
    if (FHaveFront)
        return FFront;
    if (FReadAt >= FReading.size()) {
        // The oldest cards are in the first sealed block, else in the one
        // being written.
        if (!FSealed.empty()) {
            FReading = qUncompress(FSealed.front());
            FSealed.pop_front();
            if (FReading.isEmpty()) // inflated into too little memory
                throw std::bad_alloc();
        } else {
            FReading = std::move(FWriting);
            FWriting = QByteArray();
        }
        FReadAt = 0;
    }
    const qsizetype name = TakeLength(FReading, FReadAt), etag = TakeLength(FReading, FReadAt), card = TakeLength(FReading, FReadAt);
    const char *at = FReading.constData() + FReadAt;
    FFront.Path = QString::fromUtf8(at, name);
    FFront.ETag = QByteArray(at + name, etag);
    FFront.Card = QByteArray(at + name + etag, card);
    FReadAt += name + etag + card;
    FHaveFront = true;
    return FFront;
}

void TCardQueue::Pop()
{
    Front();
    FHaveFront = false;
    FFront = TArrivedCard();
    --FSize;
    if (FReadAt >= FReading.size())
        FReading = QByteArray();
}
