// Sync with a CardDAV server: 5,000 contacts, Radicale on loopback, the
// contacts tool's sync against vdirsyncer syncing a folder of the same
// cards with the same server, in the same run:
//
//   build/bench/bench/carddav_sync/bench_carddav_sync [COUNT] [--seed]
//
// --seed leaves out (d): the cards are written straight into both books'
// folders on the server's disk, for counts whose upload takes too long.
//
//   (d) first upload of 5,000 local contacts into an empty address book
//   (a) first download of 5,000 cards into an empty directory
//   (b) a sync with no change
//   (c) a sync after 20 changes on each side
//
// Each side is a program started anew, timed in real time; its peak
// resident memory comes from wait4, the requests from Radicale's log. The
// growth of our peak is measured against a sync of an empty directory with
// an empty address book, and set against the bytes of the cards moved.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

// 5,000 by default; a smaller number as the first argument. Radicale checks
// a new card's UID against every card of the book, so an upload's time grows
// with the square of the count, on both sides alike.
int gContacts = 5000;
constexpr int kChanges = 20;

struct TRun {
    double Seconds = 0;
    long PeakKb = 0;
    int Requests = 0;
    bool Ok = false;
};

QString gLog;
QTemporaryDir *gDir = nullptr;
quint16 gPort = 0;

int RequestsSoFar()
{
    QFile log(gLog);
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return int(log.readAll().count(" request for '"));
}

TRun Run(const QStringList &args, const QString &output = QStringLiteral("/dev/null"))
{
    std::vector<QByteArray> bytes;
    for (const QString &a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray outputPath = output.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    TRun run;
    const int before = RequestsSoFar();
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.PeakKb = usage.ru_maxrss;
    run.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    posix_spawn_file_actions_destroy(&actions);
    QThread::msleep(300); // the server's log catches up
    run.Requests = RequestsSoFar() - before;
    return run;
}

QNetworkAccessManager *Network()
{
    static QNetworkAccessManager network;
    return &network;
}

QNetworkReply *Http(const QByteArray &method, const QString &path, const QByteArray &body = QByteArray(),
                    const QList<QPair<QByteArray, QByteArray>> &headers = {})
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(gPort).arg(path)));
    request.setRawHeader("Authorization", "Basic " + QByteArray("alice:x").toBase64());
    request.setHeader(QNetworkRequest::ContentTypeHeader, method == "PUT" ? "text/vcard" : "application/xml");
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply *reply = Network()->sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return reply;
}

void MakeBook(const QString &path)
{
    delete Http("MKCOL", path,
                "<?xml version=\"1.0\"?><mkcol xmlns=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><set><prop><resourcetype>"
                "<collection/><C:addressbook/></resourcetype></prop></set></mkcol>");
}

// Changes the e-mail of the first n cards of a book (another client).
void ChangeOnServer(const QString &book, int n)
{
    QNetworkReply *list = Http("PROPFIND", book, "<propfind xmlns=\"DAV:\"><prop><getetag/></prop></propfind>", {{"Depth", "1"}});
    const QString text = QString::fromUtf8(list->readAll());
    delete list;
    const QRegularExpression href(QStringLiteral("<href>([^<]+\\.vcf)</href>"));
    int done = 0;
    for (auto it = href.globalMatch(text); it.hasNext() && done < n;) {
        const QString path = it.next().captured(1);
        QNetworkReply *got = Http("GET", path);
        const QByteArray etag = got->rawHeader("ETag");
        QByteArray card = got->readAll();
        delete got;
        card.replace("END:VCARD", "NOTE:changed on the phone\r\nEND:VCARD");
        delete Http("PUT", path, card, {{"If-Match", etag}});
        ++done;
    }
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QString VdirConfig(const QString &name, const QString &folder, const QString &book)
{
    const QString config = gDir->filePath(name + QStringLiteral(".conf"));
    QDir().mkpath(folder);
    Write(config,
          QStringLiteral("[general]\nstatus_path = \"%1/\"\n[pair p]\na = \"local\"\nb = \"remote\"\ncollections = null\n"
                         "conflict_resolution = \"a wins\"\n[storage local]\ntype = \"filesystem\"\npath = \"%2/\"\nfileext = \".vcf\"\n"
                         "[storage remote]\ntype = \"carddav\"\nurl = \"http://127.0.0.1:%3%4\"\nusername = \"alice\"\npassword = \"x\"\n")
              .arg(gDir->filePath(name + QStringLiteral("-status")), folder)
              .arg(gPort)
              .arg(book)
              .toUtf8());
    Run({QStringLiteral("vdirsyncer"), QStringLiteral("-c"), config, QStringLiteral("discover"), QStringLiteral("p")});
    return config;
}

void Print(const char *what, const TRun &ours, const TRun &anchor, double target)
{
    const double ratio = anchor.Seconds > 0 ? ours.Seconds / anchor.Seconds : 0;
    std::printf("%-36s %8.2f s %6d req %7ld KiB | %8.2f s %6d req %7ld KiB | %5.2fx (target <= %.1fx)%s\n", what, ours.Seconds,
                ours.Requests, ours.PeakKb, anchor.Seconds, anchor.Requests, anchor.PeakKb, ratio, target,
                ours.Ok && anchor.Ok ? "" : "  FAILED");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        gContacts = std::max(1, std::atoi(argv[1]));
    const bool seed = argc > 2 && QByteArray(argv[2]) == "--seed";
    QTemporaryDir dir;
    gDir = &dir;
    const QString tool = QStringLiteral(VELMORA_REHBER_DB);
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        gPort = probe.serverPort();
    }
    gLog = dir.filePath(QStringLiteral("radicale.log"));
    Write(dir.filePath(QStringLiteral("radicale.conf")),
          QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n[auth]\ntype = none\n[storage]\nfilesystem_folder = %2\n"
                         "[rights]\ntype = owner_only\n[logging]\nlevel = info\n")
              .arg(gPort)
              .arg(dir.filePath(QStringLiteral("data")))
              .toUtf8());
    QProcess radicale;
    radicale.setStandardErrorFile(gLog);
    radicale.setStandardOutputFile(gLog, QIODevice::Append);
    radicale.start(QStringLiteral("radicale"), {QStringLiteral("--config"), dir.filePath(QStringLiteral("radicale.conf"))});
    radicale.waitForStarted();
    for (int i = 0; i < 100; ++i) {
        QNetworkReply *r = Http("OPTIONS", QStringLiteral("/"));
        const bool up = r->error() != QNetworkReply::ConnectionRefusedError;
        delete r;
        if (up)
            break;
        QThread::msleep(100);
    }
    delete Http("PROPFIND", QStringLiteral("/alice/"), QByteArray(), {{"Depth", "0"}});
    for (const char *book : {"/alice/ours/", "/alice/vdir/", "/alice/empty/"})
        MakeBook(QString::fromLatin1(book));

    // The tool's account and password, in a home of the run's own.
    const QString home = dir.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    Write(home + QStringLiteral("/.netrc"), "machine 127.0.0.1 login alice password x\n");
    QFile::setPermissions(home + QStringLiteral("/.netrc"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // The same 5,000 contacts: a database, and a folder of one card each.
    const QString up = dir.filePath(QStringLiteral("up.mdb")), down = dir.filePath(QStringLiteral("down.mdb")),
                  empty = dir.filePath(QStringLiteral("empty.mdb"));
    Run({tool, QStringLiteral("create"), up, QStringLiteral("--sample"), QString::number(gContacts)});
    Run({tool, QStringLiteral("create"), down});
    Run({tool, QStringLiteral("create"), empty});
    const QString all = dir.filePath(QStringLiteral("all.vcf"));
    Run({tool, QStringLiteral("export"), all, QStringLiteral("--format"), QStringLiteral("vcard"), QStringLiteral("--from"), up});
    QFile allFile(all);
    allFile.open(QIODevice::ReadOnly);
    const QByteArray cards = allFile.readAll();
    const QString upFolder = dir.filePath(QStringLiteral("cards-up")), downFolder = dir.filePath(QStringLiteral("cards-down"));
    QDir().mkpath(upFolder);
    int n = 0;
    qsizetype at = 0;
    while ((at = cards.indexOf("BEGIN:VCARD", at)) >= 0) {
        const qsizetype end = cards.indexOf("END:VCARD", at) + 11;
        QByteArray card = cards.mid(at, end - at);
        const QByteArray uid = "bench-" + QByteArray::number(++n);
        card.insert(card.indexOf('\n', card.indexOf('\n') + 1) + 1, "UID:" + uid + "\r\n");
        Write(upFolder + u'/' + QString::fromLatin1(uid) + QStringLiteral(".vcf"), card);
        at = end;
    }
    const double cardBytes = double(cards.size());
    if (seed) {
        // Both books as an upload would leave them: the server's cache of
        // the cards made, and the history of each card's versions that
        // Radicale writes at every PUT (a sync-collection listing makes it).
        for (const char *book : {"ours", "vdir"}) {
            const QString folder = dir.filePath(QStringLiteral("data/collection-root/alice/")) + QLatin1String(book);
            for (const QString &file : QDir(upFolder).entryList({QStringLiteral("*.vcf")}, QDir::Files))
                QFile::copy(upFolder + u'/' + file, folder + u'/' + file);
            const QString path = QStringLiteral("/alice/%1/").arg(QLatin1String(book));
            delete Http("PROPFIND", path, "<propfind xmlns=\"DAV:\"><prop><getetag/></prop></propfind>", {{"Depth", "1"}});
            delete Http("REPORT", path,
                        "<sync-collection xmlns=\"DAV:\"><sync-token/><sync-level>1</sync-level><prop><getetag/></prop></sync-collection>",
                        {{"Depth", "0"}});
        }
    }

    const auto sync = [&](const QString &db, const QString &book) {
        return Run({tool, QStringLiteral("sync"), db, QStringLiteral("--url"), QStringLiteral("http://127.0.0.1:%1%2").arg(gPort).arg(book),
                    QStringLiteral("--user"), QStringLiteral("alice")});
    };
    const TRun base = sync(empty, QStringLiteral("/alice/empty/"));
    const QString vdirUp = VdirConfig(QStringLiteral("up"), upFolder, QStringLiteral("/alice/vdir/"));
    const QString vdirDown = VdirConfig(QStringLiteral("down"), downFolder, QStringLiteral("/alice/vdir/"));
    const auto vdir = [&](const QString &config) {
        return Run({QStringLiteral("vdirsyncer"), QStringLiteral("-c"), config, QStringLiteral("sync")});
    };

    std::printf("%d contacts, %.1f MiB of cards; Radicale %s on loopback\n", n, cardBytes / 1048576.0, "(auth none)");
    std::printf("%-36s %30s | %30s |\n", "", "velmora-rehber-db sync", "vdirsyncer sync");
    TRun dOurs, dVdir;
    if (!seed) {
        dOurs = sync(up, QStringLiteral("/alice/ours/"));
        dVdir = vdir(vdirUp);
        Print("(d) first upload", dOurs, dVdir, 1.0);
    }
    const TRun aOurs = sync(down, QStringLiteral("/alice/ours/")), aVdir = vdir(vdirDown);
    Print("(a) first download", aOurs, aVdir, 0.5);
    const TRun bOurs = sync(down, QStringLiteral("/alice/ours/")), bVdir = vdir(vdirDown);
    Print("(b) no change", bOurs, bVdir, 0.5);
    // 20 changes on each side.
    Run({QStringLiteral("sqlite3"), down,
         QStringLiteral(
             "UPDATE DBASE SET Email = 'yeni' || No || '@ornek.com' WHERE No IN (SELECT No FROM DBASE ORDER BY No DESC LIMIT %1)")
             .arg(kChanges)});
    ChangeOnServer(QStringLiteral("/alice/ours/"), kChanges);
    int edited = 0;
    for (const QString &file : QDir(downFolder).entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name | QDir::Reversed)) {
        if (edited++ == kChanges)
            break;
        QFile f(downFolder + u'/' + file);
        f.open(QIODevice::ReadOnly);
        QByteArray card = f.readAll();
        f.close();
        card.replace("END:VCARD", "NOTE:changed here\r\nEND:VCARD");
        Write(downFolder + u'/' + file, card);
    }
    ChangeOnServer(QStringLiteral("/alice/vdir/"), kChanges);
    const TRun cOurs = sync(down, QStringLiteral("/alice/ours/")), cVdir = vdir(vdirDown);
    Print("(c) 20 changes on each side", cOurs, cVdir, 0.5);

    if (seed)
        std::printf("\nmemory: an empty sync peaks at %ld KiB; growth (a) %ld KiB against %.0f KiB of cards moved: %.2fx (target <= 3x)\n",
                    base.PeakKb, aOurs.PeakKb - base.PeakKb, cardBytes / 1024, (aOurs.PeakKb - base.PeakKb) * 1024.0 / cardBytes);
    else
        std::printf(
            "\nmemory: an empty sync peaks at %ld KiB; growth (d) %ld KiB, (a) %ld KiB, against %.0f KiB of cards moved: "
            "%.2fx and %.2fx (target <= 3x)\n",
            base.PeakKb, dOurs.PeakKb - base.PeakKb, aOurs.PeakKb - base.PeakKb, cardBytes / 1024,
            (dOurs.PeakKb - base.PeakKb) * 1024.0 / cardBytes, (aOurs.PeakKb - base.PeakKb) * 1024.0 / cardBytes);
    radicale.terminate();
    radicale.waitForFinished(5000);
    return 0;
}
