#include "store/JetSignature.h"

#include "platform/core/Exception.h"
#include "platform/core/ReadableFile.h"

#include <QFile>
#include <QFileInfo>

static const QByteArray kJetSignature("\x00\x01\x00\x00Standard Jet DB\x00", 20);

bool HasJetSignature(const QByteArray &head)
{
    return head.startsWith(kJetSignature);
}

bool IsJetFile(const QString &path)
{
    try {
        TReadableFile readable(path);
        QFile file;
        return file.open(readable.Release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)
            && HasJetSignature(file.read(kJetSignature.size()));
    } catch (const EFileError &) {
        return false; // not a file that may be read: not a Jet file either
    }
}

QString JetConvertHint(const QString &path)
{
    return QStringLiteral(
               "It is a database of the program's earlier Windows version: in its folder, the command "
               "\"velmora-rehber-db convert %1\" converts it")
        .arg(QFileInfo(path).fileName());
}
