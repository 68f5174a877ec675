#include "contacts/ProgressLine.h"

#include <unistd.h>

using namespace std::chrono_literals;

TProgressLine::TProgressLine(std::FILE *stream)
    : FStream(stream), FTerminal(::isatty(::fileno(stream)) == 1), FStart(std::chrono::steady_clock::now())
{
}

TProgressLine::~TProgressLine()
{
    Clear();
}

void TProgressLine::Show(const QString &text)
{
    if (!FTerminal)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - FStart < 1s || (FShown && now - FLast < 200ms))
        return;
    FLast = now;
    FShown = true;
    std::fprintf(FStream, "\r\033[K%s", text.toLocal8Bit().constData());
    std::fflush(FStream);
}

void TProgressLine::Clear()
{
    if (!FShown)
        return;
    std::fputs("\r\033[K", FStream);
    std::fflush(FStream);
    FShown = false;
}
