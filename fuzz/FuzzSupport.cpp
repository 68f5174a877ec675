#include "fuzz/FuzzSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

void FuzzFailed(const char *condition, const QString &message, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", file, line, condition, message.toUtf8().constData());
    std::abort();
}

void EnsureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "velmora-fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

QString FuzzFolder()
{
    static QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid(), QStringLiteral("no temporary folder"));
    return dir.path();
}

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    FUZZ_CHECK(ok, path);
}

TTwoParts SplitInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return {};
    const auto *rest = reinterpret_cast<const char *>(data + 1);
    const std::size_t n = size - 1;
    const std::size_t first = n ? data[0] % (n + 1) : 0;
    return {QByteArray(rest, qsizetype(first)), QByteArray(rest + first, qsizetype(n - first))};
}
