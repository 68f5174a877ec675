#pragma once

// The cards a listing brought, waiting to be planned or stored, taken in
// the order they came. They are kept deflated in blocks of some 64 KiB: the
// cards of one address book are much alike, and a block of them deflates to
// a fraction of its size, so a first download of thousands of cards holds
// little more than one block of them as text.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <deque>

struct TArrivedCard {
    QString Path;
    QByteArray ETag;
    QByteArray Card;
};

class TCardQueue {
public:
    void Push(const QString &path, const QByteArray &etag, const QByteArray &card);
    bool Empty() const { return FSize == 0; }
    std::size_t Size() const { return FSize; }
    // The first card, until Pop; the queue must not be empty.
    const TArrivedCard &Front();
    void Pop();
    void Clear() { *this = TCardQueue(); }

private:
    void Seal();
    QByteArray FWriting;            // the cards pushed since the last block was sealed
    std::deque<QByteArray> FSealed; // deflated blocks, oldest first
    QByteArray FReading;            // the block being taken, inflated
    qsizetype FReadAt = 0;
    TArrivedCard FFront;
    bool FHaveFront = false;
    std::size_t FSize = 0;
};
