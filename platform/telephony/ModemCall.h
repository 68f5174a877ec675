#pragma once

#include "platform/telephony/Tapi.h"
#include "platform/telephony/ModemLink.h"
#include "platform/telephony/ModemSettings.h"
#include "platform/telephony/MessageQueue.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

// One outgoing voice call placed through a modem that serves as an
// autodialer: the modem dials with the voice suffix ";" and returns to
// command mode, and the person talks on the handset.
//
// Before the request is accepted, Initialise opens the modem's port and
// waits in place for the modem to take its initialisation: a modem that is
// not there, or does not answer in time, makes lineMakeCall fail at once.
// Progress, from the event loop: LINE_REPLY (success) for the request,
// DIALING, and the dial command is written; PROCEEDING once it has gone to
// the port; then CONNECTED on the modem's OK (or CONNECT), or BUSY /
// DISCONNECTED with the mode its result code gives. A modem that sends
// nothing final in time (silence or noise) ends the call as DISCONNECTED
// (no answer) and is put back on hook. Dropping hangs up and reports
// DISCONNECTED and IDLE; a call dropped before its dial command went out
// gets a failed LINE_REPLY first.
class TModemCall : public QObject {
    Q_OBJECT
public:
    TModemCall(HCALL handle, HLINE line, DWORD deviceId, const TModemConfig &config, const QByteArray &dialString,
               const QByteArray &calledAddress, DWORD mediaMode, TMessageTarget target, QObject *parent = nullptr);
    ~TModemCall() override;

    // Opens the port and initialises the modem, waiting for its answer;
    // false when the port cannot be opened or the modem does not answer OK.
    bool Initialise();
    // Dials from the event loop; the reply carries requestId.
    void Start(DWORD requestId);
    // Hangs up; the outcome arrives as LINE_REPLY for requestId.
    LONG Drop(DWORD requestId);
    // The owner has gone: no more messages; the modem is put on hook and
    // the object deletes itself.
    void Detach();

    HCALL Handle() const { return FHandle; }
    HLINE Line() const { return FLine; }
    DWORD DeviceId() const { return FDeviceId; }
    DWORD MediaMode() const { return FMediaMode; }
    DWORD CallState() const { return FCallState; }
    QByteArray CalledAddress() const { return FCalledAddress; }
    // True while the call holds its modem.
    bool UsesModem() const;

Q_SIGNALS:
    // The call has put the modem on hook and closed its port.
    void ModemReleased();

private:
    enum class TStep { Waiting, Dialing, Connected, Aborting, Guarding, Escaping, HangingUp, Done };

    void OnAnswered(TModemResult result);
    void OnTimedOut();
    void SendDial();
    void StartHangUp();
    void HangUpCommand();
    void EndHangUp(bool clean);
    void Disconnect(DWORD mode);
    void ReportProceeding();
    void ReportState(DWORD state, DWORD detail);
    void Reply(DWORD requestId, LONG result);
    int CommandTimeoutMs() const;

    HCALL FHandle;
    HLINE FLine;
    DWORD FDeviceId;
    TModemConfig FConfig;
    QByteArray FDialString;
    QByteArray FCalledAddress;
    DWORD FMediaMode;
    TMessageTarget FTarget;
    bool FDetached = false;

    TModemLink FLink;
    QTimer FGuard;
    TStep FStep = TStep::Waiting;
    bool FDataMode = false;
    bool FProceedingReported = false;
    bool FOwnerReported = false;
    DWORD FCallState = 0;
    DWORD FMakeRequest = 0;
    DWORD FDropRequest = 0;
};
