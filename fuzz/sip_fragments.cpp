// What the program reads out of SIP messages itself: the status line of a
// transfer's message/sipfrag NOTIFY body, on any bytes. A status is a
// number from 100 to 699 and only what the body's first line says.
#include "fuzz/FuzzSupport.h"

#include "platform/telephony/sip/SipText.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    const int status = SipfragStatus(body);
    // The same rule said as a pattern: the first line is a status line.
    static const QRegularExpression statusLine(
        QStringLiteral("^[ \\t\\r\\v\\f]*SIP/2\\.0 ([1-6][0-9][0-9])(?: [^\\n]*)?[ \\t\\r\\v\\f]*$"));
    const qsizetype end = body.indexOf('\n');
    const QRegularExpressionMatch m = statusLine.match(QString::fromLatin1(end < 0 ? body : body.left(end)));
    FUZZ_CHECK(status == (m.hasMatch() ? m.captured(1).toInt() : 0), QStringLiteral("a status other than the first line's"));
    FUZZ_CHECK(status == 0 || (status >= 100 && status <= 699), QStringLiteral("a status out of range"));
    if (status != 0) {
        FUZZ_CHECK(body.startsWith("SIP/2.0 "), QStringLiteral("a status without a status line"));
        FUZZ_CHECK(body.mid(8, 3).toInt() == status, QStringLiteral("a status other than the line's"));
    }
    return 0;
}
