#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

struct sqlite3;
class TADOQuery;

enum TConnectMode { cmUnknown, cmRead, cmWrite, cmReadWrite, cmShareDenyRead, cmShareDenyWrite, cmShareExclusive, cmShareDenyNone };
enum TCursorLocation { clUseServer, clUseClient };

// ADOConnection1: the connection to the contacts database "fihrist.mdb".
//
// The connection string keeps every key the program was designed with; our
// provider is SQLite: it reads "Data Source" (relative to the working
// directory) and carries the other keys unchanged. The file is opened read
// and write, never created; a file that is not an SQLite database is
// refused with a clear error and left untouched.
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
    bool Connected() const { return FDb != nullptr; }

    // The absolute path of the database file (as opened, or as it would be).
    QString DatabasePath() const;

    // The SQLite handle while connected, else nullptr. Only the record set
    // and the statements of store/ use it.
    sqlite3 *Handle() const { return FDb; }

    // True while NOCASE on this connection is the Turkish order. It is not
    // when the file has an index that orders by NOCASE: such an index must
    // keep the order every other program reads it in.
    bool TurkishNoCase() const { return FTurkishNoCase; }

    // Record sets using this connection; Close closes them first.
    void AttachDataSet(TADOQuery *dataSet);
    void DetachDataSet(TADOQuery *dataSet);

    // How long a statement waits for another program's write to finish.
    static constexpr int BusyTimeoutMs = 5000;

    // The engine's work in the statement now running, which Open bounds by
    // the size of the file.
    struct TWorkMeter {
        sqlite3 *Db = nullptr;
        long long Steps = 0;
    };

private:
    QString FProvider;
    QString FConnectionString;
    bool FLoginPrompt = false;
    TConnectMode FMode = cmShareDenyNone;
    bool FKeepConnection = true;
    TCursorLocation FCursorLocation = clUseClient;
    sqlite3 *FDb = nullptr;
    bool FTurkishNoCase = false;
    std::vector<TADOQuery *> FDataSets;
    TWorkMeter FWork;
};
