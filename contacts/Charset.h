#pragma once

#include "contacts/ImportProblem.h"

#include <QByteArray>
#include <QString>

struct UConverter;

// Text in a named character set (any name ICU knows: "UTF-8",
// "windows-1254", "ISO-8859-9", "UTF-16LE" ...) turned into UTF-8.

// True when ICU has a converter of that name.
bool CharsetKnown(const QString &name);

// The bytes converted to UTF-8; false (and *utf8 empty) when a byte
// sequence is not text in that set.
bool ToUtf8(const QString &charset, const QByteArray &bytes, QByteArray *utf8);
// The same with an open ICU converter, which is reset first.
bool ToUtf8(UConverter *converter, QByteArrayView bytes, QByteArray *utf8);

// A text value in place turned into UTF-8 without NUL: in the charset
// named, or, when the name is empty, in its own (UTF-8, or what
// DetectCharset finds). False, with the problem's Kind and Text (the
// charset) set and text as it was, when the charset is not known or the
// text is not readable in it.
bool TextToUtf8(const QString &charset, QByteArray &text, TImportProblem *problem);

// The character set of a sample of a file, from ICU's charset detection:
// "UTF-8" for a sample of ASCII or UTF-8, "UTF-16LE"/"UTF-16BE" for a
// sample that begins with a byte order mark or has a NUL byte in every
// other place, "windows-1254" whenever the
// detector names a single-byte Latin code page (Windows-125x or
// ISO-8859-x for Western, Central European or Turkish text: the program's
// files are Turkish, and Windows-1254 reads ISO-8859-9 text the same way,
// the two differing only in bytes 0x80-0x9F that ISO-8859-9 leaves to
// control characters), and Shift_JIS, EUC-JP, EUC-KR, GB18030 or Big5 when
// the detector is sure of it (70 of 100). Any other answer raises an
// EContactFileError naming what the detector saw.
QString DetectCharset(const QByteArray &sample);
