#pragma once

#include <QByteArray>
#include <QList>

// The text rules of vCard values (RFC 2426, RFC 6350), on UTF-8 bytes.

// A value's components, split at ";" that is not escaped, each unescaped:
// "\n" and "\N" a line break, "\\" "\," "\;" the character itself. An
// unescaped "," becomes listSeparator (a list inside a component).
QList<QByteArray> SplitComponents(const QByteArray &value, char listSeparator);

// One text value unescaped (a ";" in it is text).
QByteArray UnescapeText(const QByteArray &value);

// Quoted-printable decoded ("=C5=9E" is one byte; an "=" before the end
// of a line is a soft break and has already been taken out by the reader).
QByteArray DecodeQuotedPrintable(const QByteArray &value);

// A text value escaped for writing: "\" "," ";" escaped, line breaks as "\n".
void AppendEscaped(QByteArray &out, const QByteArray &text);

// Ends the content line that begins at out[start] (already appended,
// unfolded) with CRLF, folded first so that no line is longer than 75
// octets (a continuation line begins with a space, which counts), never
// inside a UTF-8 sequence.
void AppendContentLine(QByteArray &out, qsizetype start);
