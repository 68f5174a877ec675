#include "contacts/Charset.h"

#include "platform/core/Exception.h"

#include <algorithm>
#include <memory>
#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>

namespace {

struct TConverterCloser {
    void operator()(UConverter *c) const { ucnv_close(c); }
};
struct TDetectorCloser {
    void operator()(UCharsetDetector *d) const { ucsdet_close(d); }
};

} // namespace

bool CharsetKnown(const QString &name)
{
    UErrorCode error = U_ZERO_ERROR;
    std::unique_ptr<UConverter, TConverterCloser> c(ucnv_open(name.toLatin1().constData(), &error));
    return U_SUCCESS(error) && c;
}

bool ToUtf8(UConverter *converter, QByteArrayView bytes, QByteArray *utf8)
{
    UErrorCode error = U_ZERO_ERROR;
    ucnv_reset(converter);
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    utf8->resize(bytes.size() * 4 + 4);
    const int32_t n =
        ucnv_toAlgorithmic(UCNV_UTF8, converter, utf8->data(), int32_t(utf8->size()), bytes.data(), int32_t(bytes.size()), &error);
    if (U_FAILURE(error)) {
        utf8->clear();
        return false;
    }
    utf8->resize(n);
    return true;
}

bool ToUtf8(const QString &charset, const QByteArray &bytes, QByteArray *utf8)
{
    utf8->clear();
    UErrorCode error = U_ZERO_ERROR;
    std::unique_ptr<UConverter, TConverterCloser> c(ucnv_open(charset.toLatin1().constData(), &error));
    return U_SUCCESS(error) && ToUtf8(c.get(), bytes, utf8);
}

QString DetectCharset(const QByteArray &sample)
{
    // UTF-16 without a byte order mark: text of Latin letters has a NUL
    // byte in every other place, which no other encoding read here has.
    qsizetype zeros[2] = {0, 0};
    const qsizetype pairs = std::min<qsizetype>(sample.size(), 4096) / 2;
    for (qsizetype i = 0; i < pairs * 2; ++i)
        zeros[i % 2] += sample.at(i) == '\0';
    if (pairs >= 2 && zeros[1] * 10 >= pairs * 6 && zeros[0] * 20 <= pairs)
        return QStringLiteral("UTF-16LE");
    if (pairs >= 2 && zeros[0] * 10 >= pairs * 6 && zeros[1] * 20 <= pairs)
        return QStringLiteral("UTF-16BE");

    bool ascii = true;
    for (const char c : sample)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return QStringLiteral("UTF-8");

    UErrorCode error = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, TDetectorCloser> detector(ucsdet_open(&error));
    ucsdet_setText(detector.get(), sample.constData(), int32_t(sample.size()), &error);
    const UCharsetMatch *match = ucsdet_detect(detector.get(), &error);
    const char *found = match ? ucsdet_getName(match, &error) : nullptr;
    if (U_FAILURE(error) || !found)
        throw EContactFileError({.Kind = TImportProblemKind::EncodingNotRecognised});
    const QString name = QString::fromLatin1(found);
    if (name == QLatin1String("UTF-8") || name == QLatin1String("UTF-16LE") || name == QLatin1String("UTF-16BE"))
        return name;
    static const char *const latin[] = {"ISO-8859-1", "ISO-8859-2", "ISO-8859-9", "windows-1250", "windows-1252", "windows-1254"};
    for (const char *l : latin)
        if (name == QLatin1String(l))
            return QStringLiteral("windows-1254");
    // The East Asian multi-byte encodings leave little doubt when the
    // detector is sure of them: their byte pairs are not Latin text.
    static const char *const eastAsian[] = {"Shift_JIS", "EUC-JP", "EUC-KR", "GB18030", "Big5"};
    const int32_t confidence = ucsdet_getConfidence(match, &error);
    for (const char *e : eastAsian)
        if (name == QLatin1String(e) && U_SUCCESS(error) && confidence >= 70)
            return name;
    throw EContactFileError({.Kind = TImportProblemKind::EncodingNotRead, .Name = name});
}

bool TextToUtf8(const QString &charset, QByteArray &text, TImportProblem *problem)
{
    const auto fail = [problem](TImportProblemKind kind, const QString &name = QString()) {
        problem->Kind = kind;
        problem->Text = name;
        return false;
    };
    QString name = charset;
    if (name.isEmpty()) {
        try {
            name = QByteArrayView(text).isValidUtf8() ? QStringLiteral("UTF-8") : DetectCharset(text);
        } catch (const Exception &) {
            return fail(TImportProblemKind::ValueCharsetNotRecognised);
        }
    }
    QByteArray utf8;
    if (name.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0) {
        if (!QByteArrayView(text).isValidUtf8())
            return fail(TImportProblemKind::ValueNotReadable, QStringLiteral("UTF-8"));
        utf8 = text;
    } else if (!CharsetKnown(name)) {
        return fail(TImportProblemKind::ValueCharsetUnknown, name.left(40));
    } else if (!ToUtf8(name, text, &utf8)) {
        return fail(TImportProblemKind::ValueNotReadable, name);
    }
    if (utf8.contains('\0'))
        return fail(TImportProblemKind::ValueHasNul);
    text = utf8;
    return true;
}
