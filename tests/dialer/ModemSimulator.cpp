#include "dialer/ModemSimulator.h"

#include "support/RawPty.h"
#include "platform/telephony/ModemSettings.h"

#include <QMutexLocker>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

TModemSimulator::TModemSimulator()
{
    if (!OpenRawPty(&FMaster, &FSlave, &FPortName))
        return;
    FThread = std::thread([this]() { Serve(); });
}

TModemSimulator::~TModemSimulator()
{
    FStop = true;
    if (FThread.joinable())
        FThread.join();
    if (FMaster >= 0)
        ::close(FMaster);
    if (FSlave >= 0)
        ::close(FSlave);
}

void TModemSimulator::SetAnswer(const QByteArray &prefix, const QByteArray &answer)
{
    QMutexLocker lock(&FMutex);
    FAnswers[prefix.toUpper()] = answer;
}

void TModemSimulator::SetSilent(bool silent)
{
    QMutexLocker lock(&FMutex);
    FSilent = silent;
}

void TModemSimulator::SetEcho(bool echo)
{
    QMutexLocker lock(&FMutex);
    FEcho = echo;
}

void TModemSimulator::SetFlood(const QByteArray &prefix, qint64 bytes)
{
    QMutexLocker lock(&FMutex);
    FFloodPrefix = bytes > 0 ? prefix.toUpper() : QByteArray();
    FFloodBytes = bytes;
}

void TModemSimulator::Send(const QByteArray &bytes)
{
    QMutexLocker lock(&FMutex);
    FUnasked += bytes;
}

qsizetype TModemSimulator::Unsent() const
{
    QMutexLocker lock(&FMutex);
    return FUnasked.size();
}

QByteArray TModemSimulator::CallerIdMessage(quint8 type, const QByteArray &body, quint8 skew)
{
    QByteArray message;
    message.append(char(type)).append(char(body.size())).append(body);
    quint8 sum = 0;
    for (char c : message)
        sum = quint8(sum + quint8(c));
    message.append(char(quint8(-sum) + skew));
    return message.toHex().toUpper();
}

QByteArray TModemSimulator::Received() const
{
    QMutexLocker lock(&FMutex);
    return FReceived;
}

void TModemSimulator::ClearReceived()
{
    QMutexLocker lock(&FMutex);
    FReceived.clear();
}

void TModemSimulator::Serve()
{
    while (!FStop) {
        short events = POLLIN;
        {
            QMutexLocker lock(&FMutex);
            if (FNoiseLeft > 0 || !FUnasked.isEmpty())
                events |= POLLOUT;
        }
        pollfd p{FMaster, events, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        if (p.revents & POLLOUT) {
            WriteNoise();
            WriteUnasked();
        }
        if (!(p.revents & POLLIN))
            continue;
        char buffer[512];
        const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        QMutexLocker lock(&FMutex);
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
    if (!FFloodPrefix.isEmpty() && command.startsWith(FFloodPrefix)) {
        FNoiseLeft = FFloodBytes;
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
    // A program that does not read gets no answer: give up after a second.
    qsizetype done = 0;
    int waits = 0;
    while (done < bytes.size() && !FStop) {
        const ssize_t n = ::write(FMaster, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EAGAIN && ++waits < 50) {
                pollfd p{FMaster, POLLOUT, 0};
                ::poll(&p, 1, 20);
                continue;
            }
            if (errno == EINTR)
                continue;
            return;
        }
        done += n;
    }
}

void TModemSimulator::WriteNoise()
{
    static const QByteArray noise(4096, 'x');
    QMutexLocker lock(&FMutex);
    const ssize_t n = ::write(FMaster, noise.constData(), size_t(qMin<qint64>(noise.size(), FNoiseLeft)));
    if (n > 0) {
        FNoiseLeft -= n;
        FFlooded += n;
    }
}

void TModemSimulator::WriteUnasked()
{
    QMutexLocker lock(&FMutex);
    if (FUnasked.isEmpty())
        return;
    const ssize_t n = ::write(FMaster, FUnasked.constData(), size_t(qMin<qsizetype>(FUnasked.size(), 4096)));
    if (n > 0)
        FUnasked.remove(0, n);
}

void TModemSimulator::Install() const
{
    TModemConfig config;
    config.Port = PortName();
    SaveModems({config});
}
