#include "dialer/PhoneHandler.h"

#include "support/TestTools.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

const QString EntryId = QStringLiteral("velmora-test-phone.desktop");

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

TPhoneHandler::TPhoneHandler()
    : FOldDataHome(qgetenv("XDG_DATA_HOME")), FOldDataDirs(qgetenv("XDG_DATA_DIRS")), FOldConfigDirs(qgetenv("XDG_CONFIG_DIRS"))
{
    QDir dir(FDir.path());
    dir.mkpath(QStringLiteral("data/applications"));
    dir.mkpath(QStringLiteral("system-data"));
    dir.mkpath(QStringLiteral("system-config"));
    qputenv("XDG_DATA_HOME", FDir.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", FDir.filePath(QStringLiteral("system-data")).toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", FDir.filePath(QStringLiteral("system-config")).toLocal8Bit());

    const QString phone = FDir.filePath(QStringLiteral("phone.sh"));
    WriteFile(phone, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + FDir.filePath(QStringLiteral("received.log")).toLocal8Bit() + "'\n");
    QFile::setPermissions(phone, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TPhoneHandler::~TPhoneHandler()
{
    Unregister();
    qputenv("XDG_DATA_HOME", FOldDataHome);
    qputenv("XDG_DATA_DIRS", FOldDataDirs);
    qputenv("XDG_CONFIG_DIRS", FOldConfigDirs);
}

void TPhoneHandler::Register(bool startable)
{
    const QString program = FDir.filePath(startable ? QStringLiteral("phone.sh") : QStringLiteral("missing-phone"));
    WriteFile(FDir.filePath(QStringLiteral("data/applications/") + EntryId),
              "[Desktop Entry]\nType=Application\nName=Test phone\nExec=" + program.toLocal8Bit()
                  + " %u\nMimeType=x-scheme-handler/tel;\n");
    QCOMPARE(QProcess::execute(QStringLiteral("xdg-mime"), {QStringLiteral("default"), EntryId, QStringLiteral("x-scheme-handler/tel")}),
             0);
}

void TPhoneHandler::Unregister()
{
    QFile::remove(FDir.filePath(QStringLiteral("data/applications/") + EntryId));
    const QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (!config.isEmpty())
        QFile::remove(config + QStringLiteral("/mimeapps.list"));
}

QByteArray TPhoneHandler::Received() const
{
    return FileBytes(FDir.filePath(QStringLiteral("received.log")));
}
