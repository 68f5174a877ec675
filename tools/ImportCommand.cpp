#include "tools/Command.h"
#include "platform/telephony/ModemSettings.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "contacts/ContactImport.h"
#include "contacts/ContactsDatabase.h"
#include "tools/ImportText.h"
#include "tools/ToolSummary.h"

namespace {

const char kHelp[] =
    "usage: velmora-rehber-db import FILE [--into fihrist.mdb] [--encoding NAME]\n"
    "                                [--dry-run] [--skip-bad] [--allow-duplicates]\n"
    "\n"
    "Adds the contacts of a vCard (.vcf) or CSV file to the contacts database,\n"
    "all in one transaction. The file's kind is told by its content.\n"
    "\n"
    "  --into FILE         the database (default fihrist.mdb)\n"
    "  --encoding NAME     the file's encoding (UTF-8, UTF-16, windows-1254,\n"
    "                      ISO-8859-9 ...), when it is not to be detected\n"
    "  --dry-run           report everything, write nothing\n"
    "  --skip-bad          add the good records, skip and list the bad ones\n"
    "                      (without it, any bad record means nothing is written)\n"
    "  --allow-duplicates  add records whose number or e-mail is already there\n"
    "  -h, --help          this text\n";

const QCommandLineOption kInto(QStringLiteral("into"), QString(), QStringLiteral("FILE"), QStringLiteral("fihrist.mdb"));
const QCommandLineOption kEncoding(QStringLiteral("encoding"), QString(), QStringLiteral("NAME"));
const QCommandLineOption kDryRun(QStringLiteral("dry-run"));
const QCommandLineOption kSkipBad(QStringLiteral("skip-bad"));
const QCommandLineOption kAllowDuplicates(QStringLiteral("allow-duplicates"));

QList<QCommandLineOption> Options()
{
    return {kInto, kEncoding, kDryRun, kSkipBad, kAllowDuplicates};
}

int Run(const QCommandLineParser &parser)
{
    TImportOptions options;
    options.File = parser.positionalArguments().constFirst();
    const QString database = parser.value(kInto);
    options.Encoding = parser.value(kEncoding);
    options.SkipBad = parser.isSet(kSkipBad);
    options.AllowDuplicates = parser.isSet(kAllowDuplicates);
    options.Place = PhonePlaceOf(LoadDialingLocation()); // the window's Konum Seçenekleri

    const bool dryRun = parser.isSet(kDryRun);
    TImportReport report;
    bool ok = false;
    QString failure;
    try {
        TADOConnection connection;
        OpenContactsDatabase(connection, database);
        ok = dryRun ? CheckImport(connection, options, report) : ImportContacts(connection, options, report);
    } catch (const EDatabaseError &e) {
        failure = database + QStringLiteral(": ") + e.Message();
    } catch (const EContactFileError &e) {
        failure = options.File + QStringLiteral(": ") + ContactFileErrorText(e);
    } catch (const std::exception &e) {
        failure = options.File + QStringLiteral(": ") + ExceptionText(e);
    }
    for (const TImportMessage &message : report.Messages)
        Say(ImportMessageLine(message, report.Kind));
    if (const QString more = MessagesLeftOutLine(report); !more.isEmpty())
        Say(more);
    const TImportCounts &counts = report.Counts;
    TToolSummary summary{.Read = counts.Read, .Added = counts.Added, .Duplicates = counts.Duplicates, .Refused = counts.Refused};
    if (!failure.isEmpty()) {
        Fail(failure);
        summary.Added = 0;
        summary.Note = QStringLiteral("nothing written");
    } else if (dryRun) {
        summary.Note = ok ? QStringLiteral("dry run: nothing written")
                          : QStringLiteral("dry run: nothing written; an import would write nothing either, without --skip-bad");
    } else if (!ok) {
        summary.Note = QStringLiteral("nothing written: %1 records refused; --skip-bad adds the others").arg(counts.Blocking);
    }
    summary.Print();
    return ok ? ExitDone : ExitFailed;
}

} // namespace

const TCommand ImportCommand = {"import", "FILE [--into fihrist.mdb] [--dry-run] [--skip-bad] [--allow-duplicates]", kHelp, 1, 1, Options,
                                Run};
