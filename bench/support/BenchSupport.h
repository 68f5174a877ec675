#pragma once

#include <QString>
#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <vector>

// Runs a program once with its standard output sent to outputFile
// ("/dev/null" to discard it); false when it cannot be started or fails.
// cpuSeconds, when given, receives the processor time the program used
// (user and system), which a busy machine changes less than real time.
bool RunProgram(const std::vector<std::string> &argv, const std::string &outputFile = "/dev/null", double *cpuSeconds = nullptr);

// Times argv as one benchmark iteration each; marks the benchmark failed
// when the program is missing or fails.
void TimeProgram(benchmark::State &state, const std::vector<std::string> &argv, const std::string &outputFile = "/dev/null");

// The path of the stock sqlite3 shell, or empty.
std::string Sqlite3Shell();

// The bytes of text (UTF-8) in the contacts table DBASE of the file.
double ContactsTextBytes(const QString &file);

// A line of /proc/self/status in kilobytes ("VmRSS:", "VmHWM:").
long ProcessStatusKb(const char *key);

// Keeps each benchmark's real time per iteration, so that main() can print
// the ratio of the program's own code to its anchor.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override;
    // Time per iteration of the first benchmark whose name starts with prefix; 0 when none.
    double Time(const std::string &prefix) const;
    // Prints "label: ours / anchor" with the target, when both ran.
    void PrintRatio(const char *label, const std::string &ours, const std::string &anchor, double target) const;

private:
    std::map<std::string, double> FTimes;
};
