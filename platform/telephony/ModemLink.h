#pragma once

#include "platform/telephony/ModemSettings.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

// Final result codes of a Hayes/V.250 modem in verbose form.
enum class TModemResult { None, Ok, Connect, Ring, NoCarrier, Error, NoDialtone, Busy, NoAnswer };

// The result code a line from the modem carries; None for anything else
// (an echoed command, information text).
TModemResult ModemResultOf(const QString &line);

// How long a command other than dialling may take to be answered: the
// modem's answer timeout, at most five seconds.
int ModemCommandTimeoutMs(const TModemConfig &config);

// One open serial port to a modem. Commands are written without waiting;
// every line the modem sends back arrives as LineReceived, and a command
// sent with an answer timeout raises TimedOut when nothing final came back
// in time. Nothing here blocks the thread.
class TModemLink : public QObject {
    Q_OBJECT
public:
    explicit TModemLink(QObject *parent = nullptr);
    ~TModemLink() override;

    // Opens the modem's port at its speed, 8 data bits, no parity, one
    // stop bit, no flow control. Returns false with ErrorText set.
    bool Open(const TModemConfig &config);
    void Close();
    bool IsOpen() const { return FPort.isOpen(); }
    QString ErrorText() const { return FError; }

    // Writes "command<CR>" and waits up to timeoutMs for a final result
    // code (Answered) or for nothing (TimedOut).
    void Command(const QByteArray &command, int timeoutMs);
    // Writes bytes as they are, and waits as Command does when timeoutMs > 0.
    void Send(const QByteArray &bytes, int timeoutMs);
    // Stops waiting for an answer.
    void StopWaiting() { FTimer.stop(); }

Q_SIGNALS:
    // A final result code, or an unsolicited one while nothing is awaited.
    void Answered(TModemResult result, const QString &line);
    void TimedOut();
    // Every byte of every write has gone to the port.
    void AllWritten();

private:
    void ReadAvailable();

    QSerialPort FPort;
    QTimer FTimer;
    QByteArray FPending;
    QByteArray FLastCommand;
    qint64 FUnwritten = 0;
    QString FError;
};
