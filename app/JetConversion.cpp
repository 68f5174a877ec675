#include "app/JetConversion.h"

#include "platform/core/Exception.h"
#include "platform/core/Progress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace {
const QString ToolName = QStringLiteral("velmora-rehber-db");
}

QString JetConversionQuestion(const QString &errorText, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return errorText + QStringLiteral("\r\rŞimdi dönüştürülsün mü? Eski dosya %1.jet adıyla saklanır.").arg(name);
}

QString ContactsToolPath()
{
    const QString here = QCoreApplication::applicationDirPath();
    const QString beside = QStandardPaths::findExecutable(ToolName, {here, here + QStringLiteral("/../tools")});
    return beside.isEmpty() ? QStandardPaths::findExecutable(ToolName) : beside;
}

void ConvertJetDatabase(const QString &path)
{
    const QString tool = ContactsToolPath();
    if (tool.isEmpty())
        throw EFileError(QStringLiteral("%1 bulunamadı: dönüştürme yapılamıyor").arg(ToolName));

    QProcess convert;
    convert.setProgram(tool);
    convert.setArguments({QStringLiteral("convert"), path, QStringLiteral("--out"), path});
    convert.setWorkingDirectory(QFileInfo(path).absolutePath());
    convert.setStandardInputFile(QProcess::nullDevice());

    TProgress progress(QStringLiteral("Eski veritabanı dönüştürülüyor"), 0, false);
    QEventLoop loop;
    QObject::connect(&convert, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&convert, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&progress] { progress.Step(0); });
    tick.start(100);
    convert.start();
    if (convert.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (convert.state() != QProcess::NotRunning) { // an error while running: the tool is stopped
        convert.kill();
        convert.waitForFinished();
    }

    if (convert.error() == QProcess::FailedToStart)
        throw EFileError(QStringLiteral("%1 başlatılamadı: %2").arg(tool, convert.errorString()));
    if (convert.exitStatus() == QProcess::NormalExit && convert.exitCode() == 0)
        return;
    // The tool's last line says why ("velmora-rehber-db: 'x' is damaged ...").
    QString said;
    for (const QByteArray &line : convert.readAllStandardError().split('\n'))
        if (!line.trimmed().isEmpty())
            said = QString::fromLocal8Bit(line.trimmed());
    if (said.startsWith(ToolName + QStringLiteral(": ")))
        said = said.mid(ToolName.size() + 2);
    if (said.isEmpty())
        said = QStringLiteral("%1 dönüştürülemedi (%2)").arg(path, convert.errorString());
    throw EFileError(said);
}
