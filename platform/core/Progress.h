#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>

// Long work (an export, an import, a conversion, an Open that waits on a
// server) says how far it has come through a TProgress on its stack. Where
// that shows is the program's choice: the window installs a sink that shows
// a progress dialog once the work has taken about half a second and keeps
// the window painting; the contacts tool one that writes a progress line on
// the terminal. Without a sink nothing shows and nothing can cancel.
class TProgressSink {
public:
    virtual ~TProgressSink() = default;
    // A piece of work begins: what it is, in words for the user; how many
    // steps it has (0: not known); whether it may be stopped without harm.
    // Pieces may nest; each Begin has its End.
    virtual void Begin(const QString &what, qint64 total, bool cancellable) = 0;
    // How far the innermost piece has come; text, when not empty, says more
    // (the table being converted, say). False: the user asked to stop.
    virtual bool Update(qint64 done, qint64 total, const QString &text) = 0;
    virtual void End() = 0;
};

// The sink in force (nullptr: none). The caller keeps it alive.
void SetProgressSink(TProgressSink *sink);
TProgressSink *ProgressSink();

// One piece of long work. Step is cheap enough to call for every row: it
// reaches the sink at most every 50 ms (and at the last step).
class TProgress {
public:
    explicit TProgress(const QString &what, qint64 total = 0, bool cancellable = true);
    ~TProgress();
    TProgress(const TProgress &) = delete;
    TProgress &operator=(const TProgress &) = delete;

    void SetTotal(qint64 total) { FTotal = total; }
    // False once the user has asked to stop (and for every later call).
    bool Step(qint64 done, const QString &text = {});
    // Step, raising EAbort once the user has asked to stop.
    void StepOrAbort(qint64 done, const QString &text = {});
    bool Cancelled() const { return FCancelled; }

private:
    TProgressSink *FSink;
    qint64 FTotal;
    bool FCancellable;
    bool FCancelled = false;
    std::chrono::steady_clock::time_point FNext;
};
