#include "tools/Command.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "contacts/ContactExport.h"
#include "contacts/ContactsDatabase.h"
#include "tools/ToolSummary.h"

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

const QCommandLineOption kFormat(QStringLiteral("format"), QString(), QStringLiteral("vcard|csv"));
const QCommandLineOption kFrom(QStringLiteral("from"), QString(), QStringLiteral("FILE"), QStringLiteral("fihrist.mdb"));
const QCommandLineOption kVersion(QStringLiteral("vcard-version"), QString(), QStringLiteral("VERSION"));
const QCommandLineOption kDelimiter(QStringLiteral("delimiter"), QString(), QStringLiteral("CHAR"));

QList<QCommandLineOption> Options()
{
    return {kFormat, kFrom, kVersion, kDelimiter};
}

int Run(const QCommandLineParser &parser)
{
    TExportOptions options;
    options.File = parser.positionalArguments().constFirst();
    const QString f = parser.value(kFormat).toLower();
    if (f == QLatin1String("vcard") || f == QLatin1String("vcf"))
        options.Format = TExportOptions::VCard;
    else if (f == QLatin1String("csv"))
        options.Format = TExportOptions::Csv;
    else
        return UsageError(ExportCommand, QStringLiteral("--format must be vcard or csv"));
    const QString v = parser.value(kVersion);
    if (!v.isEmpty() && v != QLatin1String("3.0") && v != QLatin1String("4.0"))
        return UsageError(ExportCommand, QStringLiteral("--vcard-version must be 3.0 or 4.0"));
    options.VCardVersion4 = v == QLatin1String("4.0");
    const QString d = parser.value(kDelimiter);
    if (d == QLatin1String(";"))
        options.Delimiter = ';';
    else if (d == QLatin1String("tab") || d == QLatin1String("\t"))
        options.Delimiter = '\t';
    else if (!d.isEmpty() && d != QLatin1String(","))
        return UsageError(ExportCommand, QStringLiteral("--delimiter must be \",\", \";\" or \"tab\""));

    TToolSummary summary;
    summary.AddedWord = QStringLiteral("written");
    try {
        TADOConnection connection;
        OpenContactsDatabase(connection, parser.value(kFrom));
        TADOQuery contacts;
        contacts.SetConnection(&connection);
        contacts.SQL.Add(QString::fromLatin1(AllRecordsStatement));
        contacts.Open();
        summary.Read = summary.Added = ExportContacts(contacts, options);
    } catch (const std::exception &e) {
        Fail(ExceptionText(e));
        summary.Note = QStringLiteral("nothing written");
        summary.Read = summary.Added = 0;
        summary.Print();
        return ExitFailed;
    }
    summary.Print();
    return ExitDone;
}

} // namespace

const TCommand ExportCommand = {"export", "FILE --format vcard|csv [--from fihrist.mdb]", kHelp, 1, 1, Options, Run};
