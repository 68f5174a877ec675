#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <utility>
#include <vector>

struct sqlite3;
class TADOQuery;
class TProvider;
enum class TCallLogAccess : int;

enum TConnectMode { cmUnknown, cmRead, cmWrite, cmReadWrite, cmShareDenyRead, cmShareDenyWrite, cmShareExclusive, cmShareDenyNone };
enum TCursorLocation { clUseServer, clUseClient };

// ADOConnection1: the connection to the contacts database "fihrist.mdb".
//
// The connection string keeps every key the program was designed with; the
// provider reads "Data Source" and carries the other keys unchanged. When
// the provider's own setting maps that name to a server (Veri.ini, see
// ServerForDataSource), the connection is to that PostgreSQL server;
// otherwise to the SQLite file of that name in the working directory.
class TADOConnection {
public:
    TADOConnection();
    ~TADOConnection();
    TADOConnection(const TADOConnection &) = delete;
    TADOConnection &operator=(const TADOConnection &) = delete;

    // The program's fixed settings.
    static const std::vector<std::pair<QString, QString>> &DefaultConnectionKeys();
    static QString ComposeConnectionString(const std::vector<std::pair<QString, QString>> &keys);
    // The value of one key of a connection string (keys compared without
    // regard to case); empty when absent.
    static QString ConnectionStringValue(const QString &connectionString, const QString &key);

    QString Provider() const { return FProvider; }
    void SetProvider(const QString &p) { FProvider = p; }
    QString ConnectionString() const { return FConnectionString; }
    void SetConnectionString(const QString &s) { FConnectionString = s; }
    bool LoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool on) { FLoginPrompt = on; }
    TConnectMode Mode() const { return FMode; }
    void SetMode(TConnectMode m) { FMode = m; }
    bool KeepConnection() const { return FKeepConnection; }
    void SetKeepConnection(bool on) { FKeepConnection = on; }
    TCursorLocation CursorLocation() const { return FCursorLocation; }
    void SetCursorLocation(TCursorLocation c) { FCursorLocation = c; }

    // Open does nothing when connected; Close does nothing when not.
    void Open();
    void Close();
    bool Connected() const { return FEngine != nullptr; }

    // The absolute path of the database file (as opened, or as it would be).
    QString DatabasePath() const;

    // The provider while connected, else nullptr. Only the record set uses
    // it. A record set still reading its result reads the rest first: the
    // provider runs one statement at a time.
    TProvider *Engine() const;

    // Makes sure the table of received calls exists when this user may
    // create it, and says what the user may do with it (see
    // TProvider::PrepareCallLog). The connection must be open.
    TCallLogAccess PrepareCallLog();
    // The SQLite handle while connected to a file, else nullptr.
    sqlite3 *Handle() const;

    // True while NOCASE on this connection is the Turkish order. It is not
    // when the file has an index that orders by NOCASE: such an index must
    // keep the order every other program reads it in.
    bool TurkishNoCase() const;

    // Record sets using this connection; Close closes them first.
    void AttachDataSet(TADOQuery *dataSet);
    void DetachDataSet(TADOQuery *dataSet);

private:
    QString FProvider;
    QString FConnectionString;
    bool FLoginPrompt = false;
    TConnectMode FMode = cmShareDenyNone;
    bool FKeepConnection = true;
    TCursorLocation FCursorLocation = clUseClient;
    std::unique_ptr<TProvider> FEngine;
    std::vector<TADOQuery *> FDataSets;
};
