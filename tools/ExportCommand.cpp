#include "tools/ExportCommand.h"

#include "platform/core/Exception.h"
#include "contacts/ContactExport.h"
#include "contacts/ToolSummary.h"

#include <QCommandLineParser>
#include <cstdio>

namespace {

const char kHelp[] =
    "usage: velmora-rehber-db export FILE --format vcard|csv [--from fihrist.mdb]\n"
    "                                [--vcard-version 3.0|4.0] [--delimiter ,|;|tab]\n"
    "\n"
    "Writes every contact, in the program's order, to a vCard or CSV file.\n"
    "\n"
    "  --format vcard|csv       vCard 3.0 (UTF-8), or CSV (UTF-8 with a byte order mark)\n"
    "  --from FILE              the database (default fihrist.mdb)\n"
    "  --vcard-version 3.0|4.0  the vCard version (default 3.0)\n"
    "  --delimiter ,|;|tab      the CSV delimiter (default ,)\n"
    "  -h, --help               this text\n";

int Usage(const QString &error)
{
    if (!error.isEmpty())
        std::fputs(("velmora-rehber-db export: " + error + u'\n').toLocal8Bit().constData(), stderr);
    std::fputs(kHelp, stderr);
    return 2;
}

} // namespace

int ExportCommand(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("vcard|csv"));
    const QCommandLineOption from(QStringLiteral("from"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption version(QStringLiteral("vcard-version"), QString(), QStringLiteral("VERSION"));
    const QCommandLineOption delimiter(QStringLiteral("delimiter"), QString(), QStringLiteral("CHAR"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({format, from, version, delimiter, help});
    if (!parser.parse(QStringList{QStringLiteral("export")} + args))
        return Usage(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (parser.positionalArguments().size() != 1)
        return Usage(QString());
    TExportOptions options;
    options.File = parser.positionalArguments().constFirst();
    if (parser.isSet(from))
        options.Database = parser.value(from);
    const QString f = parser.value(format).toLower();
    if (f == QLatin1String("vcard") || f == QLatin1String("vcf"))
        options.Format = TExportOptions::VCard;
    else if (f == QLatin1String("csv"))
        options.Format = TExportOptions::Csv;
    else
        return Usage(QStringLiteral("--format must be vcard or csv"));
    const QString v = parser.value(version);
    if (!v.isEmpty() && v != QLatin1String("3.0") && v != QLatin1String("4.0"))
        return Usage(QStringLiteral("--vcard-version must be 3.0 or 4.0"));
    options.VCardVersion4 = v == QLatin1String("4.0");
    const QString d = parser.value(delimiter);
    if (d == QLatin1String(";"))
        options.Delimiter = ';';
    else if (d == QLatin1String("tab") || d == QLatin1String("\t"))
        options.Delimiter = '\t';
    else if (!d.isEmpty() && d != QLatin1String(","))
        return Usage(QStringLiteral("--delimiter must be \",\", \";\" or \"tab\""));

    TToolSummary summary;
    try {
        ExportContacts(options, summary);
    } catch (const std::exception &e) {
        std::fputs(QStringLiteral("velmora-rehber-db: %1\n").arg(ExceptionText(e)).toLocal8Bit().constData(), stderr);
        summary.Note = QStringLiteral("nothing written");
        summary.Added = 0;
        summary.Print();
        return 1;
    }
    summary.Print();
    return 0;
}
