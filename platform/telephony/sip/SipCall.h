#pragma once

#include "platform/telephony/MessageQueue.h"
#include "platform/telephony/Tapi.h"
#include "platform/telephony/sip/SipAgent.h"

#include <QObject>
#include <QTimer>

// One outgoing call placed through the user's desk phone: the program
// calls its own extension asking the desk phone to answer at once
// (Call-Info answer-after=0 and the Alert-Info form; a phone that does
// not honour them rings and the user lifts the handset), with an offer
// that carries no media (a=inactive). Once the desk phone has answered,
// it is asked to call the number (REFER), and the transfer is followed
// through its NOTIFYs until their final status; then the program hangs up
// its own leg (BYE) and the call belongs to the desk phone.
//
// Messages, from the event loop: LINE_REPLY and DIALING at once (the desk
// phone is being called); PROCEEDING once it has answered and the number
// is dialled; RINGBACK while the number rings; CONNECTED, BUSY (486, 600)
// or DISCONNECTED (declined 603: REJECT; no answer in time: NOANSWER;
// else UNAVAIL) for the transfer's outcome. A desk phone that is busy is
// BUSY, one not registered or not answering within the dial timeout is
// DISCONNECTED (UNREACHABLE, NOANSWER). As with a modem, the call stays in
// its last state until it is dropped: then DISCONNECTED (NORMAL) unless it
// is already, and IDLE. Dropping before the desk phone answers cancels the
// call, and the number is never dialled.
class TSipCall : public QObject, public TSipHandleOwner {
    Q_OBJECT
public:
    TSipCall(HCALL handle, HLINE line, TSipAgent *agent, const QString &number, TMessageTarget target, QObject *parent = nullptr);
    ~TSipCall() override;

    void Start(DWORD requestId);
    LONG Drop(DWORD requestId);
    // The owner has gone: no more messages; the call ends and the object
    // deletes itself.
    void Detach();

    HCALL Handle() const { return FHandle; }
    HLINE Line() const { return FLine; }
    DWORD CallState() const { return FCallState; }
    QByteArray CalledAddress() const { return FNumber.toUtf8(); }

    void OnSipEvent(int event, int status, const char *phrase, nua_handle_s *handle, const sip_s *sip) override;

private:
    enum class TStep { Calling, Transferring, Done };

    void OnInviteAnswer(int status, const sip_s *sip);
    void OnTransferStatus(int status);
    void Finish(DWORD state, DWORD detail);
    void Report(DWORD state, DWORD detail);
    void HangUp();

    HCALL FHandle;
    HLINE FLine;
    TSipAgent *FAgent;
    QString FNumber;
    TMessageTarget FTarget;
    nua_handle_s *FNua = nullptr;
    TStep FStep = TStep::Calling;
    bool FAnswered = false;
    bool FDetached = false;
    int FAuthTries = 0;
    DWORD FCallState = 0;
    QTimer FGuard;
};
