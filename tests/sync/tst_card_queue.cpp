// The queue a listing's cards wait in: every card comes out whole and in
// the order it went in, across the deflated blocks, while more go in.
#include "sync/CardQueue.h"

#include <QtTest>

class TestCardQueue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cardsComeOutWholeAndInOrder()
    {
        const auto card = [](int n) {
            // Sizes from empty to several KiB, with NUL bytes and 8-bit text.
            return QByteArray("BEGIN:VCARD\r\nFN:Gül ") + QByteArray::number(n) + QByteArray(n % 7 == 0 ? 0 : n % 5000, char(n))
                + QByteArray("\0\r\nEND:VCARD\r\n", 15);
        };
        TCardQueue queue;
        int pushed = 0, popped = 0;
        const auto pop = [&] {
            const TArrivedCard &c = queue.Front();
            QCOMPARE(c.Path, QStringLiteral("/kişiler/%1.vcf").arg(popped));
            QCOMPARE(c.ETag, popped % 3 ? QByteArray("\"e") + QByteArray::number(popped) + '"' : QByteArray());
            QCOMPARE(c.Card, card(popped));
            queue.Pop();
            ++popped;
        };
        // More than a block goes in, part comes out, more goes in, and the rest comes out.
        for (int round : {300, 50, 700}) {
            for (int i = 0; i < round; ++i, ++pushed)
                queue.Push(QStringLiteral("/kişiler/%1.vcf").arg(pushed),
                           pushed % 3 ? QByteArray("\"e") + QByteArray::number(pushed) + '"' : QByteArray(), card(pushed));
            for (int i = 0; i < round / 2; ++i)
                pop();
            QCOMPARE(queue.Size(), std::size_t(pushed - popped));
        }
        while (!queue.Empty())
            pop();
        QCOMPARE(popped, pushed);
    }
};

QTEST_GUILESS_MAIN(TestCardQueue)
#include "tst_card_queue.moc"
