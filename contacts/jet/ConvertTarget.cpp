#include "contacts/jet/ConvertTarget.h"

#include "platform/core/Exception.h"
#include "store/JetSignature.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The temporary file of the conversion under way, removed when the user
// interrupts the program.
char gTempName[4096];

void RemoveTempAndStop(int signal)
{
    if (gTempName[0])
        ::unlink(gTempName);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void SyncFile(const QByteArray &name)
{
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw EFileError(QStringLiteral("Cannot write file \"%1\". %2").arg(QFile::decodeName(name), SystemText(error)));
    }
    ::close(fd);
}

} // namespace

TConvertTarget::TConvertTarget(const QString &sourcePath, const QString &targetPath) : FTargetPath(targetPath)
{
    const QFileInfo source(sourcePath);
    if (!source.exists())
        throw EFileError(QStringLiteral("%1 does not exist").arg(sourcePath));
    QFile sourceFile(sourcePath);
    if (source.isFile() && !sourceFile.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("%1 cannot be read: %2").arg(sourcePath, sourceFile.errorString()));
    if (!source.isFile() || !IsJetFile(sourcePath))
        throw EFileError(QStringLiteral("%1 is not a Jet database (a file of the earlier Windows version)").arg(sourcePath));

    const QFileInfo target(targetPath);
    if (target.exists()) {
        if (!target.isFile())
            throw EFileError(QStringLiteral("%1 exists and is not a file").arg(targetPath));
        if (!IsJetFile(targetPath))
            throw EFileError(QStringLiteral("%1 already exists and is not a Jet database; it is not overwritten").arg(targetPath));
        FKeptJetPath = targetPath + QStringLiteral(".jet");
        if (QFileInfo::exists(FKeptJetPath) || QFileInfo(FKeptJetPath).isSymLink())
            throw EFileError(QStringLiteral("%1 already exists; it is not overwritten").arg(FKeptJetPath));
    }

    FTempName = QFile::encodeName(target.absolutePath() + QStringLiteral("/.") + target.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(FTempName.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        FTempName.clear();
        throw EFileError(QStringLiteral("Cannot create file \"%1\". %2").arg(targetPath, SystemText(error)));
    }
    // The mode any new file gets: 0666 less the umask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    if (std::size_t(FTempName.size()) < sizeof gTempName) {
        std::memcpy(gTempName, FTempName.constData(), std::size_t(FTempName.size()) + 1);
        std::signal(SIGINT, RemoveTempAndStop);
        std::signal(SIGTERM, RemoveTempAndStop);
        std::signal(SIGHUP, RemoveTempAndStop);
    }
}

TConvertTarget::~TConvertTarget()
{
    if (!FTempName.isEmpty())
        ::unlink(FTempName.constData());
    gTempName[0] = '\0';
}

QString TConvertTarget::TempPath() const
{
    return QFile::decodeName(FTempName);
}

bool TConvertTarget::KeepJetTarget()
{
    const QByteArray target = QFile::encodeName(FTargetPath);
    const QByteArray kept = QFile::encodeName(FKeptJetPath);
    // A second name for the Jet file: the target's name never stops naming
    // a complete database. Where the file system has no hard links, the Jet
    // file is renamed, never over an existing file.
    if (::link(target.constData(), kept.constData()) == 0)
        return false;
    int error = errno;
    if (error != EEXIST) {
        if (::renameat2(AT_FDCWD, target.constData(), AT_FDCWD, kept.constData(), RENAME_NOREPLACE) == 0)
            return true;
        error = errno;
    }
    throw EFileError(QStringLiteral("%1 cannot be kept as %2: %3").arg(FTargetPath, FKeptJetPath, SystemText(error)));
}

void TConvertTarget::Commit()
{
    SyncFile(FTempName);
    const QByteArray target = QFile::encodeName(FTargetPath);
    const bool moved = !FKeptJetPath.isEmpty() && KeepJetTarget();
    if (::rename(FTempName.constData(), target.constData()) != 0) {
        const int error = errno;
        if (moved)
            ::rename(QFile::encodeName(FKeptJetPath).constData(), target.constData());
        throw EFileError(QStringLiteral("Cannot create file \"%1\". %2").arg(FTargetPath, SystemText(error)));
    }
    FTempName.clear();
    gTempName[0] = '\0';
    // The rename is done; a folder that cannot be synced changes nothing.
    const int folder = ::open(QFile::encodeName(QFileInfo(FTargetPath).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}
