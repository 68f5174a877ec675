#include "tools/ImportCommand.h"

#include "platform/core/Exception.h"
#include "contacts/ContactImport.h"
#include "contacts/ToolSummary.h"

#include <QCommandLineParser>
#include <cstdio>

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

void Say(const QString &line)
{
    std::fputs((line + u'\n').toLocal8Bit().constData(), stderr);
}

} // namespace

int ImportCommand(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption into(QStringLiteral("into"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption encoding(QStringLiteral("encoding"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption skipBad(QStringLiteral("skip-bad"));
    const QCommandLineOption allowDuplicates(QStringLiteral("allow-duplicates"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({into, encoding, dryRun, skipBad, allowDuplicates, help});
    if (!parser.parse(QStringList{QStringLiteral("import")} + args) || (!parser.isSet(help) && parser.positionalArguments().size() != 1)) {
        if (!parser.errorText().isEmpty())
            Say(QStringLiteral("velmora-rehber-db import: ") + parser.errorText());
        std::fputs(kHelp, stderr);
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    TImportOptions options;
    options.File = parser.positionalArguments().constFirst();
    if (parser.isSet(into))
        options.Database = parser.value(into);
    options.Encoding = parser.value(encoding);
    options.DryRun = parser.isSet(dryRun);
    options.SkipBad = parser.isSet(skipBad);
    options.AllowDuplicates = parser.isSet(allowDuplicates);

    TToolSummary summary;
    bool ok = false;
    QString failure;
    try {
        ok = ImportContacts(options, summary, Say);
    } catch (const EDatabaseError &e) {
        failure = options.Database + QStringLiteral(": ") + e.Message();
    } catch (const std::exception &e) {
        failure = options.File + QStringLiteral(": ") + ExceptionText(e);
    }
    if (!failure.isEmpty()) {
        Say(QStringLiteral("velmora-rehber-db: ") + failure);
        summary.Added = 0;
        summary.Note = QStringLiteral("nothing written");
    }
    summary.Print();
    return ok ? 0 : 1;
}
