// Any bytes as "fihrist.mdb": the program's connection with its list
// statement and a search statement. An error or a snapshot; never a crash,
// and the file left byte for byte as it was.
#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzStore.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = FuzzFolder() + QStringLiteral("/fihrist.mdb");
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    WriteFileBytes(path, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    ReadThroughRecordSet(
        path,
        {QStringLiteral("SELECT * FROM DBASE ORDER BY AD"), QStringLiteral("SELECT * FROM DBASE WHERE SOYAD LIKE :deger ORDER BY AD")},
        {QStringLiteral("ş%")});
    return 0;
}
