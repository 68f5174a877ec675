#include "contacts/Charset.h"

#include "platform/core/Exception.h"

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
    const int32_t n = ucnv_toAlgorithmic(UCNV_UTF8, converter, utf8->data(), int32_t(utf8->size()), bytes.data(),
                                         int32_t(bytes.size()), &error);
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
        throw Exception(QStringLiteral("the file's encoding cannot be recognised; name it with --encoding"));
    const QString name = QString::fromLatin1(found);
    if (name == QLatin1String("UTF-8") || name == QLatin1String("UTF-16LE") || name == QLatin1String("UTF-16BE"))
        return name;
    static const char *const latin[] = {"ISO-8859-1", "ISO-8859-2", "ISO-8859-9", "windows-1250", "windows-1252",
                                        "windows-1254"};
    for (const char *l : latin)
        if (name == QLatin1String(l))
            return QStringLiteral("windows-1254");
    throw Exception(QStringLiteral("the file's encoding looks like %1, which is not one the import reads on its "
                                   "own; if it is right, name it with --encoding")
                        .arg(name));
}
