// Searching 100,000 sample contacts from the window: the pattern typed into
// the search box, Enter, until the grid has painted the first match; against
// the stock sqlite3 shell running the same statement with the same
// parameter on the same file (output to /dev/null), in the same run.
#include "app/Unit1.h"
#include "bench/support/BenchSupport.h"
#include "bench/window/BenchWindow.h"
#include "platform/widgets/DBGrid.h"
#include "platform/widgets/Edit.h"
#include "platform/widgets/RadioGroup.h"
#include "store/ADOQuery.h"
#include "contacts/ContactsDatabase.h"

#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>

namespace {

constexpr int kContacts = 100000;

struct TSearch {
    const char *Name;
    int Item;
    const char *Pattern;
};

const TSearch kSearches[] = {
    {"FirstNameA", 0, "A%"},
    {"MobileContains5", 2, "%5%"},
    {"NothingMatches", 1, "Zzzzz%"},
};

TForm1 *gForm = nullptr;
QString gDatabase;

void BM_WindowSearch(benchmark::State &state)
{
    const TSearch &search = kSearches[state.range(0)];
    state.SetLabel(search.Name);
    gForm->RadioGroup1->SetItemIndex(search.Item);
    gForm->Edit1->setText(QString::fromUtf8(search.Pattern));
    int found = 0;
    for (auto _ : state) {
        QChar enter = u'\r';
        gForm->Edit1KeyPress(gForm->Edit1, enter);
        gForm->DBGrid1->viewport()->repaint();
        state.PauseTiming();
        found = gForm->ADOQuery1->RecordCount();
        state.ResumeTiming();
    }
    state.counters["rows"] = found;
}

void BM_Sqlite3ShellSearch(benchmark::State &state)
{
    const TSearch &search = kSearches[state.range(0)];
    state.SetLabel(search.Name);
    const std::string statement = SearchStatement(search.Item).toStdString();
    const std::string parameter = QStringLiteral(".param set :deger '%1'").arg(QString::fromUtf8(search.Pattern)).toStdString();
    TimeProgram(state, {Sqlite3Shell(), "-cmd", parameter, QFile::encodeName(gDatabase).toStdString(), statement});
}

BENCHMARK(BM_WindowSearch)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Sqlite3ShellSearch)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    TBenchWindow window(argc, argv);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir dir;
    gDatabase = dir.filePath(QStringLiteral("fihrist.mdb"));
    CreateContactsDatabase(gDatabase);
    AddSampleContacts(gDatabase, kContacts);
    QDir::setCurrent(dir.path());

    gForm = &window.Show();
    gForm->FormActivate(gForm);

    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int i = 0; i < 3; ++i) {
        const std::string label =
            QStringLiteral("window search %1 / sqlite3 shell").arg(QString::fromLatin1(kSearches[i].Name)).toStdString();
        reporter.PrintRatio(label.c_str(), QStringLiteral("BM_WindowSearch/%1/").arg(i).toStdString(),
                            QStringLiteral("BM_Sqlite3ShellSearch/%1/").arg(i).toStdString(), 1.5);
    }
    benchmark::Shutdown();
    return 0;
}
