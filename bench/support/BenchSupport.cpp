#include "bench/support/BenchSupport.h"

#include "store/Statement.h"

#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

bool RunProgram(const std::vector<std::string> &argv, const std::string &outputFile, double *cpuSeconds)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (rc != 0 || wait4(pid, &status, 0, &usage) < 0)
        return false;
    if (cpuSeconds)
        *cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void TimeProgram(benchmark::State &state, const std::vector<std::string> &argv, const std::string &outputFile)
{
    if (argv.empty() || argv.front().empty()) {
        state.SkipWithError("program not found");
        return;
    }
    for (auto _ : state) {
        if (!RunProgram(argv, outputFile)) {
            state.SkipWithError("program failed");
            break;
        }
    }
}

std::string Sqlite3Shell()
{
    return QStandardPaths::findExecutable(QStringLiteral("sqlite3")).toStdString();
}

double ContactsTextBytes(const QString &file)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    double bytes = 0;
    {
        TStatement st(db,
                      QByteArray("SELECT sum(coalesce(length(CAST(Ad AS BLOB)),0) + coalesce(length(CAST(Soyad AS BLOB)),0)"
                                 " + coalesce(length(CAST(CTelefon AS BLOB)),0) + coalesce(length(CAST(ETelefon AS BLOB)),0)"
                                 " + coalesce(length(CAST(ITelefon AS BLOB)),0) + coalesce(length(CAST(Email AS BLOB)),0)"
                                 " + coalesce(length(CAST(Adres AS BLOB)),0)) FROM DBASE"));
        if (st.Step())
            bytes = st.ColumnDouble(0);
    }
    sqlite3_close(db);
    return bytes;
}

long ProcessStatusKb(const char *key)
{
    long kb = 0;
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, key, std::strlen(key)) == 0)
                kb = std::strtol(line + std::strlen(key), nullptr, 10);
        std::fclose(f);
    }
    return kb;
}

void TRatioReporter::ReportRuns(const std::vector<Run> &runs)
{
    for (const Run &r : runs)
        if (r.run_type == Run::RT_Iteration && !r.error_occurred && !FTimes.count(r.benchmark_name()))
            FTimes[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
}

double TRatioReporter::Time(const std::string &prefix) const
{
    for (const auto &[name, t] : FTimes)
        if (name.rfind(prefix, 0) == 0)
            return t;
    return 0.0;
}

void TRatioReporter::PrintRatio(const char *label, const std::string &ours, const std::string &anchor, double target) const
{
    const double a = Time(ours), b = Time(anchor);
    if (a > 0 && b > 0)
        std::printf("ratio %s: %.2f (target <= %.2f)\n", label, a / b, target);
    else
        std::printf("ratio %s: not measured\n", label);
}
