#include "contacts/TextInput.h"

#include "platform/core/Exception.h"
#include "contacts/Charset.h"
#include "platform/core/ReadableFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdio.h>
#include <unicode/ucnv.h>

namespace {

constexpr qsizetype kSample = 64 * 1024;
constexpr qsizetype kKeptOfLongLine = 1024;

QString ByteOrderMark(const QByteArray &head)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        return QStringLiteral("UTF-8");
    if (head.startsWith("\xFF\xFE"))
        return QStringLiteral("UTF-16LE");
    if (head.startsWith("\xFE\xFF"))
        return QStringLiteral("UTF-16BE");
    return QString();
}

} // namespace

TTextInput::TTextInput(const QString &path, const QString &encoding) : FPath(path)
{
    TReadableFile readable(path);
    FFile = ::fdopen(readable.Handle(), "rb");
    if (!FFile)
        throw EFileError(QStringLiteral("%1 cannot be read: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))),
                         {TErrorKind::FileRead, path, QString::fromLocal8Bit(std::strerror(errno)), 0});
    readable.Release(); // the stream owns it now
    FSize = readable.Size();
    Begin(encoding);
}

TTextInput::TTextInput(const QByteArray &bytes) : FMemory(bytes.isEmpty() ? QByteArray("\n") : bytes)
{
    FMemory.detach();
    FFile = fmemopen(FMemory.data(), std::size_t(FMemory.size()), "rb");
    if (!FFile)
        throw EFileError(QStringLiteral("text in memory cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    FSize = FMemory.size();
    // Read in one piece: no buffer larger than the text.
    FChunk = FMemory.size() + 1;
    Begin(QStringLiteral("UTF-8"));
}

void TTextInput::Begin(const QString &encoding)
{
    // The first chunk decides the encoding; it is decoded like every other.
    const qsizetype sample = std::min(kSample, FChunk);
    FPending.resize(sample);
    qsizetype got = 0;
    while (got < sample) {
        const std::size_t n = std::fread(FPending.data() + got, 1, std::size_t(sample - got), FFile);
        if (n == 0)
            break;
        got += qsizetype(n);
    }
    FPending.resize(got);
    FBytesRead = got;

    try {
        if (!encoding.isEmpty()) {
            if (!CharsetKnown(encoding))
                throw EContactFileError({.Kind = TImportProblemKind::EncodingUnknown, .Name = encoding});
            FEncoding = encoding;
            FNamed = true;
        } else {
            FEncoding = ByteOrderMark(FPending);
            if (FEncoding.isEmpty()) {
                try {
                    FEncoding = DetectCharset(FPending);
                } catch (const EContactFileError &e) {
                    // Raw lines are still readable: read as bytes, one by one.
                    FUnrecognised = e.Problem;
                    FPathKind = TPath::ByLine;
                    return;
                }
            }
        }
        UErrorCode error = U_ZERO_ERROR;
        FConverter = ucnv_open(FEncoding.toLatin1().constData(), &error);
        if (U_FAILURE(error))
            throw EContactFileError({.Kind = TImportProblemKind::EncodingUnknown, .Name = FEncoding});
        ucnv_setToUCallBack(FConverter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
        if (ucnv_getType(FConverter) == UCNV_UTF8) {
            FPathKind = TPath::Utf8;
        } else {
            // Encodings that write a line break as the one byte 0x0A are
            // divided into lines first, then each line is converted.
            const UChar lf = u'\n';
            char out[8];
            error = U_ZERO_ERROR;
            const int32_t n = ucnv_fromUChars(FConverter, out, int32_t(sizeof out), &lf, 1, &error);
            const UConverterType type = ucnv_getType(FConverter);
            const bool wide = type == UCNV_UTF16 || type == UCNV_UTF16_BigEndian || type == UCNV_UTF16_LittleEndian || type == UCNV_UTF32
                || type == UCNV_UTF32_BigEndian || type == UCNV_UTF32_LittleEndian;
            FPathKind = U_SUCCESS(error) && n == 1 && out[0] == '\n' && !wide ? TPath::ByLine : TPath::Stream;
            ucnv_reset(FConverter);
        }
    } catch (...) {
        ucnv_close(FConverter);
        std::fclose(FFile);
        throw;
    }
}

TTextInput::~TTextInput()
{
    ucnv_close(FConverter);
    if (FFile)
        std::fclose(FFile);
}

bool TTextInput::Fill()
{
    if (FEnd)
        return false;
    QByteArray raw;
    if (!FPending.isNull()) {
        raw = std::move(FPending);
        FPending = QByteArray();
    } else {
        raw.resize(FChunk);
        const std::size_t n = std::fread(raw.data(), 1, std::size_t(FChunk), FFile);
        raw.resize(qsizetype(n));
        FBytesRead += qsizetype(n);
    }
    const bool last = raw.isEmpty();
    if (last)
        FEnd = true;
    if (FStart > 0) {
        FBuffer.remove(0, FStart);
        FStart = 0;
    }
    if (FPathKind != TPath::Stream) {
        FBuffer += raw;
        return !last;
    }
    // UTF-16 and the like: converted as a stream, since a line break is
    // more than one byte there.
    std::vector<UChar> wide(std::size_t(raw.size()) + 16);
    UChar *target = wide.data();
    const char *source = raw.constData();
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(FConverter, &target, wide.data() + wide.size(), &source, raw.constData() + raw.size(), nullptr, last, &error);
    if (U_FAILURE(error))
        throw EContactFileError(
            {.Kind = TImportProblemKind::TextNotReadable, .Name = FEncoding, .Line = FLineNumber + 1 + FBuffer.count('\n')});
    FBuffer += QString::fromUtf16(reinterpret_cast<const char16_t *>(wide.data()), target - wide.data()).toUtf8();
    return !last;
}

void TTextInput::DecodeLine(const char *p, qsizetype n)
{
    if (FBreak == '\n' && n > 0 && p[n - 1] == '\r')
        --n;
    if (FFirst) {
        FFirst = false;
        if (FPathKind != TPath::ByLine && n >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) {
            p += 3;
            n -= 3;
        }
    }
    FLastRaw = p;
    FLastRawSize = n;
    FinishLine();
}

void TTextInput::FinishLine()
{
    const char *p = FLastRaw;
    const qsizetype n = FLastRawSize;
    FState = TLineState::Ok;
    if (std::memchr(p, 0, std::size_t(n))) {
        FLine.clear();
        FState = TLineState::NulByte;
        return;
    }
    if (FRaw) {
        FLine = QByteArray::fromRawData(p, n);
        return;
    }
    if (FUnrecognised)
        throw EContactFileError(*FUnrecognised);
    if (FPathKind == TPath::ByLine) {
        if (!ToUtf8(FConverter, QByteArrayView(p, n), &FLine))
            FState = TLineState::BadEncoding;
        return;
    }
    // UTF-8 is handed out where it stands: no copy.
    FLine = QByteArray::fromRawData(p, n);
    if (!QByteArrayView(FLine).isValidUtf8()) {
        FLine.clear();
        FState = TLineState::BadEncoding;
    }
}

void TTextInput::SetRaw(bool raw)
{
    if (raw == FRaw)
        return;
    FRaw = raw;
    // A line given back with Unread is handed out again in the new way.
    if (FRepeat && FLastRaw && FState != TLineState::TooLong)
        FinishLine();
}

bool TTextInput::ReadLine()
{
    if (FRepeat) {
        FRepeat = false;
        return FLineNumber > 0;
    }
    if (FBreak == 0) {
        // A file without any LF in its first chunk but with CR breaks its lines with CR.
        while (FBuffer.size() - FStart < kSample && Fill()) {
        }
        const QByteArrayView head = QByteArrayView(FBuffer).sliced(FStart);
        FBreak = !head.contains('\n') && head.contains('\r') ? '\r' : '\n';
    }
    for (;;) {
        const char *begin = FBuffer.constData() + FStart;
        const qsizetype avail = FBuffer.size() - FStart;
        const char *lf = avail > 0 ? static_cast<const char *>(std::memchr(begin, FBreak, std::size_t(avail))) : nullptr;
        if (lf) {
            ++FLineNumber;
            DecodeLine(begin, lf - begin);
            FStart += (lf - begin) + 1;
            return true;
        }
        if (avail > MaxLineBytes) {
            // Kept: the beginning, so that the reader can say what it was.
            ++FLineNumber;
            FLine = QByteArray(begin, kKeptOfLongLine);
            FState = TLineState::TooLong;
            FLastRaw = nullptr;
            FBuffer.clear();
            FStart = 0;
            for (;;) {
                const bool more = Fill();
                const char *end = static_cast<const char *>(std::memchr(FBuffer.constData(), FBreak, std::size_t(FBuffer.size())));
                if (end) {
                    FStart = end - FBuffer.constData() + 1;
                    break;
                }
                FBuffer.clear();
                if (!more)
                    break;
            }
            return true;
        }
        if (!Fill()) {
            if (FBuffer.size() > FStart) {
                ++FLineNumber;
                DecodeLine(FBuffer.constData() + FStart, FBuffer.size() - FStart);
                FStart = FBuffer.size();
                return true;
            }
            return false;
        }
    }
}

TImportProblem TTextInput::Problem() const
{
    switch (FState) {
    case TLineState::Ok:
    case TLineState::NulByte: break;
    case TLineState::BadEncoding: return {.Kind = TImportProblemKind::LineNotReadable, .Name = FEncoding, .Line = FLineNumber};
    case TLineState::TooLong: return {.Kind = TImportProblemKind::LineTooLong, .Line = FLineNumber, .Limit = MaxLineBytes};
    }
    return {.Kind = TImportProblemKind::LineHasNul, .Line = FLineNumber};
}

void TTextInput::RefuseLongLine(const char *kind) const
{
    throw EContactFileError(
        {.Kind = TImportProblemKind::FileLineTooLong, .Name = QLatin1String(kind), .Line = FLineNumber, .Limit = MaxLineBytes});
}

int TTextInput::PeekNextByte() const
{
    if (FStart < FBuffer.size())
        return static_cast<unsigned char>(FBuffer.at(FStart));
    return FEnd ? EndOfFile : NotKnown;
}
