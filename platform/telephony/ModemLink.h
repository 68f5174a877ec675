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

// The modem's initialisation string as a command: on one line, "AT" first;
// a plain "AT" when the string is empty.
QByteArray ModemInitCommand(const TModemConfig &config);
// The command that turns the modem's caller ID on, in the same form.
QByteArray ModemCallerIdCommand(const TModemConfig &config);

// Whether the modem's port opens and the modem answers "AT" with OK within
// the command timeout; waits in place as CommandAndWait does.
bool ModemAnswers(const TModemConfig &config);

// One open serial port to a modem. Commands are written without waiting;
// each result code the modem sends back arrives as Answered, and a command
// sent with an answer timeout raises TimedOut when nothing final came back
// in time. Only CommandAndWait waits in place, for at most its timeout.
//
// A line longer than any reply a modem gives (noise from a broken modem or
// from a device that is no modem) is not kept: what exceeds MaxReplyLength
// is dropped and counted, and the line it belonged to is ignored.
class TModemLink : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype MaxReplyLength = 256;

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
    // Writes "command<CR>" and waits until the modem gives a final result
    // code or timeoutMs have passed (None). Nothing is emitted for that
    // answer. The wait runs a local event loop, so that windows keep
    // painting, but holds the user's input and the line service's messages
    // back until it ends, as a modal box holds the input.
    TModemResult CommandAndWait(const QByteArray &command, int timeoutMs);

    // Bytes of the line not yet ended, and bytes dropped since Open.
    qsizetype UnfinishedBytes() const { return FPending.size(); }
    qint64 DroppedBytes() const { return FDropped; }

Q_SIGNALS:
    // Each result code the modem sends, awaited or not (RING included),
    // except the answer that CommandAndWait takes.
    void Answered(TModemResult result, const QString &line);
    void TimedOut();
    // Every byte of every write has gone to the port.
    void AllWritten();
    // A whole line that carries no result code and is not the echo of our
    // command (information text, caller ID), within MaxReplyLength.
    void Unsolicited(const QByteArray &line);

private:
    void ReadAvailable();
    void Keep(const char *bytes, qsizetype size);
    void EndLine();

    QSerialPort FPort;
    QTimer FTimer;
    QByteArray FPending;    // the line not yet ended, at most MaxReplyLength bytes
    bool FOverlong = false; // bytes of that line were dropped
    qint64 FDropped = 0;
    QByteArray FLastCommand;
    qint64 FUnwritten = 0;
    bool FWaitingInPlace = false; // inside CommandAndWait
    TModemResult FAnswerInPlace = TModemResult::None;
    class QEventLoop *FWaitLoop = nullptr;
    QString FError;
};
