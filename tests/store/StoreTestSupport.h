#pragma once

#include "support/TestTools.h"

#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/DataSource.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Runs SQL on the file through a connection of its own, as another program
// would (stock SQLite, no Turkish order).
void OtherProgramExec(const QString &path, const QString &sql);
// The rows of a query on such a connection, each as its values joined by
// "|", a null shown as "<null>".
QStringList OtherProgramRows(const QString &path, const QString &sql);

// Makes a contacts database at path with one contact per entry of names
// (Ad only; the other columns null).
void MakeContacts(const QString &path, const QStringList &names);

// Turkish letters, accented Latin letters, digits, punctuation, mixed case,
// in the order both providers must give them.
const QStringList &SortedTurkishNames();

// The record set's values of one field down the whole snapshot.
QStringList ColumnValues(TADOQuery &q, const QString &field);

// A control that records what it is told.
class TRecordingLink : public TDataLink {
public:
    std::vector<TDataEvent> Events;
    int UpdateCalls = 0;
    std::function<void()> OnUpdate;
    void DataEvent(TDataEvent event) override { Events.push_back(event); }
    void UpdateData() override
    {
        ++UpdateCalls;
        if (OnUpdate)
            OnUpdate();
    }
    int Count(TDataEvent e) const
    {
        int n = 0;
        for (TDataEvent x : Events)
            n += x == e;
        return n;
    }
};

// A connection and record set on "fihrist.mdb" in the working directory,
// with the data source bound.
struct TStoreSession {
    TADOConnection Connection;
    TADOQuery Query;
    TDataSource Source;
    TRecordingLink Link;

    explicit TStoreSession(const QString &sql = QStringLiteral("SELECT * FROM DBASE ORDER BY AD"));
    ~TStoreSession();
};
