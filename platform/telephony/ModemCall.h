#pragma once

#include "platform/telephony/Tapi.h"
#include "platform/telephony/ModemLink.h"
#include "platform/telephony/ModemSettings.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

// Where a call's messages go: the callback of the application that owns
// the line, queued to the event loop of the thread that registered it.
struct TMessageTarget {
    QPointer<QObject> Receiver; // lives in the registering thread
    LINECALLBACK Callback = nullptr;
    DWORD CallbackInstance = 0;

    void Post(DWORD device, DWORD message, DWORD param1, DWORD param2, DWORD param3) const;
};

// One outgoing voice call placed through a modem that serves as an
// autodialer: the modem dials with the voice suffix ";" and returns to
// command mode, and the person talks on the handset.
//
// Progress: LINE_REPLY for the request once the modem has taken its
// initialisation and the dial command is out, DIALING and PROCEEDING,
// then CONNECTED on the modem's OK (or CONNECT), or BUSY / DISCONNECTED
// with the mode its result code gives. A modem that stays silent ends the
// call as failed. Dropping hangs up and reports DISCONNECTED and IDLE.
class TModemCall : public QObject {
    Q_OBJECT
public:
    TModemCall(HCALL handle, HLINE line, DWORD deviceId, const TModemConfig &config,
               const QByteArray &dialString, const QByteArray &calledAddress, DWORD mediaMode,
               TMessageTarget target, QObject *parent = nullptr);
    ~TModemCall() override;

    // Starts the call from the event loop; its reply carries requestId.
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

private:
    enum class TStep { Waiting, Initialising, Dialing, Connected, Aborting, Guarding, Escaping, HangingUp, Done };

    void Begin();
    void OnAnswered(TModemResult result);
    void OnTimedOut();
    void SendDial();
    void StartHangUp();
    void HangUpCommand();
    void EndHangUp(bool clean);
    void Fail(LONG replyResult, DWORD disconnectMode);
    void Disconnect(DWORD mode);
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
