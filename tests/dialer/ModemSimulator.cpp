#include "dialer/ModemSimulator.h"

#include "support/RawPty.h"

#include <QSocketNotifier>
#include <cerrno>
#include <unistd.h>

TModemSimulator::TModemSimulator(QObject *parent)
    : QObject(parent)
{
    if (!OpenRawPty(&FMaster, &FSlave, &FPortName))
        return;
    FNotifier = new QSocketNotifier(FMaster, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TModemSimulator::ReadMaster);
}

TModemSimulator::~TModemSimulator()
{
    delete FNotifier;
    if (FMaster >= 0)
        ::close(FMaster);
    if (FSlave >= 0)
        ::close(FSlave);
}

void TModemSimulator::ReadMaster()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            FReceived.append(c);
            if (c == '\r') {
                const QByteArray line = FLine;
                FLine.clear();
                Answer(line);
            } else {
                FLine.append(c);
                if (FLine == "+++") {
                    FLine.clear();
                    if (!FSilent)
                        Write("\r\nOK\r\n");
                }
            }
        }
    }
}

void TModemSimulator::Answer(const QByteArray &line)
{
    if (FSilent)
        return;
    if (FEcho)
        Write(line + '\r');
    const QByteArray command = line.trimmed().toUpper();
    if (command.isEmpty()) {
        // A character while dialling aborts the dial.
        if (FDialPending)
            Write("\r\nNO CARRIER\r\n");
        FDialPending = false;
        return;
    }
    QByteArray answer = "OK";
    qsizetype best = -1;
    for (auto it = FAnswers.cbegin(); it != FAnswers.cend(); ++it) {
        if (command.startsWith(it.key()) && it.key().size() > best) {
            best = it.key().size();
            answer = it.value();
        }
    }
    FDialPending = command.startsWith("ATD") && answer.isEmpty();
    if (!answer.isEmpty())
        Write("\r\n" + answer + "\r\n");
}

void TModemSimulator::Write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(FMaster, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return;
        }
        done += n;
    }
}
