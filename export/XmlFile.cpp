#include "export/XmlFile.h"

#include "platform/core/Exception.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString CannotCreate(const QString &path, int error)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, SystemText(error));
}

// The mode a newly created file gets from open(2): 0666 less the umask.
mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void SyncFolderOf(const QByteArray &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // the rename is done; a folder that cannot be synced changes nothing
        ::close(fd);
    }
}

} // namespace

TXmlFile::TXmlFile(const QString &targetPath)
    : FTargetPath(targetPath), FTargetName(QFile::encodeName(targetPath))
{
    struct stat st;
    if (::stat(FTargetName.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        throw EFileError(CannotCreate(FTargetPath, EISDIR));

    const QFileInfo info(targetPath);
    FTempName = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    FFd = ::mkostemp(FTempName.data(), O_CLOEXEC);
    if (FFd < 0)
        throw EFileError(CannotCreate(FTargetPath, errno));
    if (::fchmod(FFd, NewFileMode()) != 0)
        Fail(CreateFailed, errno);
    FBuffer.reset(new char[XmlTextBufferSize]);
}

TXmlFile::~TXmlFile()
{
    Discard();
}

void TXmlFile::Discard() noexcept
{
    FBuffer.reset();
    FUsed = 0;
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
    if (!FTempName.isEmpty()) {
        ::unlink(FTempName.constData());
        FTempName.clear();
    }
}

void TXmlFile::Fail(TFailure failure, int error)
{
    Discard();
    throw EFileError(failure == CreateFailed
            ? CannotCreate(FTargetPath, error)
            : QStringLiteral("Cannot write file \"%1\". %2").arg(FTargetPath, SystemText(error)));
}

void TXmlFile::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (FUsed == XmlTextBufferSize)
            Flush();
        const std::size_t n = std::min(bytes.size(), XmlTextBufferSize - FUsed);
        std::memcpy(FBuffer.get() + FUsed, bytes.data(), n);
        FUsed += n;
        bytes.remove_prefix(n);
    }
}

void TXmlFile::Flush()
{
    const char *p = FBuffer.get();
    std::size_t left = FUsed;
    while (left > 0) {
        const ssize_t n = ::write(FFd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail(WriteFailed, errno);
        }
        if (n == 0)
            Fail(WriteFailed, EIO);
        p += n;
        left -= std::size_t(n);
    }
    FUsed = 0;
}

void TXmlFile::Commit()
{
    Flush();
    if (::fsync(FFd) != 0)
        Fail(WriteFailed, errno);
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0)
        Fail(WriteFailed, errno);
    FBuffer.reset();
    if (::rename(FTempName.constData(), FTargetName.constData()) != 0)
        Fail(CreateFailed, errno);
    FTempName.clear();
    SyncFolderOf(FTargetName);
}
