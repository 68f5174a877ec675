#include "bench/support/BenchSupport.h"

#include <QStandardPaths>
#include <QString>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

bool RunProgram(const std::vector<std::string> &argv, const std::string &outputFile, double *cpuSeconds, long *peakKb)
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
    if (peakKb)
        *peakKb = usage.ru_maxrss;
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
