#include "platform/telephony/ModemLink.h"

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

TModemLink::TModemLink(QObject *parent)
    : QObject(parent)
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
    FPort.setPortName(config.Port);
    if (!FPort.open(QIODevice::ReadWrite)) {
        FError = FPort.errorString();
        return false;
    }
    // A pseudo-terminal or a USB adapter may not know some of these
    // settings; a port that refuses one of them still talks.
    const bool ok = FPort.setBaudRate(config.Speed) && FPort.setDataBits(QSerialPort::Data8)
        && FPort.setParity(QSerialPort::NoParity) && FPort.setStopBits(QSerialPort::OneStop)
        && FPort.setFlowControl(QSerialPort::NoFlowControl);
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

void TModemLink::ReadAvailable()
{
    FPending += FPort.readAll();
    for (;;) {
        qsizetype end = -1;
        for (qsizetype i = 0; i < FPending.size(); ++i) {
            if (FPending.at(i) == '\r' || FPending.at(i) == '\n') {
                end = i;
                break;
            }
        }
        if (end < 0)
            break;
        const QByteArray line = FPending.left(end).trimmed();
        FPending.remove(0, end + 1);
        if (line.isEmpty() || line == FLastCommand)
            continue; // echo of our own command
        const TModemResult result = ModemResultOf(QString::fromLatin1(line));
        if (result == TModemResult::None)
            continue;
        if (result != TModemResult::Ring)
            FTimer.stop();
        Q_EMIT Answered(result, QString::fromLatin1(line));
    }
}
