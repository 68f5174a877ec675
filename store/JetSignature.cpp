#include "store/JetSignature.h"

#include <QFile>
#include <QFileInfo>

static const QByteArray kJetSignature("\x00\x01\x00\x00Standard Jet DB\x00", 20);

bool HasJetSignature(const QByteArray &head)
{
    return head.startsWith(kJetSignature);
}

bool IsJetFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && HasJetSignature(file.read(kJetSignature.size()));
}

QString JetConvertHint(const QString &path)
{
    return QStringLiteral(
               "It is a database of the program's earlier Windows version: in its folder, the command "
               "\"velmora-rehber-db convert %1\" converts it")
        .arg(QFileInfo(path).fileName());
}
