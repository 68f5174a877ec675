// What the program reads out of SIP messages itself, on any bytes: the
// status line of a transfer's message/sipfrag NOTIFY body (a status is a
// number from 100 to 699 and only what the body's first line says), and
// the caller from an identity's display name and URI (the input split as
// SplitInput does): a number is digits with at most a leading "+", 30
// characters at most; a withheld caller has neither number nor name; a
// name is readable text of 64 characters at most.
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

    const TTwoParts parts = SplitInput(data, size);
    const TCallerId caller = SipCaller(parts.First, parts.Second);
    static const QRegularExpression number(QStringLiteral("^\\+?[0-9]{1,30}$"));
    if (caller.Kind == TCallerId::TKind::Number)
        FUZZ_CHECK(number.match(caller.Number).hasMatch() && caller.Number.size() <= 30, QStringLiteral("a number that is none"));
    else
        FUZZ_CHECK(caller.Number.isEmpty(), QStringLiteral("a number beside another kind"));
    if (caller.Kind == TCallerId::TKind::Withheld)
        FUZZ_CHECK(caller.Name.isEmpty(), QStringLiteral("a name for a withheld caller"));
    FUZZ_CHECK(caller.Kind == TCallerId::TKind::Number || caller.Kind == TCallerId::TKind::Withheld
                   || caller.Kind == TCallerId::TKind::Unavailable,
               QStringLiteral("another kind"));
    FUZZ_CHECK(caller.Name.size() <= 64, QStringLiteral("a name too long"));
    for (QChar c : caller.Name)
        FUZZ_CHECK(c.category() != QChar::Other_Control, QStringLiteral("a control character in a name"));
    return 0;
}
