#include "tools/Command.h"

#include "platform/core/Progress.h"
#include "contacts/jet/ConvertTarget.h"
#include "contacts/jet/CopyInChild.h"
#include "contacts/jet/JetDatabase.h"

#include <cstdio>

namespace {

const char kHelp[] =
    "usage: velmora-rehber-db convert OLD.mdb [--out fihrist.mdb] [--codepage 1254]\n"
    "\n"
    "Converts a database of the program's earlier Windows version (a Jet 3 or\n"
    "Jet 4 file) into the program's database: every table with its columns\n"
    "and rows. OLD.mdb is only read. The new database is written beside its\n"
    "place and put there when complete; a failed conversion writes nothing.\n"
    "\n"
    "  --out FILE      the database to write; default fihrist.mdb in the\n"
    "                  current folder. An existing FILE is replaced only when\n"
    "                  it is a Jet file (OLD.mdb itself, say), which is kept\n"
    "                  as FILE.jet.\n"
    "  --codepage CP   the code page of the text in a Jet 3 file: a number\n"
    "                  (default 1254, Turkish) or a name such as ISO-8859-9.\n"
    "                  Jet 4 files keep their text in Unicode.\n"
    "  --help          this text\n";

const QCommandLineOption kOut(QStringLiteral("out"), QString(), QStringLiteral("FILE"), QStringLiteral("fihrist.mdb"));
const QCommandLineOption kCodePage(QStringLiteral("codepage"), QString(), QStringLiteral("CP"), QStringLiteral("1254"));

QList<QCommandLineOption> Options()
{
    return {kOut, kCodePage};
}

int Run(const QCommandLineParser &parser)
{
    const QString source = parser.positionalArguments().constFirst();
    const QString target = parser.value(kOut);
    const QString codePage = parser.value(kCodePage);
    if (target.isEmpty() || codePage.isEmpty() || source.startsWith(u'-'))
        return UsageError(ConvertCommand, QString());
    const QByteArray charset = Jet3Charset(codePage);
    TConvertTarget place(source, target);
    TJetCopyCounts counts;
    {
        TProgress progress(QStringLiteral("Veritabanı dönüştürülüyor"), 0, false);
        counts = CopyJetDatabaseInChild(source, charset, place.TempPath(), [&progress](const QString &table, std::int64_t rows) {
            progress.Step(rows, QStringLiteral("%1: %2").arg(table).arg(rows));
        });
        place.Commit();
    }
    if (!place.KeptJetPath().isEmpty())
        std::printf("%s was a Jet file; it is kept as %s\n", qPrintable(target), qPrintable(place.KeptJetPath()));
    std::printf("Converted %s (Jet %d) into %s: %d %s, %lld %s read, %lld added\n", qPrintable(source), counts.Version, qPrintable(target),
                counts.Tables, counts.Tables == 1 ? "table" : "tables", static_cast<long long>(counts.RowsRead),
                counts.RowsRead == 1 ? "row" : "rows", static_cast<long long>(counts.RowsAdded));
    return ExitDone;
}

} // namespace

const TCommand ConvertCommand = {"convert", "OLD.mdb [--out fihrist.mdb] [--codepage 1254]", kHelp, 1, 1, Options, Run};
