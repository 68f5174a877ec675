#include "tools/ToolSummary.h"

#include <cstdio>

QString TToolSummary::Line() const
{
    QString line = QStringLiteral("read %1, %2 %3, skipped as duplicate %4, refused %5")
                       .arg(Read)
                       .arg(AddedWord)
                       .arg(Added)
                       .arg(Duplicates)
                       .arg(Refused);
    if (!Note.isEmpty())
        line += QStringLiteral("; ") + Note;
    return line;
}

void TToolSummary::Print() const
{
    std::fflush(stderr);
    std::fputs((Line() + u'\n').toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}
