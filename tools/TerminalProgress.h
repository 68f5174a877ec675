#pragma once

#include "platform/core/Progress.h"

#include <chrono>
#include <cstdio>

// The tool's progress: one line on the terminal for work that takes a
// while ("Kişiler içe aktarılıyor: 45 %"), nothing for the first second,
// then rewritten in place a few times a second and cleared at the end.
// Nothing at all when the stream is not a terminal. Never cancels (an
// interrupt ends the tool; what it was writing is taken back).
class TTerminalProgress final : public TProgressSink {
public:
    explicit TTerminalProgress(std::FILE *stream);
    ~TTerminalProgress() override;

    void Begin(const QString &what, qint64 total, bool cancellable) override;
    bool Update(qint64 done, qint64 total, const QString &text) override;
    void End() override;

private:
    void Clear();
    std::FILE *FStream;
    bool FTerminal;
    bool FShown = false;
    int FDepth = 0;
    QString FWhat;
    std::chrono::steady_clock::time_point FStart;
    std::chrono::steady_clock::time_point FLast;
};
