#include "ReliabilitySupport.h"

#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "support/ContactsDb.h"
#include "support/TestServer.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

const std::vector<TProviderUnderTest> &ProvidersUnderTest()
{
    static const std::vector<TProviderUnderTest> providers = {
        {QStringLiteral("sqlite"),
         [](const QString &folder, const QStringList &soyad) {
             const QString path = QDir(folder).filePath(QStringLiteral("fihrist.mdb"));
             std::vector<TContactRow> rows;
             for (const QString &s : soyad)
                 rows.push_back({QStringLiteral("Ad"), s});
             MakeContactsDatabase(path, rows);
             return QStringLiteral("Data Source=") + path;
         }},
        // A database of the private cluster, which Veri.ini maps the file's
        // name to: the program, and every program the test starts, reach it
        // by that name.
        {QStringLiteral("postgresql"),
         [](const QString &folder, const QStringList &soyad) {
             std::vector<std::vector<QVariant>> rows;
             for (const QString &s : soyad)
                 rows.push_back({QStringLiteral("Ad"), s});
             MakeServerContacts(QDir(folder).filePath(QStringLiteral("fihrist.mdb")), rows);
             return QStringLiteral("Data Source=fihrist.mdb");
         }},
    };
    return providers;
}

TContacts ReadContacts(const QString &connectionString)
{
    TADOConnection connection;
    connection.SetConnectionString(connectionString);
    TADOQuery q;
    q.SetConnection(&connection);
    q.SQL.Add(QStringLiteral("SELECT No, Ad, Soyad FROM DBASE"));
    q.Open();
    TContacts contacts;
    for (; !q.Eof(); q.Next())
        contacts[q.Fields(0)->AsString()] = {q.Fields(1)->AsString(), q.Fields(2)->AsString()};
    return contacts;
}

void StartClient(QProcess &process, const QStringList &arguments)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(RELIABILITY_CLIENT), arguments);
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
}

std::vector<QStringList> CompleteLines(const QByteArray &output)
{
    std::vector<QStringList> lines;
    const qsizetype end = output.lastIndexOf('\n');
    for (const QByteArray &line : output.left(end + 1).split('\n'))
        if (!line.isEmpty())
            lines.push_back(QString::fromUtf8(line).split(u' '));
    return lines;
}

int Rounds(int shortForm)
{
    bool ok = false;
    const int rounds = qEnvironmentVariableIntValue("VELMORA_RELIABILITY_ROUNDS", &ok);
    return ok && rounds > 0 ? rounds : shortForm;
}
