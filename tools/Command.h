#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

// One command of velmora-rehber-db. main finds it by Name, parses the words
// after it with QCommandLineParser (Options, plus -h/--help, which prints
// Help), checks the number of positional arguments, and calls Run. A
// failure Run raises is printed by Fail and ends the tool with 1.
struct TCommand {
    const char *Name;
    const char *Synopsis; // its line in the tool's usage, after the name
    const char *Help;     // the whole of "COMMAND --help"
    int MinArguments;
    int MaxArguments;
    QList<QCommandLineOption> (*Options)();
    int (*Run)(const QCommandLineParser &parser);
};

// The exit statuses.
enum : int { ExitDone = 0, ExitFailed = 1, ExitUsage = 2 };

// "velmora-rehber-db: TEXT" on standard error; returns ExitFailed.
int Fail(const QString &text);
// "velmora-rehber-db COMMAND: TEXT" (when there is one) and the command's
// help on standard error; returns ExitUsage.
int UsageError(const TCommand &command, const QString &text);

// A message on standard error, one line.
void Say(const QString &line);

extern const TCommand CreateCommand;
extern const TCommand ImportCommand;
extern const TCommand ExportCommand;
extern const TCommand ConvertCommand;
extern const TCommand CopyCommand;
extern const TCommand UpgradeCommand;
extern const TCommand SyncCommand;
extern const TCommand ServeLdapCommand;
