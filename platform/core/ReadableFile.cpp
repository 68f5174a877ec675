#include "platform/core/ReadableFile.h"

#include "platform/core/Exception.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void NotAFile(const QString &path, mode_t mode)
{
    const QString message = S_ISDIR(mode) ? QStringLiteral("%1 is a folder, not a file").arg(path)
                                          : QStringLiteral("%1 is not a regular file (a named pipe, a device or a socket)").arg(path);
    throw EFileError(message, {TErrorKind::NotAFile, path, {}, 0});
}

} // namespace

TReadableFile::TReadableFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0) {
        const int error = errno;
        const QString system = QString::fromLocal8Bit(std::strerror(error));
        if (error == ENOENT || error == ENOTDIR)
            throw EFileError(QStringLiteral("%1 does not exist").arg(path), {TErrorKind::FileMissing, path, {}, 0});
        throw EFileError(QStringLiteral("%1 cannot be read: %2").arg(path, system), {TErrorKind::FileRead, path, system, 0});
    }
    if (!S_ISREG(st.st_mode))
        NotAFile(path, st.st_mode);
    // O_NONBLOCK: should a pipe take the file's place after the stat, its
    // open returns at once and the fstat below refuses it.
    FFd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (FFd < 0) {
        const QString system = QString::fromLocal8Bit(std::strerror(errno));
        throw EFileError(QStringLiteral("%1 cannot be read: %2").arg(path, system), {TErrorKind::FileRead, path, system, 0});
    }
    if (::fstat(FFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(FFd);
        FFd = -1;
        NotAFile(path, st.st_mode);
    }
    ::fcntl(FFd, F_SETFL, ::fcntl(FFd, F_GETFL) & ~O_NONBLOCK);
    FSize = qint64(st.st_size);
}

TReadableFile::~TReadableFile()
{
    if (FFd >= 0)
        ::close(FFd);
}

int TReadableFile::Release()
{
    const int fd = FFd;
    FFd = -1;
    return fd;
}

void CheckReadableFile(const QString &path)
{
    TReadableFile file(path);
}
