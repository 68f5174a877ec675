#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

class QSocketNotifier;

// A Hayes modem on a pseudo-terminal. The program opens the slave side
// (PortName) as its serial port; the simulator reads the master side,
// records every byte it receives and answers each command line with the
// result code scripted for it ("OK" unless told otherwise), or not at all.
class TModemSimulator : public QObject {
    Q_OBJECT
public:
    explicit TModemSimulator(QObject *parent = nullptr);
    ~TModemSimulator() override;

    bool IsValid() const { return FMaster >= 0; }
    QString PortName() const { return FPortName; }

    // Answer for command lines starting with prefix (case-insensitive,
    // longest prefix wins); an empty answer means silence.
    void SetAnswer(const QByteArray &prefix, const QByteArray &answer) { FAnswers[prefix.toUpper()] = answer; }
    // Answer nothing at all.
    void SetSilent(bool silent) { FSilent = silent; }
    // Echo every command back, as a modem does after ATE1.
    void SetEcho(bool echo) { FEcho = echo; }

    QByteArray Received() const { return FReceived; }
    void ClearReceived() { FReceived.clear(); }

private:
    void ReadMaster();
    void Answer(const QByteArray &line);
    void Write(const QByteArray &bytes);

    int FMaster = -1;
    int FSlave = -1;
    QString FPortName;
    QSocketNotifier *FNotifier = nullptr;
    QByteArray FReceived;
    QByteArray FLine;
    QMap<QByteArray, QByteArray> FAnswers;
    bool FSilent = false;
    bool FEcho = false;
    bool FDialPending = false;
};
