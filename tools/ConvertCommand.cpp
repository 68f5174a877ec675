#include "tools/ConvertCommand.h"

#include "platform/core/Exception.h"
#include "contacts/jet/ConvertTarget.h"
#include "contacts/jet/CopyInChild.h"
#include "contacts/jet/JetDatabase.h"
#include "contacts/ProgressLine.h"

#include <cstdio>
#include <exception>

namespace {

const char kUsage[] = "usage: velmora-rehber-db convert OLD.mdb [--out fihrist.mdb] [--codepage 1254]\n";

const char kHelp[] =
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

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

struct TConvertOptions {
    QString Source;
    QString Target = QStringLiteral("fihrist.mdb");
    QString CodePage = QStringLiteral("1254");
};

// False when the words are not a valid command line.
bool ParseOptions(const QStringList &args, TConvertOptions &options)
{
    bool haveSource = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        QString *value = nullptr;
        QString name = arg.section(u'=', 0, 0);
        if (name == QLatin1String("--out"))
            value = &options.Target;
        else if (name == QLatin1String("--codepage"))
            value = &options.CodePage;
        if (value) {
            if (arg.contains(u'='))
                *value = arg.section(u'=', 1);
            else if (i + 1 < args.size())
                *value = args[++i];
            else
                return false;
            if (value->isEmpty())
                return false;
        } else if (arg.startsWith(u'-') || haveSource) {
            return false;
        } else {
            options.Source = arg;
            haveSource = true;
        }
    }
    return haveSource;
}

} // namespace

int RunConvertCommand(const QStringList &args)
{
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    TConvertOptions options;
    if (!ParseOptions(args, options))
        return Usage();
    try {
        const QByteArray charset = Jet3Charset(options.CodePage);
        TConvertTarget target(options.Source, options.Target);
        TProgressLine progress;
        const TJetCopyCounts counts = CopyJetDatabaseInChild(
            options.Source, charset, target.TempPath(), [&progress](const QString &table, std::int64_t rows) {
                progress.Show(QStringLiteral("converting: table %1, %2 rows read").arg(table).arg(rows));
            });
        target.Commit();
        progress.Clear();
        if (!target.KeptJetPath().isEmpty())
            std::printf("%s was a Jet file; it is kept as %s\n", qPrintable(options.Target), qPrintable(target.KeptJetPath()));
        std::printf("Converted %s (Jet %d) into %s: %d %s, %lld %s read, %lld added\n", qPrintable(options.Source),
                    counts.Version, qPrintable(options.Target), counts.Tables, counts.Tables == 1 ? "table" : "tables",
                    static_cast<long long>(counts.RowsRead), counts.RowsRead == 1 ? "row" : "rows",
                    static_cast<long long>(counts.RowsAdded));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "velmora-rehber-db: %s\n", ExceptionText(e).toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
