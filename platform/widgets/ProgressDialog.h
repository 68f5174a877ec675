#pragma once

#include "platform/core/Progress.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <chrono>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

// The window's progress sink. Work that has run for about half a second
// gets a modal dialog: what is being done, how far (a bar that fills when
// the total is known, a count otherwise) and "İptal" when the work may be
// stopped. While it shows, every update lets the window paint; the dialog
// is modal to the whole program, so no click or key reaches the window and
// nothing starts other work on the record set meanwhile. Nested pieces
// share one dialog, which shows the innermost.
class TProgressDialogSink final : public TProgressSink {
public:
    explicit TProgressDialogSink(std::chrono::milliseconds delay = std::chrono::milliseconds(500));
    ~TProgressDialogSink() override;
    TProgressDialogSink(const TProgressDialogSink &) = delete;
    TProgressDialogSink &operator=(const TProgressDialogSink &) = delete;

    void Begin(const QString &what, qint64 total, bool cancellable) override;
    bool Update(qint64 done, qint64 total, const QString &text) override;
    void End() override;

    // The dialog while it shows, else nullptr.
    QDialog *Dialog() const { return FDialog; }
    // True while a piece of work reported through any dialog sink is under
    // way: the window starts no record-set work of its own then.
    static bool Working();

private:
    friend class TProgressPause;
    struct TPiece {
        QString What;
        bool Cancellable;
    };
    void ShowDialog();
    void CancelRequested();

    std::chrono::milliseconds FDelay;
    std::chrono::steady_clock::time_point FStart;
    std::vector<TPiece> FPieces;
    bool FCancelRequested = false;
    QPointer<QDialog> FDialog;
    QLabel *FWhat = nullptr;
    QProgressBar *FBar = nullptr;
    QLabel *FCount = nullptr;
    QPushButton *FCancel = nullptr;
};

// While one lives, the progress dialog is out of sight and does not show:
// a question the work asks meanwhile is the one window that takes input.
// The dialog comes back at the work's next step.
class TProgressPause {
public:
    TProgressPause();
    ~TProgressPause();
    TProgressPause(const TProgressPause &) = delete;
    TProgressPause &operator=(const TProgressPause &) = delete;
};
