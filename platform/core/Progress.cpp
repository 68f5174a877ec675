#include "platform/core/Progress.h"

#include "platform/core/Exception.h"

namespace {
TProgressSink *CurrentSink = nullptr;
constexpr std::chrono::milliseconds UpdateInterval{50};
}

void SetProgressSink(TProgressSink *sink)
{
    CurrentSink = sink;
}

TProgressSink *ProgressSink()
{
    return CurrentSink;
}

TProgress::TProgress(const QString &what, qint64 total, bool cancellable) : FSink(CurrentSink), FTotal(total), FCancellable(cancellable)
{
    if (FSink) {
        // Counted from before Begin: a sink slow to begin hears of the work
        // at its first step.
        FNext = std::chrono::steady_clock::now() + UpdateInterval;
        FSink->Begin(what, total, cancellable);
    }
}

TProgress::~TProgress()
{
    if (FSink)
        FSink->End();
}

bool TProgress::Step(qint64 done, const QString &text)
{
    if (!FSink || FCancelled)
        return !FCancelled;
    const auto now = std::chrono::steady_clock::now();
    if (now < FNext && !(FTotal > 0 && done >= FTotal))
        return true;
    FNext = now + UpdateInterval;
    if (!FSink->Update(done, FTotal, text) && FCancellable)
        FCancelled = true;
    return !FCancelled;
}

void TProgress::StepOrAbort(qint64 done, const QString &text)
{
    if (!Step(done, text))
        throw EAbort();
}
