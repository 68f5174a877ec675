// Any bytes from the serial line into the modem driver. The driver reads a
// pseudo-terminal as it would read a modem; after the input comes one more
// result line, which it must still understand, however much garbage came
// before. Every other line goes through the caller ID reader, which must
// never make a number of what is not one.
//
// Input: the first byte repeats the rest (a modem that floods the line)
// when it is 0xF8 or above, up to 4 MB in all; otherwise it is skipped.
#include "fuzz/FuzzSupport.h"

#include "platform/telephony/CallerId.h"
#include "platform/telephony/ModemLink.h"
#include "support/RawPty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

struct TLine {
    int Master = -1;
    int Slave = -1; // kept open to see how much the driver has not read yet
    QString Name;

    TLine() { FUZZ_CHECK(OpenRawPty(&Master, &Slave, &Name), QStringLiteral("no pseudo-terminal")); }
    int Unread() const
    {
        int n = 0;
        ioctl(Slave, FIONREAD, &n);
        return n;
    }
    void DrainMaster() const
    {
        char sink[4096];
        while (read(Master, sink, sizeof sink) > 0) {
        }
    }
};

QByteArray LineBytes(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return {};
    QByteArray body(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] >= 0xF8 && !body.isEmpty()) {
        const qsizetype times = qsizetype(1) << (2 * (data[0] - 0xF8));
        body = body.repeated(std::min(times, (4 << 20) / body.size() + 1));
    }
    return body;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    EnsureApplication();
    static TLine line;
    line.DrainMaster();

    TModemLink link;
    static const QString last = QStringLiteral("CONNECT 31337-END");
    QString lastSeen;
    QObject::connect(&link, &TModemLink::Answered, [&](TModemResult, const QString &text) { lastSeen = text; });
    TCallerIdBlock callerId;
    QObject::connect(&link, &TModemLink::Unsolicited, [&callerId](const QByteArray &text) {
        FUZZ_CHECK(text.size() <= TModemLink::MaxReplyLength, QStringLiteral("an unbounded line"));
        if (!callerId.Take(text))
            return;
        const TCallerId &id = callerId.Result();
        const bool number = id.Kind == TCallerId::TKind::Number;
        FUZZ_CHECK(number != id.Number.isEmpty(), QStringLiteral("a number without its kind, or the other way"));
        for (QChar c : id.Number)
            FUZZ_CHECK(QStringLiteral("0123456789+*#-() ").contains(c), QStringLiteral("a number with ") + c);
    });
    TModemConfig config;
    config.Port = line.Name;
    FUZZ_CHECK(link.Open(config), link.ErrorText());

    const QByteArray bytes = LineBytes(data, size) + "\r" + last.toLatin1() + "\r";
    qsizetype written = 0;
    QElapsedTimer clock;
    clock.start();
    while (written < bytes.size() || line.Unread() > 0 || lastSeen != last) {
        if (written < bytes.size()) {
            const ssize_t n =
                write(line.Master, bytes.constData() + written, std::size_t(std::min<qsizetype>(bytes.size() - written, 4096)));
            if (n > 0)
                written += n;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        line.DrainMaster();
        FUZZ_CHECK(clock.elapsed() < 60000, QStringLiteral("the driver did not take the modem's replies"));
    }
    FUZZ_CHECK(written == bytes.size(), QStringLiteral("not all bytes reached the line"));
    link.Close();
    return 0;
}
