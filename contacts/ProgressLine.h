#pragma once

#include <QString>
#include <chrono>
#include <cstdio>

// A progress line on the terminal for work that takes a while: nothing for
// the first second, then the latest text, rewritten in place a few times a
// second. Nothing at all when the stream is not a terminal. Clear removes
// the line before the summary is printed.
class TProgressLine {
public:
    explicit TProgressLine(std::FILE *stream = stderr);
    ~TProgressLine();
    TProgressLine(const TProgressLine &) = delete;
    TProgressLine &operator=(const TProgressLine &) = delete;

    void Show(const QString &text);
    void Clear();

private:
    std::FILE *FStream;
    bool FTerminal;
    bool FShown = false;
    std::chrono::steady_clock::time_point FStart;
    std::chrono::steady_clock::time_point FLast;
};
