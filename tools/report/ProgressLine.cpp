#include "tools/report/ProgressLine.h"

#include <cstdio>
#include <unistd.h>

TProgressLine::TProgressLine(QString label, std::int64_t total)
    : FLabel(std::move(label)), FTotal(total), FEnabled(isatty(STDERR_FILENO) == 1)
{
    FTimer.start();
}

TProgressLine::~TProgressLine()
{
    Clear();
}

void TProgressLine::Draw(std::int64_t done, std::int64_t records)
{
    const qint64 now = FTimer.elapsed();
    if (now < 1000 || now - FLastDraw < 200)
        return;
    FLastDraw = now;
    QString text = FLabel + QStringLiteral(": ");
    if (FTotal > 0)
        text += QStringLiteral("%1 %, ").arg(std::min<std::int64_t>(100, done * 100 / FTotal));
    text += QStringLiteral("%1 records").arg(records);
    std::fprintf(stderr, "\r%s\033[K", text.toLocal8Bit().constData());
    std::fflush(stderr);
    FShown = true;
}

void TProgressLine::Clear()
{
    if (!FShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    FShown = false;
}
