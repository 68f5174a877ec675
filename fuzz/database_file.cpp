// Any bytes as "fihrist.mdb": the program's connection and its list
// statement, then the search statement, every field read. An error or a
// snapshot; never a crash, and the file left byte for byte as it was.
#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzStore.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = FuzzFolder() + QStringLiteral("/fihrist.mdb");
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    WriteFileBytes(path, bytes);

    TADOConnection connection;
    UseDatabaseFile(connection, path);
    TADOQuery query;
    query.SetConnection(&connection);
    const QString statements[] = {QStringLiteral("SELECT * FROM DBASE ORDER BY AD"),
                                  QStringLiteral("SELECT * FROM DBASE WHERE SOYAD LIKE :deger ORDER BY AD")};
    for (const QString &sql : statements) {
        query.SQL.Clear();
        query.SQL.Add(sql);
        if (query.Parameters.Count())
            query.Parameters.SetValue(0, QStringLiteral("ş%"));
        try {
            ReadEveryField(query);
        } catch (const Exception &) {
            FUZZ_CHECK(!query.Active(), QStringLiteral("a failed Open left the record set open"));
        }
    }
    query.Close();
    connection.Close();
    FUZZ_CHECK(FileBytes(path) == bytes, QStringLiteral("opening changed the file"));
    return 0;
}
