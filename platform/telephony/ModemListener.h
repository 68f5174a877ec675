#pragma once

#include "platform/telephony/CallerId.h"
#include "platform/telephony/MessageQueue.h"
#include "platform/telephony/ModemLink.h"
#include "platform/telephony/ModemSettings.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>

// The modem of an open line while no call of ours uses it. Start opens
// the port and, when caller ID is wanted, sends the initialisation string
// and then the caller ID command; a modem that refuses either (or does not
// answer) keeps its line without caller ID, and the line's owner is told
// so with LINE_DEVSPECIFIC (LineCallerIdRefused), once. Then the modem's unsolicited
// lines are read: RING, and the caller ID block in either form.
//
// A RING with no call ringing offers a new one: LINE_APPNEWCALL and
// LINE_CALLSTATE (OFFERING); each RING is counted and reported as
// LINE_LINEDEVSTATE (RINGING, with the count so far), as many RINGs as
// arrive together in one report; a caller ID block is put into the call
// information and reported with LINE_CALLINFO (CALLERID), or offers the
// call itself when it comes before the first RING. When no RING has come
// for RingGapMs, the call is IDLE. The records of ended calls stay until
// deallocated, the oldest dropped beyond a few.
//
// Stop closes the port for a call of ours; a call ringing then is IDLE.
class TModemListener : public QObject, public TOfferedCalls {
    Q_OBJECT
public:
    static constexpr int RingGapMs = 8000;

    TModemListener(HLINE line, TMessageTarget target, std::function<HCALL()> newHandle, QObject *parent = nullptr);
    ~TModemListener() override;

    // Opens and sets up the modem unless it is open already.
    void Start(const TModemConfig &config);
    void Stop();
    bool IsOpen() const { return FLink.IsOpen(); }

    // Whether caller ID was asked for and the modem took the command.
    bool CallerIdOn() const { return FCallerIdOn; }

private:
    enum class TSetup { Closed, Initialising, TurningOnCallerId, Listening };

    void OnAnswered(TModemResult result);
    void OnTimedOut();
    void OnUnsolicited(const QByteArray &line);
    void Ring();
    HCALL Offer();
    void CommitCallerId();
    void EndOffer();
    void RefuseCallerId();

    HLINE FLine;
    TMessageTarget FTarget;
    std::function<HCALL()> FNewHandle;
    TModemConfig FConfig;
    TModemLink FLink;
    TSetup FSetup = TSetup::Closed;
    bool FCallerIdOn = false;
    bool FRefusalReported = false;

    TCallerIdBlock FBlock;
    QTimer FBlockEnd;   // a block's lines have stopped coming
    QTimer FRingGap;    // no RING for RingGapMs: the call has ended
    QTimer FRingReport; // reports the RINGs read together
    QTimer FRetry;      // a port that would not open is tried again
    HCALL FRinging = 0;
};
