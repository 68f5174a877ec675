#include "tools/TerminalProgress.h"

#include <algorithm>
#include <unistd.h>

using namespace std::chrono_literals;

TTerminalProgress::TTerminalProgress(std::FILE *stream) : FStream(stream), FTerminal(::isatty(::fileno(stream)) == 1) {}

TTerminalProgress::~TTerminalProgress()
{
    Clear();
}

void TTerminalProgress::Begin(const QString &what, qint64, bool)
{
    if (FWhat.isEmpty())
        FStart = std::chrono::steady_clock::now();
    FWhat << what;
}

bool TTerminalProgress::Update(qint64 done, qint64 total, const QString &text)
{
    if (!FTerminal)
        return true;
    const auto now = std::chrono::steady_clock::now();
    if (now - FStart < 1s || (FShown && now - FLast < 200ms))
        return true;
    FLast = now;
    FShown = true;
    QString line = FWhat.isEmpty() ? QString() : FWhat.constLast();
    if (total > 0)
        line += QStringLiteral(": %1 %").arg(std::min<qint64>(100, done * 100 / total));
    if (!text.isEmpty())
        line += QStringLiteral(", ") + text;
    std::fprintf(FStream, "\r\033[K%s", line.toLocal8Bit().constData());
    std::fflush(FStream);
    return true;
}

void TTerminalProgress::End()
{
    if (!FWhat.isEmpty())
        FWhat.removeLast();
    if (FWhat.isEmpty())
        Clear();
}

void TTerminalProgress::Clear()
{
    if (!FShown)
        return;
    std::fputs("\r\033[K", FStream);
    std::fflush(FStream);
    FShown = false;
}
