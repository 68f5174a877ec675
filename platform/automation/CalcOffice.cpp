#include "platform/automation/CalcOffice.h"

#include "platform/automation/UnoText.h"
#include "platform/core/Exception.h"

#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QThread>

#include <cerrno>
#include <csignal>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

namespace {

// The UNO runtime of this process, made once from LibreOffice's own
// bootstrap files and kept for the life of the process.
Reference<uno::XComponentContext> LocalContext()
{
    static Reference<uno::XComponentContext> *context = [] {
        // A LibreOffice that went away while a call was being written to its
        // socket must give an error, not end this program with SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        try {
            rtl::Bootstrap::set(rtl::OUString("URE_BOOTSTRAP"),
                                ToOUString(QStringLiteral("vnd.sun.star.pathname:" VELMORA_LO_PROGRAM_DIR "/fundamentalrc")));
            return new Reference<uno::XComponentContext>(
                cppu::defaultBootstrap_InitialComponentContext(ToOUString(QStringLiteral("file://" VELMORA_LO_PROGRAM_DIR "/unorc"))));
        } catch (const uno::Exception &e) {
            throw EOleError(QStringLiteral("The LibreOffice UNO runtime could not be started: %1").arg(UnoErrorText(e)));
        }
    }();
    return *context;
}

Reference<bridge::XUnoUrlResolver> Resolver()
{
    const Reference<uno::XComponentContext> local = LocalContext();
    return Reference<bridge::XUnoUrlResolver>(
        local->getServiceManager()->createInstanceWithContext(rtl::OUString("com.sun.star.bridge.UnoUrlResolver"), local), UNO_QUERY_THROW);
}

bool ProcessGone(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

QString ProductVersion()
{
    QSettings rc(QStringLiteral(VELMORA_LO_PROGRAM_DIR "/bootstraprc"), QSettings::IniFormat);
    const QString key = rc.value(QStringLiteral("Bootstrap/ProductKey")).toString();
    const QString version = key.section(u' ', -1);
    return version.isEmpty() ? QStringLiteral("99.9") : version;
}

// LibreOffice Calc cannot be started, and why.
EOleError OfficeUnavailable(const QString &reason)
{
    return EOleError(QStringLiteral("LibreOffice Calc cannot be started: %1").arg(reason), {TErrorKind::OfficeUnavailable, {}, reason, 0});
}

qint64 StartOffice(const TCalcSettings &settings)
{
    const QFileInfo program(settings.Program);
    if (!program.exists())
        throw OfficeUnavailable(QStringLiteral("the program \"%1\" was not found").arg(settings.Program));
    if (!program.isExecutable() || program.isDir())
        throw OfficeUnavailable(QStringLiteral("\"%1\" is not a program").arg(settings.Program));
    TCalcOffice::PrepareProfile(settings);

    QStringList args{
        QStringLiteral("-env:UserInstallation=") + settings.ProfileUrl(),
        QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(settings.PipeName()),
        QStringLiteral("--norestore"),
        QStringLiteral("--nologo"),
        QStringLiteral("--nodefault"),
        QStringLiteral("--nolockcheck"),
    };
    if (settings.Headless)
        args << QStringLiteral("--headless") << QStringLiteral("--invisible");

    QProcess process;
    process.setProgram(settings.Program);
    process.setArguments(args);
    process.setWorkingDirectory(QDir::rootPath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        throw OfficeUnavailable(process.errorString());
    return pid;
}

} // namespace

QString UnoDisposedText()
{
    return QStringLiteral("LibreOffice Calc is no longer reachable; it may have been closed");
}

QString UnoErrorText(const uno::Exception &e)
{
    QString message = ToQString(e.Message);
    // Debug builds of LibreOffice append where in their sources it was raised.
    const qsizetype at = message.indexOf(QStringLiteral(" at ./"));
    if (at >= 0)
        message.truncate(at);
    message = message.trimmed();
    if (message.isEmpty())
        return QStringLiteral("LibreOffice Calc reported an error");
    return QStringLiteral("LibreOffice Calc reported an error: %1").arg(message);
}

QString TCalcOffice::ConnectionUrl(const TCalcSettings &settings)
{
    return QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(settings.PipeName());
}

void TCalcOffice::PrepareProfile(const TCalcSettings &settings)
{
    const QString userDir = QDir(settings.Profile).filePath(QStringLiteral("user"));
    const QString file = QDir(userDir).filePath(QStringLiteral("registrymodifications.xcu"));
    if (QFileInfo::exists(file))
        return;
    if (!QDir().mkpath(userDir))
        throw EOleError(QStringLiteral("LibreOffice Calc cannot be started: the profile folder \"%1\" cannot be created").arg(userDir));
    auto item = [](const char *path, const char *name, const QString &value) {
        return QStringLiteral("<item oor:path=\"%1\"><prop oor:name=\"%2\" oor:op=\"fuse\"><value>%3</value></prop></item>\n")
            .arg(QLatin1String(path), QLatin1String(name), value);
    };
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" xmlns:xs=\"http://www.w3.org/2001/XMLSchema\""
        " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n");
    xml += item("/org.openoffice.Office.Common/Misc", "ShowTipOfTheDay", QStringLiteral("false"));
    xml += item("/org.openoffice.Office.Common/Misc", "FirstRun", QStringLiteral("false"));
    xml += item("/org.openoffice.Setup/Office", "ooSetupInstCompleted", QStringLiteral("true"));
    xml += item("/org.openoffice.Setup/Office", "FirstStartWizardCompleted", QStringLiteral("true"));
    xml += item("/org.openoffice.Setup/Product", "ooSetupLastVersion", ProductVersion());
    xml += item("/org.openoffice.Office.Common/Misc", "UseLocking", QStringLiteral("false"));
    xml += QStringLiteral("</oor:items>\n");
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(xml.toUtf8()) < 0 || !out.flush())
        throw EOleError(QStringLiteral("LibreOffice Calc cannot be started: \"%1\" cannot be written").arg(file));
}

std::shared_ptr<TCalcOffice> TCalcOffice::Reach(const TCalcSettings &settings)
{
    const Reference<bridge::XUnoUrlResolver> resolver = AtCalcServer([] { return Resolver(); });
    const rtl::OUString url = ToOUString(ConnectionUrl(settings));
    QString lastError;

    auto attempt = [&]() -> std::shared_ptr<TCalcOffice> {
        try {
            Reference<uno::XComponentContext> remote(resolver->resolve(url), UNO_QUERY_THROW);
            auto office = std::make_shared<TCalcOffice>();
            office->FDesktop = frame::Desktop::create(remote);
            office->FContext = remote;
            office->FHeadless = settings.Headless;
            return office;
        } catch (const connection::NoConnectException &) {
            return nullptr;
        } catch (const uno::Exception &e) {
            // Reached while it is still starting up or shutting down.
            lastError = UnoErrorText(e);
            return nullptr;
        }
    };

    if (auto office = attempt())
        return office;

    const qint64 pid = StartOffice(settings);
    QDeadlineTimer deadline(std::chrono::seconds(settings.StartTimeoutSeconds));
    QDeadlineTimer afterExit; // grace for a start that handed over to a running instance
    bool exited = false;
    for (;;) {
        if (auto office = attempt())
            return office;
        if (!exited && ProcessGone(pid)) {
            exited = true;
            afterExit = QDeadlineTimer(std::chrono::seconds(5));
        }
        if (exited && afterExit.hasExpired())
            throw EOleError(QStringLiteral("LibreOffice Calc ended before it could be reached (%1)").arg(settings.Program),
                            {TErrorKind::OfficeUnavailable, {}, QStringLiteral("ended before it could be reached"), 0});
        if (deadline.hasExpired()) {
            QString text = QStringLiteral("LibreOffice Calc did not answer within %1 seconds").arg(settings.StartTimeoutSeconds);
            if (!lastError.isEmpty())
                text += QStringLiteral(" (%1)").arg(lastError);
            throw EOleError(text);
        }
        QThread::msleep(100);
    }
}
