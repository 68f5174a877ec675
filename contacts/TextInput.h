#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <memory>

struct UConverter;

// One line of a file, as UTF-8 without its line break (LF or CRLF).
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
class TTextInput {
public:
    static constexpr std::int64_t MaxLineBytes = 1 << 20;

    // Raises EFileError when the file cannot be opened, Exception when the
    // encoding is unknown or cannot be recognised.
    explicit TTextInput(const QString &path, const QString &encoding = QString());
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

    // What is wrong with the current line, in words with its number:
    // "line 4 is not readable as UTF-8 (name the file's encoding with
    // --encoding)"; empty when it is Ok.
    QString Problem() const;
    // Raises the Exception for a line too long to read on from.
    [[noreturn]] void RefuseLongLine(const char *kind) const;

    QString Encoding() const { return FEncoding; }
    std::int64_t BytesRead() const { return FBytesRead; }
    std::int64_t Size() const { return FSize; } // 0 when not known (a pipe)

private:
    enum class TPath { Utf8, ByLine, Stream };
    bool Fill();                         // appends decoded bytes to FBuffer; false at end
    void DecodeLine(const char *p, qsizetype n);
    QString FPath;
    std::FILE *FFile = nullptr;
    QString FEncoding;
    TPath FPathKind = TPath::Utf8;
    UConverter *FConverter = nullptr;
    QByteArray FBuffer;                  // undivided bytes, from FStart on
    qsizetype FStart = 0;
    QByteArray FPending;                 // the first chunk, read before decoding began
    bool FEnd = false;
    bool FFirst = true;
    bool FRepeat = false;
    QByteArray FLine;
    TLineState FState = TLineState::Ok;
    std::int64_t FLineNumber = 0;
    std::int64_t FBytesRead = 0;
    std::int64_t FSize = 0;
};
