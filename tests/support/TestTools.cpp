#include "support/TestTools.h"

#include "platform/core/Exception.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString ErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &e) {
        return ExceptionText(e);
    }
    return QStringLiteral("<no error>");
}

TErrorKind KindOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &e) {
        return ExceptionFacts(e).Kind;
    }
    return TErrorKind::None;
}

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TFifoWatch::TFifoWatch(const QString &path) : FPath(QFile::encodeName(path))
{
    if (::mkfifo(FPath.constData(), 0600) != 0)
        qFatal("mkfifo %s failed", FPath.constData());
    FWriter = std::thread([this] {
        while (!FEnding) {
            const int fd = ::open(FPath.constData(), O_WRONLY | O_CLOEXEC);
            if (!FEnding)
                FOpened = true;
            if (fd >= 0)
                ::close(fd);
            if (fd < 0)
                return;
        }
    });
}

TFifoWatch::~TFifoWatch()
{
    OpenedByOthers();
}

bool TFifoWatch::OpenedByOthers()
{
    if (FWriter.joinable()) {
        FEnding = true;
        // A reader of the watch's own lets the waiting writer go; it stays
        // open until the writer has ended.
        const int reader = ::open(FPath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        FWriter.join();
        if (reader >= 0)
            ::close(reader);
    }
    return FOpened;
}
