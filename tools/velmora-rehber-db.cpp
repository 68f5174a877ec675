// velmora-rehber-db: the contacts tool of the program.
//
//   velmora-rehber-db create FILE|SERVER [--sample N]
//   velmora-rehber-db import FILE [--into fihrist.mdb] [--dry-run] [--skip-bad] [--allow-duplicates]
//   velmora-rehber-db export FILE --format vcard|csv [--from fihrist.mdb]
//   velmora-rehber-db convert OLD.mdb [--out fihrist.mdb] [--codepage 1254]
//   velmora-rehber-db copy FILE SERVER
//   velmora-rehber-db upgrade SERVER
//   velmora-rehber-db sync [DATABASE|SERVER] [--url URL] [--user NAME] [--dry-run] ...
//   velmora-rehber-db serve-ldap [DATABASE|SERVER] --listen URL|--socket PATH [--base DN]
//
// SERVER is a libpq connection string or a postgresql:// URI. Each command
// lives in its own file; adding one is one entry in kCommands.
#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "tools/Command.h"
#include "tools/TerminalProgress.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <exception>

namespace {

const TCommand *const kCommands[] = {&CreateCommand, &ImportCommand,  &ExportCommand, &ConvertCommand,
                                     &CopyCommand,   &UpgradeCommand, &SyncCommand,   &ServeLdapCommand};

int Usage(FILE *to)
{
    QByteArray text = "usage: velmora-rehber-db COMMAND ... (COMMAND --help tells more)\n";
    for (const TCommand *command : kCommands)
        text += QByteArray("  ") + command->Name + ' ' + command->Synopsis + '\n';
    std::fputs(text.constData(), to);
    return to == stdout ? ExitDone : ExitUsage;
}

int RunCommand(const TCommand &command, const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions(command.Options ? command.Options() : QList<QCommandLineOption>());
    parser.addOption(help);
    if (!parser.parse(QStringList{QString::fromLatin1(command.Name)} + args))
        return UsageError(command, parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(command.Help, stdout);
        return ExitDone;
    }
    const qsizetype n = parser.positionalArguments().size();
    if (n < command.MinArguments || n > command.MaxArguments)
        return UsageError(command, QString());
    try {
        return command.Run(parser);
    } catch (const std::exception &e) {
        return Fail(ExceptionText(e));
    }
}

} // namespace

int Fail(const QString &text)
{
    Say(QStringLiteral("velmora-rehber-db: ") + text);
    return ExitFailed;
}

int UsageError(const TCommand &command, const QString &text)
{
    if (!text.isEmpty())
        Say(QStringLiteral("velmora-rehber-db %1: %2").arg(QLatin1String(command.Name), text));
    std::fputs(command.Help, stderr);
    return ExitUsage;
}

void Say(const QString &line)
{
    std::fputs((line + u'\n').toLocal8Bit().constData(), stderr);
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return Usage(stderr);
    const QString name = QString::fromLocal8Bit(argv[1]);
    if (name == QLatin1String("--help") || name == QLatin1String("-h"))
        return Usage(stdout);
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    TTerminalProgress progress(stderr);
    SetProgressSink(&progress);
    for (const TCommand *command : kCommands)
        if (name == QLatin1String(command->Name))
            return RunCommand(*command, args);
    return Usage(stderr);
}
