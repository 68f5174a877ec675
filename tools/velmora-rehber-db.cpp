// velmora-rehber-db: creates a contacts database for the program.
//
//   velmora-rehber-db create FILE [--sample N]
//   velmora-rehber-db convert OLD.mdb [--out fihrist.mdb] [--codepage 1254]
#include "platform/core/Exception.h"
#include "tools/ContactsDatabase.h"
#include "tools/jet/ConvertCommand.h"

#include <QString>
#include <cstdio>
#include <exception>

static int Usage()
{
    std::fputs("usage: velmora-rehber-db create FILE [--sample N]\n"
               "       velmora-rehber-db convert OLD.mdb [--out fihrist.mdb] [--codepage 1254]\n",
               stderr);
    return 2;
}

int main(int argc, char **argv)
{
    if (argc >= 2 && QString::fromLocal8Bit(argv[1]) == QLatin1String("convert")) {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        return RunConvertCommand(args);
    }
    if (argc < 3 || QString::fromLocal8Bit(argv[1]) != QLatin1String("create"))
        return Usage();
    const QString path = QString::fromLocal8Bit(argv[2]);
    int sample = 0;
    for (int i = 3; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        bool ok = false;
        if (arg == QLatin1String("--sample") && i + 1 < argc) {
            sample = QString::fromLocal8Bit(argv[++i]).toInt(&ok);
        } else if (arg.startsWith(QLatin1String("--sample="))) {
            sample = arg.mid(9).toInt(&ok);
        }
        if (!ok || sample < 0)
            return Usage();
    }
    try {
        CreateContactsDatabase(path);
        if (sample > 0)
            AddSampleContacts(path, sample);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "velmora-rehber-db: %s\n", ExceptionText(e).toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
