#pragma once

#include "contacts/ImportProblem.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

struct UConverter;

// One line of a file, as UTF-8 without its line break (LF, CRLF, or CR in a
// file that has no LF at all).
enum class TLineState {
    Ok,
    BadEncoding, // not text in the file's encoding; Text holds nothing
    NulByte,     // holds a NUL byte; Text holds nothing
    TooLong      // longer than MaxLineBytes; Text holds its first 1 KiB, the rest was passed over
};

// Reads a file (or any stream: a pipe, a terminal) line by line as UTF-8,
// in bounded memory. The encoding is the one named, or found from the
// first 64 KiB: a byte order mark, else ICU's charset detection (see
// DetectCharset). The file is never read twice, so it may be a pipe.
// A sample whose encoding cannot be recognised is only an error when a
// line is read as text; its lines can still be read as the file's bytes
// (SetRaw), for a reader that decodes each value by the charset the file
// names for it.
class TTextInput {
public:
    static constexpr std::int64_t MaxLineBytes = 1 << 20;

    // Raises EFileError when the file cannot be opened, EContactFileError
    // when the encoding named is unknown.
    explicit TTextInput(const QString &path, const QString &encoding = QString());
    // UTF-8 text held in memory (a card a server sent).
    explicit TTextInput(const QByteArray &bytes);
    ~TTextInput();
    TTextInput(const TTextInput &) = delete;
    TTextInput &operator=(const TTextInput &) = delete;

    // The next line; false at the end of the file.
    bool ReadLine();
    // Makes the next ReadLine give the current line again.
    void Unread() { FRepeat = true; }
    // The first byte of the next line as it stands in the file, when it has
    // been read already: a byte value, EndOfFile, or NotKnown.
    static constexpr int EndOfFile = -1;
    static constexpr int NotKnown = -2;
    int PeekNextByte() const;
    // The line's text; valid until the next ReadLine (copy what is kept).
    const QByteArray &Text() const { return FLine; }
    TLineState State() const { return FState; }
    std::int64_t LineNumber() const { return FLineNumber; }

    // What is wrong with the current line, which is not Ok: a
    // LineNotReadable, LineHasNul or LineTooLong problem with its number.
    TImportProblem Problem() const;
    // Raises the EContactFileError for a line too long to read on from.
    [[noreturn]] void RefuseLongLine(const char *kind) const;

    // Raw lines: in an encoding that writes ASCII as ASCII (UTF-8, the
    // Windows code pages, Shift_JIS ...) the file's bytes, neither converted
    // nor checked; in UTF-16 and UTF-32 still the converted UTF-8 (see
    // Converted). A NUL byte is still a NulByte line.
    void SetRaw(bool raw);
    // True when raw lines are converted text all the same (UTF-16, UTF-32).
    bool Converted() const { return FPathKind == TPath::Stream; }

    // The file's encoding; empty when it could not be recognised.
    QString Encoding() const { return FEncoding; }
    // True when the encoding was named, not found from the file.
    bool EncodingNamed() const { return FNamed; }
    std::int64_t BytesRead() const { return FBytesRead; }
    std::int64_t Size() const { return FSize; } // the size when the file was opened

private:
    enum class TPath { Utf8, ByLine, Stream };
    void Begin(const QString &encoding);
    bool Fill(); // appends decoded bytes to FBuffer; false at end
    void DecodeLine(const char *p, qsizetype n);
    void FinishLine(); // FLine and FState from FLastRaw
    QString FPath;
    QByteArray FMemory;            // the text read, when it is in memory
    qsizetype FChunk = 256 * 1024; // bytes read at a time
    std::FILE *FFile = nullptr;
    QString FEncoding;
    TPath FPathKind = TPath::Utf8;
    UConverter *FConverter = nullptr;
    QByteArray FBuffer; // undivided bytes, from FStart on
    qsizetype FStart = 0;
    QByteArray FPending; // the first chunk, read before decoding began
    bool FEnd = false;
    bool FFirst = true;
    bool FRepeat = false;
    bool FRaw = false;
    bool FNamed = false;
    const char *FLastRaw = nullptr; // the current line's bytes, as long as it is current
    qsizetype FLastRawSize = 0;
    char FBreak = 0;                             // the line break: '\n', or '\r' in a file without LF; 0 before the first line
    std::optional<TImportProblem> FUnrecognised; // why the encoding could not be recognised
    QByteArray FLine;
    TLineState FState = TLineState::Ok;
    std::int64_t FLineNumber = 0;
    std::int64_t FBytesRead = 0;
    std::int64_t FSize = 0;
};
