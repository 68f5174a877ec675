// A program writing through the record set is killed (SIGKILL) at random
// moments, round after round, on the same file. Afterwards the file must
// pass SQLite's integrity check and hold every change whose Post or Delete
// had returned; only the one write in flight may have landed or not.
// The contacts tool's import, killed the same way, leaves none or all of
// the file's contacts.
#include "ReliabilitySupport.h"

#include "support/ContactsDb.h"
#include "support/TestHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

namespace {

// The write that was under way when the program died.
struct TInFlight {
    QString Op;  // "A", "C", "D" or empty
    QString Key; // No (C, D)
    QString Value;
};

// Applies the acknowledged writes of one round to expected; returns the one
// announced but not acknowledged.
TInFlight Apply(const std::vector<QStringList> &lines, TContacts &expected, int *acknowledged)
{
    TInFlight inFlight;
    for (const QStringList &l : lines) {
        if (l.value(0) == u"?") {
            inFlight = {l.value(1), l.value(1) == u"A" ? QString() : l.value(2), l.last()};
            continue;
        }
        if (l.value(0) == u"A")
            expected[l.value(1)] = {l.value(2), QStringLiteral("S") + l.value(2).mid(1)};
        else if (l.value(0) == u"C")
            expected[l.value(1)].Soyad = l.value(2);
        else if (l.value(0) == u"D")
            expected.erase(l.value(1));
        else
            QTest::qFail(qPrintable(QStringLiteral("unexpected output: ") + l.join(u' ')), __FILE__, __LINE__);
        inFlight = {};
        ++*acknowledged;
    }
    return inFlight;
}

// The contacts that differ from what was acknowledged, leaving aside what
// the write in flight may have done.
int LostChanges(const TContacts &expected, const TContacts &found, const TInFlight &inFlight)
{
    int lost = 0;
    QStringList keys;
    for (const auto &[key, c] : expected)
        keys << key;
    for (const auto &[key, c] : found)
        if (!expected.count(key))
            keys << key;
    for (const QString &key : keys) {
        const auto e = expected.find(key);
        const auto f = found.find(key);
        if (e != expected.end() && f != found.end() && e->second == f->second)
            continue;
        if (inFlight.Op == u"C" && key == inFlight.Key && e != expected.end() && f != found.end() && f->second.Soyad == inFlight.Value)
            continue;
        if (inFlight.Op == u"D" && key == inFlight.Key && f == found.end())
            continue;
        if (inFlight.Op == u"A" && e == expected.end() && f != found.end() && f->second.Ad == inFlight.Value)
            continue;
        qWarning("contact %s: acknowledged %s, found %s", qPrintable(key), e == expected.end() ? "no row" : qPrintable(e->second.Soyad),
                 f == found.end() ? "no row" : qPrintable(f->second.Soyad));
        ++lost;
    }
    return lost;
}

// A CSV file of count contacts, each with a number and an e-mail of its own.
void WriteContactsCsv(const QString &path, int count)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Ad,Soyad,CTelefon,Email\n");
    for (int i = 0; i < count; ++i)
        file.write(QStringLiteral("Kişi%1,Öztürk%1,0532 %2,kisi%1@ornek.com.tr\n").arg(i).arg(1000000 + i).toUtf8());
}

} // namespace

class TestCrashDurability : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void acknowledgedWritesSurviveKill()
    {
        TTestHome home;
        const QString connection = ProvidersUnderTest().front().MakeDatabase(home.Path(), {QStringLiteral("Ilk")});
        const QString path = home.FilePath(QStringLiteral("fihrist.mdb"));
        TContacts expected = ReadContacts(connection);
        const int rounds = Rounds(25);
        int acknowledged = 0, lost = 0;
        for (int round = 0; round < rounds; ++round) {
            QProcess writer;
            StartClient(writer, {QStringLiteral("post"), connection, QString::number(round + 1)});
            // Killed anywhere: while starting, opening, or in the middle of a write.
            QThread::msleep(QRandomGenerator::global()->bounded(20, 400));
            writer.kill();
            QVERIFY(writer.waitForFinished(60000));
            const TInFlight inFlight = Apply(CompleteLines(writer.readAllStandardOutput()), expected, &acknowledged);

            QCOMPARE(RunSql(path, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
            const TContacts found = ReadContacts(connection);
            lost += LostChanges(expected, found, inFlight);
            expected = found; // the write in flight is settled now, one way or the other
        }
        qInfo("kill -9: %d rounds, %d acknowledged writes, %d lost", rounds, acknowledged, lost);
        QCOMPARE(lost, 0);
        QVERIFY2(acknowledged > 0, "the writer never got to write");
    }

    void importIsAllOrNothingUnderKill()
    {
        TTestHome home;
        const int contacts = 3000;
        const QString csv = home.FilePath(QStringLiteral("kisiler.csv"));
        WriteContactsCsv(csv, contacts);
        const QString tool = qEnvironmentVariable("VELMORA_TEST_BINARY_DIR") + QStringLiteral("/tools/velmora-rehber-db");
        const int rounds = Rounds(8);
        qint64 span = 0; // how long an import runs when left alone
        int none = 0, all = 0;
        // Round 0 runs to the end; the others are killed somewhere in that span.
        for (int round = 0; round <= rounds; ++round) {
            QVERIFY(QDir(home.Path()).mkdir(QString::number(round)));
            const QString path = home.FilePath(QString::number(round) + QStringLiteral("/fihrist.mdb"));
            MakeContactsDatabase(path, {});
            QProcess import;
            import.setProcessChannelMode(QProcess::MergedChannels);
            QElapsedTimer clock;
            clock.start();
            import.start(tool, {QStringLiteral("import"), csv, QStringLiteral("--into"), path});
            QVERIFY(import.waitForStarted());
            if (round == 0) {
                QVERIFY(import.waitForFinished(300000));
                QCOMPARE(import.exitCode(), 0);
                span = clock.elapsed();
            } else {
                QThread::msleep(static_cast<unsigned long>(QRandomGenerator::global()->bounded(span + 1)));
                import.kill();
                QVERIFY(import.waitForFinished(60000));
            }
            QCOMPARE(RunSql(path, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
            const int count = RunSql(path, QStringLiteral("SELECT COUNT(*) FROM DBASE")).toInt();
            QVERIFY2(count == 0 || count == contacts, qPrintable(QStringLiteral("%1 of %2 contacts imported").arg(count).arg(contacts)));
            ++(count == 0 ? none : all);
        }
        qInfo("import kill -9: %d rounds, %d left nothing, %d complete, 0 partial", rounds, none, all - 1);
    }
};

QTEST_GUILESS_MAIN(TestCrashDurability)
#include "tst_crash_durability.moc"
