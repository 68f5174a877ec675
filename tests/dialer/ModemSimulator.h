#pragma once

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QString>
#include <atomic>
#include <thread>

// A Hayes modem on a pseudo-terminal. The program opens the slave side
// (PortName) as its serial port; the simulator serves the master side on a
// thread of its own (so that the program may wait for an answer without
// returning to its event loop), records every byte it receives and answers
// each command line with the result code scripted for it ("OK" unless told
// otherwise), or not at all.
class TModemSimulator {
public:
    TModemSimulator();
    ~TModemSimulator();
    TModemSimulator(const TModemSimulator &) = delete;
    TModemSimulator &operator=(const TModemSimulator &) = delete;

    bool IsValid() const { return FMaster >= 0; }
    QString PortName() const { return FPortName; }
    // Makes this modem, on its port with the other settings as they come,
    // the program's one modem (Telefon.ini).
    void Install() const;

    // Answer for command lines starting with prefix (case-insensitive,
    // longest prefix wins); an empty answer means silence.
    void SetAnswer(const QByteArray &prefix, const QByteArray &answer);
    // Answer nothing at all.
    void SetSilent(bool silent);
    // Echo every command back, as a modem does after ATE1.
    void SetEcho(bool echo);
    // A broken modem: after a command line starting with prefix, sends
    // bytes bytes of noise without a line end instead of an answer.
    void SetFlood(const QByteArray &prefix, qint64 bytes);
    // Bytes of noise sent so far.
    qint64 Flooded() const { return FFlooded; }

    // Sends bytes unasked, as a modem reports RING and caller ID; they go
    // out from the simulator's thread as the program reads them.
    void Send(const QByteArray &bytes);
    // A caller ID message of type (0x04 single, 0x80 multiple data) with
    // body, its length and checksum added, as hex digits; a checksum that
    // is off by skew makes a damaged one.
    static QByteArray CallerIdMessage(quint8 type, const QByteArray &body, quint8 skew = 0);
    // Bytes given to Send that have not gone out yet.
    qsizetype Unsent() const;

    QByteArray Received() const;
    void ClearReceived();

private:
    void Serve();
    void Answer(const QByteArray &line);
    void Write(const QByteArray &bytes);
    void WriteNoise();
    void WriteUnasked();

    int FMaster = -1;
    int FSlave = -1;
    QString FPortName;
    std::thread FThread;
    std::atomic<bool> FStop{false};
    std::atomic<qint64> FFlooded{0};

    mutable QMutex FMutex; // guards everything below
    QByteArray FReceived;
    QByteArray FLine;
    QMap<QByteArray, QByteArray> FAnswers;
    QByteArray FFloodPrefix;
    qint64 FFloodBytes = 0;
    qint64 FNoiseLeft = 0;
    QByteArray FUnasked;
    bool FSilent = false;
    bool FEcho = false;
    bool FDialPending = false;
};
