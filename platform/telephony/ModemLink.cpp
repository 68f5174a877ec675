#include "platform/telephony/ModemLink.h"

#include "platform/telephony/MessageQueue.h"

#include <QEventLoop>
#include <algorithm>

TModemResult ModemResultOf(const QString &line)
{
    const QString l = line.trimmed().toUpper();
    if (l == u"OK")
        return TModemResult::Ok;
    if (l == u"CONNECT" || l.startsWith(u"CONNECT "))
        return TModemResult::Connect;
    if (l == u"RING")
        return TModemResult::Ring;
    if (l == u"NO CARRIER")
        return TModemResult::NoCarrier;
    if (l == u"ERROR")
        return TModemResult::Error;
    if (l == u"NO DIALTONE" || l == u"NO DIAL TONE")
        return TModemResult::NoDialtone;
    if (l == u"BUSY")
        return TModemResult::Busy;
    if (l == u"NO ANSWER")
        return TModemResult::NoAnswer;
    return TModemResult::None;
}

int ModemCommandTimeoutMs(const TModemConfig &config)
{
    return qMin(config.DialTimeout, 5) * 1000;
}

namespace {

QByteArray AsCommand(const QString &text, const QString &fallback)
{
    QByteArray command = text.toLatin1().trimmed();
    command.replace('\r', "").replace('\n', "");
    if (command.isEmpty())
        command = fallback.toLatin1();
    else if (!command.toUpper().startsWith("AT"))
        command.prepend("AT");
    return command;
}

} // namespace

QByteArray ModemInitCommand(const TModemConfig &config)
{
    return AsCommand(config.InitString, QStringLiteral("AT"));
}

QByteArray ModemCallerIdCommand(const TModemConfig &config)
{
    return AsCommand(config.CallerIdCommand, TModemConfig().CallerIdCommand);
}

bool ModemAnswers(const TModemConfig &config)
{
    TModemLink link;
    return link.Open(config) && link.CommandAndWait(QByteArrayLiteral("AT"), ModemCommandTimeoutMs(config)) == TModemResult::Ok;
}

TModemLink::TModemLink(QObject *parent) : QObject(parent)
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, &TModemLink::TimedOut);
    connect(&FPort, &QSerialPort::readyRead, this, &TModemLink::ReadAvailable);
    connect(&FPort, &QSerialPort::bytesWritten, this, [this](qint64 n) {
        FUnwritten -= n;
        if (FUnwritten <= 0) {
            FUnwritten = 0;
            Q_EMIT AllWritten();
        }
    });
}

TModemLink::~TModemLink()
{
    Close();
}

bool TModemLink::Open(const TModemConfig &config)
{
    Close();
    FPending.clear();
    FOverlong = false;
    FDropped = 0;
    FPort.setPortName(config.Port);
    if (!FPort.open(QIODevice::ReadWrite)) {
        FError = FPort.errorString();
        return false;
    }
    // A pseudo-terminal or a USB adapter may not know some of these
    // settings; a port that refuses one of them still talks.
    const bool ok = FPort.setBaudRate(config.Speed) && FPort.setDataBits(QSerialPort::Data8) && FPort.setParity(QSerialPort::NoParity)
        && FPort.setStopBits(QSerialPort::OneStop) && FPort.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok && FPort.error() != QSerialPort::UnsupportedOperationError) {
        FError = FPort.errorString();
        FPort.close();
        return false;
    }
    FPort.clearError();
    FPort.clear();
    return true;
}

void TModemLink::Close()
{
    FTimer.stop();
    if (FWaitLoop)
        FWaitLoop->quit();
    FUnwritten = 0;
    if (FPort.isOpen())
        FPort.close();
}

void TModemLink::Command(const QByteArray &command, int timeoutMs)
{
    FLastCommand = command;
    Send(command + '\r', timeoutMs);
}

void TModemLink::Send(const QByteArray &bytes, int timeoutMs)
{
    if (timeoutMs > 0)
        FTimer.start(timeoutMs);
    else
        FTimer.stop();
    if (!FPort.isOpen())
        return; // the timer reports the silence
    FUnwritten += bytes.size();
    FPort.write(bytes);
}

TModemResult TModemLink::CommandAndWait(const QByteArray &command, int timeoutMs)
{
    FTimer.stop();
    if (!FPort.isOpen())
        return TModemResult::None;
    const TMessageHold hold;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    // A modem unplugged meanwhile answers nothing more.
    connect(&FPort, &QSerialPort::errorOccurred, &loop, [&loop](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError)
            loop.quit();
    });
    FLastCommand = command;
    FAnswerInPlace = TModemResult::None;
    FWaitingInPlace = true;
    FWaitLoop = &loop;
    FUnwritten += command.size() + 1;
    FPort.write(command + '\r');
    deadline.start(timeoutMs);
    // Reading hands the bytes to ReadAvailable, which ends the loop on the
    // first final result code.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    FWaitLoop = nullptr;
    FWaitingInPlace = false;
    return FAnswerInPlace;
}

void TModemLink::ReadAvailable()
{
    // Only the new bytes are looked at; the unfinished line is bounded.
    const QByteArray bytes = FPort.readAll();
    const char *at = bytes.constData();
    const char *const end = at + bytes.size();
    while (at != end) {
        const char *stop = std::find_if(at, end, [](char c) { return c == '\r' || c == '\n'; });
        Keep(at, stop - at);
        if (stop == end)
            break;
        EndLine();
        at = stop + 1;
    }
}

void TModemLink::Keep(const char *bytes, qsizetype size)
{
    const qsizetype room = MaxReplyLength - FPending.size();
    if (size > room) {
        FDropped += size - room;
        FOverlong = true;
        size = room;
    }
    FPending.append(bytes, size);
}

void TModemLink::EndLine()
{
    const QByteArray line = FPending.trimmed();
    const bool overlong = FOverlong;
    FPending.clear();
    FOverlong = false;
    if (overlong || line.isEmpty() || line == FLastCommand)
        return; // noise, or the echo of our own command
    const TModemResult result = ModemResultOf(QString::fromLatin1(line));
    if (FWaitingInPlace) {
        if (result != TModemResult::None && result != TModemResult::Ring && FAnswerInPlace == TModemResult::None) {
            FAnswerInPlace = result;
            if (FWaitLoop)
                FWaitLoop->quit();
        }
        return;
    }
    if (result == TModemResult::None) {
        Q_EMIT Unsolicited(line);
        return;
    }
    if (result != TModemResult::Ring)
        FTimer.stop();
    Q_EMIT Answered(result, QString::fromLatin1(line));
}
