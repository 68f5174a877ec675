#pragma once

#include <QString>

// How much of a field's value a control lays out. Laying out one line of
// text costs more than its length (a line without blanks is wrapped
// character by character), so a value that another program stored with
// megabytes in one line would hold the window for minutes. A control shows
// at most the first DisplayLimit characters; the rest stays with the field
// and goes back with whatever the user changed in the part shown.
inline constexpr qsizetype DisplayLimit = 4096;

// The length of the part of text a control shows: all of it when it is
// short enough, else DisplayLimit characters, or one less where the cut
// would split a surrogate pair or a CR LF.
inline qsizetype DisplayHeadLength(const QString &text)
{
    if (text.size() <= DisplayLimit)
        return text.size();
    const QChar last = text.at(DisplayLimit - 1);
    const bool splits = last.isHighSurrogate() || (last == u'\r' && text.at(DisplayLimit) == u'\n');
    return splits ? DisplayLimit - 1 : DisplayLimit;
}
