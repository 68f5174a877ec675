// Another program on the contacts database, for the reliability tests. It
// works only through the record set, as the window does, and writes one
// line to stdout per write once the write has returned (acknowledged),
// flushed at once. Values never hold blanks.
//
//   reliability_client post CONNECTION SEED
//     appends, changes and deletes contacts at random until it is killed.
//     Before each write "? A <Ad>", "? C <No> <Soyad>" or "? D <No>"; after
//     it "A <No> <Ad>", "C <No> <Soyad>" or "D <No>".
//
//   reliability_client contend CONNECTION NAME ROUNDS SEED
//     after a line on stdin, changes the Soyad of random rows, deleting one
//     now and then and adding one when few are left:
//     "OK <No> <read> <written>", "COLLISION <No> <read> <typed> <typed kept> <row changed>",
//     "DEL <No>", "ADD <No> <Soyad>", "ERROR <text>".
//
//   reliability_client lock CONNECTION HOLD_MS TIMES
//     after a line on stdin, keeps the file locked for writing HOLD_MS at a
//     time, TIMES times, with a pause as long between. On a server it
//     holds every contact's row lock instead (SELECT ... FOR UPDATE).
#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/DataSources.h"
#include "store/Statement.h"

#include <QString>
#include <QThread>
#include <cstdio>
#include <iostream>
#include <libpq-fe.h>
#include <random>
#include <string>

namespace {

void Say(const QString &line)
{
    std::fputs((line + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void WaitForGo()
{
    std::string line;
    std::getline(std::cin, line);
}

struct TSession {
    TADOConnection Connection;
    TADOQuery Query;

    TSession(const QString &connectionString, const QString &sql)
    {
        Connection.SetConnectionString(connectionString);
        Query.SetConnection(&Connection);
        Query.SQL.Add(sql);
        Query.Open();
    }
    QString Text(const char *field) const { return Query.FieldByName(QString::fromLatin1(field))->AsString(); }
    void Set(const char *field, const QString &value) { Query.FieldByName(QString::fromLatin1(field))->SetAsString(value); }
};

int Post(const QString &connection, unsigned seed)
{
    TSession s(connection, QStringLiteral("SELECT * FROM DBASE ORDER BY AD"));
    std::mt19937 random(seed);
    const QString address = QStringLiteral("Adres-satiri-").repeated(30);
    for (int n = 0;; ++n) {
        const QString tag = QStringLiteral("%1x%2").arg(seed).arg(n);
        const unsigned op = random() % 10;
        if (s.Query.RecordCount() == 0 || op < 4) {
            Say(QStringLiteral("? A K") + tag);
            s.Query.Append();
            s.Set("Ad", QStringLiteral("K") + tag);
            s.Set("Soyad", QStringLiteral("S") + tag);
            s.Set("Adres", address);
            s.Query.Post();
            Say(QStringLiteral("A %1 K%2").arg(s.Text("No"), tag));
            continue;
        }
        s.Query.SetRecNo(int(random() % unsigned(s.Query.RecordCount())) + 1);
        const QString key = s.Text("No");
        if (op < 8) {
            Say(QStringLiteral("? C %1 C%2").arg(key, tag));
            s.Query.Edit();
            s.Set("Soyad", QStringLiteral("C") + tag);
            s.Query.Post();
            Say(QStringLiteral("C %1 C%2").arg(key, tag));
        } else {
            Say(QStringLiteral("? D ") + key);
            s.Query.Delete();
            Say(QStringLiteral("D ") + key);
        }
    }
}

// The Soyad the file holds for a key now; empty when the row is gone.
QString CurrentSoyad(TADOConnection &connection, const QString &key)
{
    TADOQuery q;
    q.SetConnection(&connection);
    q.SQL.Add(QStringLiteral("SELECT Soyad FROM DBASE WHERE No = :k"));
    q.Parameters.SetValue(0, key);
    q.Open();
    return q.Eof() ? QString() : q.Fields(0)->AsString();
}

int Contend(const QString &connection, const QString &name, int rounds, unsigned seed)
{
    TSession s(connection, QStringLiteral("SELECT * FROM DBASE ORDER BY No"));
    std::mt19937 random(seed);
    WaitForGo();
    for (int i = 0; i < rounds; ++i) {
        const QString tag = QStringLiteral("%1x%2").arg(name).arg(i);
        try {
            if (s.Query.RecordCount() < 3) {
                s.Query.Append();
                s.Set("Soyad", tag);
                s.Query.Post();
                Say(QStringLiteral("ADD %1 %2").arg(s.Text("No"), tag));
                continue;
            }
            s.Query.SetRecNo(int(random() % unsigned(s.Query.RecordCount())) + 1);
            const QString key = s.Text("No");
            const QString read = s.Text("Soyad");
            if (random() % 12 == 0) {
                try {
                    s.Query.Delete();
                } catch (const EDatabaseError &e) {
                    if (!e.Message().startsWith(QStringLiteral("Row cannot be located for deleting")))
                        throw;
                    // Refused: the row now shows what the other wrote.
                    Say(QStringLiteral("DELCOLLISION %1 %2 %3").arg(key, read).arg(int(s.Text("Soyad") != read)));
                    continue;
                }
                Say(QStringLiteral("DEL %1 %2").arg(key, read));
                continue;
            }
            s.Query.Edit();
            s.Set("Soyad", tag);
            QThread::usleep(random() % 3000); // the user is still looking at the row
            try {
                s.Query.Post();
                Say(QStringLiteral("OK %1 %2 %3").arg(key, read, tag));
            } catch (const EDatabaseError &e) {
                if (!e.Message().startsWith(QStringLiteral("Row cannot be located for updating")))
                    throw;
                const bool kept = s.Query.State() == rsEdit && s.Text("Soyad") == tag;
                const bool changed = CurrentSoyad(s.Connection, key) != read;
                Say(QStringLiteral("COLLISION %1 %2 %3 %4 %5").arg(key, read, tag).arg(int(kept)).arg(int(changed)));
                s.Query.Cancel();
                s.Query.Close();
                s.Query.Open();
                continue;
            }
            if (random() % 3 == 0) {
                s.Query.Close();
                s.Query.Open();
            }
        } catch (const Exception &e) {
            Say(QStringLiteral("ERROR ") + e.Message());
            return 1;
        }
    }
    return 0;
}

int Lock(const QString &connection, int holdMs, int times)
{
    TADOConnection c;
    c.SetConnectionString(connection);
    c.Open();
    const std::optional<QString> server =
        ServerForDataSource(TADOConnection::ConnectionStringValue(connection, QStringLiteral("Data Source")));
    PGconn *pg = server ? PQconnectdb(server->toUtf8().constData()) : nullptr;
    const auto run = [&](const char *sql) {
        if (!pg)
            return ExecuteSql(c.Handle(), sql);
        PGresult *r = PQexec(pg, sql);
        const ExecStatusType status = PQresultStatus(r);
        PQclear(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw EDatabaseError(QString::fromUtf8(PQerrorMessage(pg)));
    };
    WaitForGo();
    for (int i = 0; i < times; ++i) {
        run(pg ? "BEGIN; SELECT No FROM DBASE FOR UPDATE" : "BEGIN EXCLUSIVE");
        Say(QStringLiteral("LOCKED"));
        QThread::msleep(unsigned(holdMs));
        run("COMMIT");
        Say(QStringLiteral("UNLOCKED"));
        QThread::msleep(unsigned(holdMs));
    }
    PQfinish(pg);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const auto arg = [&](int i) { return i < argc ? QString::fromLocal8Bit(argv[i]) : QString(); };
    try {
        if (arg(1) == u"post" && argc == 4)
            return Post(arg(2), arg(3).toUInt());
        if (arg(1) == u"contend" && argc == 6)
            return Contend(arg(2), arg(3), arg(4).toInt(), arg(5).toUInt());
        if (arg(1) == u"lock" && argc == 5)
            return Lock(arg(2), arg(3).toInt(), arg(4).toInt());
    } catch (const Exception &e) {
        Say(QStringLiteral("ERROR ") + e.Message());
        return 1;
    }
    std::fputs("usage: reliability_client post|contend|lock ...\n", stderr);
    return 2;
}
