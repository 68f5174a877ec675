#include "sync/SyncSession.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/ContactsTable.h"
#include "store/Provider.h"
#include "store/SyncTables.h"
#include "contacts/ContactWriter.h"
#include "sync/DavClient.h"
#include "sync/Discovery.h"
#include "sync/SyncRun.h"

#include <QTimer>

TSyncSession::TSyncSession(TADOConnection &connection, const TSyncAccount &account, const QString &password, const TSyncOptions &options,
                           QObject *parent)
    : QObject(parent), FRun(std::make_unique<TSyncRun>(this, connection, account, password, options))
{
}

TSyncSession::~TSyncSession() = default;

void TSyncSession::Start()
{
    FRun->Start();
}

void TSyncSession::Cancel()
{
    FRun->Cancel();
}

void TSyncSession::ConfirmMassDelete(bool proceed)
{
    FRun->ConfirmMassDelete(proceed);
}

void TSyncSession::TrustFingerprint(const QString &sha256)
{
    FRun->TrustFingerprint(sha256);
}

const TSyncResult &TSyncSession::Result() const
{
    return FRun->Result;
}

int TSyncSession::RequestCount() const
{
    return FRun->RequestCount();
}

class TProbeRun {
public:
    TProbeRun(const TSyncAccount &account, const QString &password) : Account(account), Client(account.ServerUrl(), account.User, password)
    {
        if (!account.TrustedFingerprint.isEmpty())
            Client.SetTrustedFingerprint(account.TrustedFingerprint);
    }
    TSyncAccount Account;
    TDavClient Client;
    std::vector<TAddressBookInfo> Books;
    TSyncError Error;
    bool Done = false;
};

TSyncProbe::TSyncProbe(const TSyncAccount &account, const QString &password, QObject *parent)
    : QObject(parent), FRun(std::make_unique<TProbeRun>(account, password))
{
}

TSyncProbe::~TSyncProbe() = default;

void TSyncProbe::TrustFingerprint(const QString &sha256)
{
    FRun->Client.SetTrustedFingerprint(sha256);
}

void TSyncProbe::Start()
{
    const QUrl start = FRun->Account.AddressBook.isEmpty() ? FRun->Account.ServerUrl() : QUrl(FRun->Account.AddressBook);
    DiscoverAddressBooks(FRun->Client, start, true, [this](std::vector<TAddressBookInfo> &books, TSyncError &error) {
        if (FRun->Done)
            return;
        FRun->Done = true;
        FRun->Books = books;
        FRun->Error = error;
        Q_EMIT Finished();
    });
}

void TSyncProbe::Cancel()
{
    FRun->Client.Abort();
}

const std::vector<TAddressBookInfo> &TSyncProbe::AddressBooks() const
{
    return FRun->Books;
}

const TSyncError &TSyncProbe::Error() const
{
    return FRun->Error;
}

namespace {

TSyncTables Tables(TADOConnection &connection)
{
    connection.Open();
    TProvider &engine = *connection.Engine();
    const TContactsShape shape = ReadContactsShape(engine);
    TSyncTables tables(engine, shape.Target, shape.Columns, shape.Key.isEmpty() ? QStringLiteral("No") : shape.Key);
    tables.Create();
    return tables;
}

} // namespace

std::vector<TSyncConflict> PendingConflicts(TADOConnection &connection)
{
    std::vector<TSyncConflict> list;
    for (const TSyncConflictRow &c : Tables(connection).Conflicts())
        list.push_back({c.Id, c.No, c.Name, c.Column, c.LocalValue, c.ServerValue, TSyncConflict::Kind(c.Kind)});
    return list;
}

void TakeServerValue(TADOConnection &connection, qint64 conflictId)
{
    TSyncTables tables = Tables(connection);
    for (const TSyncConflictRow &c : tables.Conflicts()) {
        if (c.Id != conflictId)
            continue;
        TWriteTransaction transaction = tables.Transaction();
        TSyncContact row;
        if (tables.Contact(c.No, &row)) {
            if (TSyncConflict::Kind(c.Kind) == TSyncConflict::Kind::ChangedHereDeletedThere) {
                tables.DeleteContact(c.No);
            } else if (TSyncConflict::Kind(c.Kind) == TSyncConflict::Kind::SameColumn) {
                int count = 0;
                const TContactColumn *columns = ContactColumns(&count);
                for (int i = 0; i < count; ++i)
                    if (c.Column.compare(QLatin1String(columns[i].Name), Qt::CaseInsensitive) == 0)
                        row.Values[i] = c.ServerValue.toUtf8();
                tables.UpdateContact(c.No, row.Values);
            }
        }
        tables.RemoveConflict(c.Id);
        transaction.Commit();
        return;
    }
}

void DismissConflict(TADOConnection &connection, qint64 conflictId)
{
    TSyncTables tables = Tables(connection);
    TWriteTransaction transaction = tables.Transaction();
    tables.RemoveConflict(conflictId);
    transaction.Commit();
}
