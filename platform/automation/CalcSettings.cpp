#include "platform/automation/CalcSettings.h"

#include "platform/core/PlatformSettings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <unistd.h>

namespace {
const QString kProgram = QStringLiteral("LibreOffice/Program");
const QString kHeadless = QStringLiteral("LibreOffice/Headless");
const QString kTimeout = QStringLiteral("LibreOffice/StartTimeout");
const QString kProfile = QStringLiteral("LibreOffice/Profile");
}

QString TCalcSettings::FilePath()
{
    return OpenPlatformSettings(QStringLiteral("Calc"))->fileName();
}

TCalcSettings TCalcSettings::Defaults()
{
    TCalcSettings s;
    s.Program = QStringLiteral(VELMORA_LO_PROGRAM_DIR "/soffice");
    s.Profile = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(QStringLiteral("velmora/libreoffice"));
    return s;
}

TCalcSettings TCalcSettings::Load()
{
    const TCalcSettings d = Defaults();
    const std::unique_ptr<QSettings> ini = OpenPlatformSettings(QStringLiteral("Calc"));
    TCalcSettings s;
    s.Program = ini->value(kProgram, d.Program).toString();
    s.Headless = ini->value(kHeadless, d.Headless).toBool();
    s.StartTimeoutSeconds = ini->value(kTimeout, d.StartTimeoutSeconds).toInt();
    if (s.StartTimeoutSeconds <= 0)
        s.StartTimeoutSeconds = d.StartTimeoutSeconds;
    s.Profile = ini->value(kProfile, d.Profile).toString();
    return s;
}

void TCalcSettings::Save() const
{
    const std::unique_ptr<QSettings> ini = OpenPlatformSettings(QStringLiteral("Calc"));
    ini->setValue(kProgram, Program);
    ini->setValue(kHeadless, Headless);
    ini->setValue(kTimeout, StartTimeoutSeconds);
    ini->setValue(kProfile, Profile);
    ini->sync();
}

QString TCalcSettings::PipeName() const
{
    const QByteArray hash = QCryptographicHash::hash(QDir::cleanPath(Profile).toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("velmora_calc_%1_%2").arg(::getuid()).arg(QString::fromLatin1(hash.left(12)));
}

QString TCalcSettings::ProfileUrl() const
{
    return QUrl::fromLocalFile(QDir::cleanPath(Profile)).toString(QUrl::FullyEncoded);
}
