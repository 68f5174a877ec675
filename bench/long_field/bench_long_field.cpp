// Opening the window (the connection, the record set, every bound control
// and the grid painted) on a contact that another program stored with
// 20 MB in Soyad and Email and 10 MB in Adres, each one line without
// blanks; against the same window on an ordinary contact, and the stock
// sqlite3 shell running the window's statement on the long contact (output
// to /dev/null), in the same run.
#include "bench/support/BenchSupport.h"
#include "bench/window/BenchWindow.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/Statement.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sqlite3.h>

namespace {

constexpr int kMb = 1024 * 1024;

TForm1 *gForm = nullptr;
QString gFolders[2];

// A contacts table without length checks, as another program makes it,
// holding one contact.
void MakeDatabase(const QString &path, bool longValues)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    ExecuteSql(db,
               "CREATE TABLE DBASE (No INTEGER PRIMARY KEY, Ad TEXT, Soyad TEXT, CTelefon TEXT,"
               " ETelefon TEXT, ITelefon TEXT, Email TEXT, Adres TEXT)");
    // hex(zeroblob(n)) is 2n characters.
    ExecuteSql(db,
               longValues ? QStringLiteral("INSERT INTO DBASE (Ad, Soyad, CTelefon, Email, Adres) VALUES ('Uzun',"
                                           " replace(hex(zeroblob(%1)), '0', 's'), '0532 111 22 33',"
                                           " replace(hex(zeroblob(%1)), '0', 'e'), replace(hex(zeroblob(%2)), '0', 'a'))")
                                .arg(10 * kMb)
                                .arg(5 * kMb)
                                .toUtf8()
                          : QByteArray("INSERT INTO DBASE (Ad, Soyad, CTelefon, Email, Adres) VALUES ('Kısa', 'Yılmaz',"
                                       " '0532 111 22 33', 'kisa@example.com', 'Bağdat Cad. 5 Kadıköy')"));
    sqlite3_close(db);
}

// Closes the database, then opens it as an activation does and paints the window.
void BM_WindowOpen(benchmark::State &state)
{
    const bool longValues = state.range(0) == 1;
    state.SetLabel(longValues ? "long" : "ordinary");
    QDir::setCurrent(gFolders[longValues ? 1 : 0]);
    for (auto _ : state) {
        state.PauseTiming();
        gForm->ADOQuery1->Close();
        gForm->ADOConnection1->Close();
        gForm->repaint();
        state.ResumeTiming();
        gForm->FormActivate(gForm);
        gForm->repaint();
    }
    if (gForm->ADOQuery1->RecordCount() != 1)
        state.SkipWithError("the contact was not read");
}

void BM_Sqlite3Shell(benchmark::State &state)
{
    TimeProgram(state,
                {Sqlite3Shell(), QFile::encodeName(gFolders[1] + QStringLiteral("/fihrist.mdb")).toStdString(), AllRecordsStatement});
}

BENCHMARK(BM_WindowOpen)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Sqlite3Shell)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    TBenchWindow window(argc, argv);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir dir;
    for (int i = 0; i < 2; ++i) {
        gFolders[i] = dir.filePath(QString::number(i));
        QDir().mkpath(gFolders[i]);
        MakeDatabase(gFolders[i] + QStringLiteral("/fihrist.mdb"), i == 1);
    }
    QDir::setCurrent(gFolders[0]);

    gForm = &window.Show();

    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("window open with long values / sqlite3 shell", "BM_WindowOpen/1/", "BM_Sqlite3Shell/", 3.0);
    std::printf("window open: ordinary %.1f ms, long values %.1f ms (target: well under 1000 ms)\n", reporter.Time("BM_WindowOpen/0/"),
                reporter.Time("BM_WindowOpen/1/"));
    benchmark::Shutdown();
    return 0;
}
