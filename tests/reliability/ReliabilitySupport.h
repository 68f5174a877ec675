#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

class QProcess;

// A database the reliability tests run against, reached by a connection
// string as the program reaches it: a SQLite file, and a database of the
// private PostgreSQL cluster (the test needs the pg_cluster fixture).
struct TProviderUnderTest {
    QString Name;
    // Makes a contacts database in folder holding one contact per Soyad
    // and returns the connection string that reaches it.
    std::function<QString(const QString &folder, const QStringList &soyad)> MakeDatabase;
};
const std::vector<TProviderUnderTest> &ProvidersUnderTest();

// A contact as the tests compare it.
struct TContactState {
    QString Ad;
    QString Soyad;
    bool operator==(const TContactState &) const = default;
};
using TContacts = std::map<QString, TContactState>; // by No

// Every contact, read through the program's own connection and record set.
TContacts ReadContacts(const QString &connectionString);

// Starts reliability_client with the arguments; the test fails when it
// does not start.
void StartClient(QProcess &process, const QStringList &arguments);

// The complete lines a process has written (a line cut short by a kill is
// left out), each split at its blanks.
std::vector<QStringList> CompleteLines(const QByteArray &output);

// How many rounds a test runs: its short form, or VELMORA_RELIABILITY_ROUNDS
// for the long form.
int Rounds(int shortForm);
