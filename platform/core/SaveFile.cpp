#include "platform/core/SaveFile.h"

#include "platform/core/Exception.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary file to remove when the program is interrupted.
char gInterruptTemp[4096];

void RemoveTempAndStop(int signal)
{
    if (gInterruptTemp[0])
        ::unlink(gInterruptTemp);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

EFileError SaveError(bool create, const QString &path, int error)
{
    return EFileError(QStringLiteral("Cannot %1 file \"%2\". %3")
                          .arg(create ? QStringLiteral("create") : QStringLiteral("write"), path, SystemText(error)),
                      {create ? TErrorKind::FileCreate : TErrorKind::FileWrite, path, SystemText(error), 0});
}

// The mode a newly created file gets from open(2): 0666 less the umask.
mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

TSaveFile::TSaveFile(const QString &targetPath) : FTargetPath(targetPath), FTargetName(QFile::encodeName(targetPath))
{
    struct stat st;
    if (::stat(FTargetName.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        throw SaveError(true, FTargetPath, EISDIR);
    const QFileInfo info(targetPath);
    FTempName = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    FFd = ::mkostemp(FTempName.data(), O_CLOEXEC);
    if (FFd < 0) {
        const int error = errno;
        FTempName.clear();
        throw SaveError(true, FTargetPath, error);
    }
    if (::fchmod(FFd, NewFileMode()) != 0)
        Fail(true, errno);
}

TSaveFile::~TSaveFile()
{
    Discard();
}

QString TSaveFile::TempPath() const
{
    return QFile::decodeName(FTempName);
}

void TSaveFile::Discard() noexcept
{
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
    if (!FTempName.isEmpty()) {
        ::unlink(FTempName.constData());
        if (FTempName == gInterruptTemp)
            gInterruptTemp[0] = '\0';
        FTempName.clear();
    }
}

void TSaveFile::Fail(bool create, int error)
{
    Discard();
    throw SaveError(create, FTargetPath, error);
}

void TSaveFile::Write(const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(FFd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail(false, errno);
        }
        if (n == 0)
            Fail(false, EIO);
        data += n;
        size -= std::size_t(n);
    }
}

void TSaveFile::CloseTemp()
{
    if (FFd >= 0 && ::close(FFd) != 0) {
        FFd = -1;
        Fail(false, errno);
    }
    FFd = -1;
}

void TSaveFile::RemoveOnInterrupt()
{
    if (std::size_t(FTempName.size()) >= sizeof gInterruptTemp)
        return;
    std::memcpy(gInterruptTemp, FTempName.constData(), std::size_t(FTempName.size()) + 1);
    std::signal(SIGINT, RemoveTempAndStop);
    std::signal(SIGTERM, RemoveTempAndStop);
    std::signal(SIGHUP, RemoveTempAndStop);
}

void TSaveFile::Sync()
{
    if (FFd < 0) {
        FFd = ::open(FTempName.constData(), O_RDONLY | O_CLOEXEC);
        if (FFd < 0)
            Fail(false, errno);
    }
    if (::fsync(FFd) != 0)
        Fail(false, errno);
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0)
        Fail(false, errno);
    FSynced = true;
}

void TSaveFile::Replace()
{
    if (!FSynced)
        Sync();
    if (::rename(FTempName.constData(), FTargetName.constData()) != 0)
        Fail(true, errno);
    if (FTempName == gInterruptTemp)
        gInterruptTemp[0] = '\0';
    FTempName.clear();
    // The rename is done; a folder that cannot be synced changes nothing.
    const QByteArray folder = QFile::encodeName(QFileInfo(FTargetPath).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
