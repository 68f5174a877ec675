// Two programs change and delete the same few contacts in a loop through
// the record set, on a file and on the server, while a third keeps the
// file locked (on the server: every row) for a second at a time (less than
// the connection's busy timeout). Every Post that
// collides must fail for the one who came second, with its typed value
// still pending; no acknowledged change may be overwritten unseen; and the
// lock must only make the others wait, never fail.
//
// Every value written is new, so the acknowledged changes of a contact
// form a chain from its first value: each Post read the value the one
// before it wrote. Two Posts from the same value would be a lost update.
#include "ReliabilitySupport.h"

#include "support/TestHome.h"

#include <QProcess>
#include <QtTest>
#include <set>

class TestCollisions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void collisionsReachTheLoser_data()
    {
        QTest::addColumn<int>("provider");
        for (int i = 0; i < int(ProvidersUnderTest().size()); ++i)
            QTest::newRow(qPrintable(ProvidersUnderTest()[std::size_t(i)].Name)) << i;
    }

    void collisionsReachTheLoser()
    {
        QFETCH(int, provider);
        TTestHome home;
        const QStringList initial = {QStringLiteral("I1"), QStringLiteral("I2"), QStringLiteral("I3"), QStringLiteral("I4"),
                                     QStringLiteral("I5")};
        const QString connection = ProvidersUnderTest()[std::size_t(provider)].MakeDatabase(home.Path(), initial);
        const QString rounds = QString::number(Rounds(150));

        QProcess first, second, locker;
        StartClient(first, {QStringLiteral("contend"), connection, QStringLiteral("P"), rounds, QStringLiteral("1")});
        StartClient(second, {QStringLiteral("contend"), connection, QStringLiteral("Q"), rounds, QStringLiteral("2")});
        StartClient(locker, {QStringLiteral("lock"), connection, QStringLiteral("1000"), QStringLiteral("3")});
        for (QProcess *p : {&first, &second, &locker}) {
            p->write("go\n");
            QVERIFY(p->waitForBytesWritten());
        }
        for (QProcess *p : {&first, &second, &locker}) {
            QVERIFY(p->waitForFinished(600000));
            if (p->exitCode() != 0) // the client's last words say why
                QFAIL(p->readAllStandardOutput().right(400).constData());
        }

        std::set<QString> known(initial.begin(), initial.end()); // every value acknowledged
        std::set<QString> readFrom;                              // values a Post changed
        std::set<QString> deletedValues;                         // the values the Deletes read
        int posts = 0, collisions = 0;
        for (QProcess *p : {&first, &second}) {
            for (const QStringList &l : CompleteLines(p->readAllStandardOutput())) {
                const QString kind = l.value(0);
                if (kind == u"OK") {
                    ++posts;
                    QVERIFY2(readFrom.insert(l.value(2)).second,
                             qPrintable(QStringLiteral("lost update: two Posts changed ") + l.value(2)));
                    known.insert(l.value(3));
                } else if (kind == u"COLLISION") {
                    ++posts;
                    ++collisions;
                    QVERIFY2(l.value(4) == u"1", qPrintable(QStringLiteral("typed value lost: ") + l.join(u' ')));
                    QVERIFY2(l.value(5) == u"1", qPrintable(QStringLiteral("collision reported for an unchanged row: ") + l.join(u' ')));
                } else if (kind == u"ADD") {
                    known.insert(l.value(2));
                } else if (kind == u"DEL") {
                    deletedValues.insert(l.value(2));
                } else if (kind == u"DELCOLLISION") {
                    QVERIFY2(l.value(3) == u"1", qPrintable(QStringLiteral("delete refused for an unchanged row: ") + l.join(u' ')));
                } else {
                    QFAIL(qPrintable(QStringLiteral("unexpected output: ") + l.join(u' ')));
                }
            }
        }

        // Every acknowledged value is in the file, was changed by an
        // acknowledged Post, or went with a Delete that read it; nothing else
        // is there.
        std::set<QString> inFile;
        for (const auto &[key, contact] : ReadContacts(connection)) {
            QVERIFY2(known.count(contact.Soyad), qPrintable(QStringLiteral("unexplained value ") + contact.Soyad));
            inFile.insert(contact.Soyad);
        }
        for (const QString &v : known)
            QVERIFY2(inFile.count(v) || readFrom.count(v) || deletedValues.count(v),
                     qPrintable(QStringLiteral("acknowledged value lost: ") + v));
        qInfo("collisions: %d detected of %d Posts on the same rows", collisions, posts);
        QVERIFY2(collisions > 0, "the two programs never collided");
    }
};

QTEST_GUILESS_MAIN(TestCollisions)
#include "tst_collisions.moc"
