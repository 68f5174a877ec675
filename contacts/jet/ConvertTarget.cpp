#include "contacts/jet/ConvertTarget.h"

#include "platform/core/Exception.h"
#include "platform/core/ReadableFile.h"
#include "store/JetSignature.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

TConvertTarget::TConvertTarget(const QString &sourcePath, const QString &targetPath) : FTargetPath(targetPath)
{
    CheckReadableFile(sourcePath);
    if (!IsJetFile(sourcePath))
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

    // The child that writes the database opens the file by its name.
    FFile.emplace(targetPath);
    FFile->CloseTemp();
    FFile->RemoveOnInterrupt();
}

TConvertTarget::~TConvertTarget() = default;

QString TConvertTarget::TempPath() const
{
    return FFile->TempPath();
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
    FFile->Sync();
    const bool moved = !FKeptJetPath.isEmpty() && KeepJetTarget();
    try {
        FFile->Replace();
    } catch (...) {
        if (moved)
            ::rename(QFile::encodeName(FKeptJetPath).constData(), QFile::encodeName(FTargetPath).constData());
        throw;
    }
}
