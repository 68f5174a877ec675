#pragma once

#include "platform/telephony/CallerId.h"
#include "platform/telephony/MessageQueue.h"
#include "platform/telephony/sip/SipAgent.h"

#include <QObject>
#include <functional>
#include <map>

// The calls the server offers to the user's extension, as a line opened to
// watch them sees them. The server offers each call to every device of the
// extension; the program only says it rings (180) and never answers, so
// the desk phone can: the server cancels the program's part when a device
// has answered (Reason SIP;cause=200: answered) or when the caller gives up
// (missed).
//
// Messages: LINE_APPNEWCALL and LINE_CALLSTATE (OFFERING), LINE_CALLINFO
// (CALLERID) with the caller from P-Asserted-Identity or From, and
// LINE_LINEDEVSTATE (RINGING, 1); at the end LINE_CALLSTATE DISCONNECTED
// (PICKUP: answered on another device; NOANSWER: missed) and IDLE. The
// records of ended calls stay until deallocated, the oldest dropped beyond
// a few.
class TSipListener : public QObject, public TOfferedCalls, public TSipHandleOwner {
    Q_OBJECT
public:
    TSipListener(HLINE line, TMessageTarget target, std::function<HCALL()> newHandle, QObject *parent = nullptr);
    ~TSipListener() override;

    // Takes the offered call on handle: it rings from now on.
    void Offer(nua_handle_s *handle, const sip_s *sip);
    // Ends every call that rings, as missed, and lets go of their handles
    // (the registration they came with ends).
    void EndAll();

    void OnSipEvent(int event, int status, const char *phrase, nua_handle_s *handle, const sip_s *sip) override;

private:
    void End(nua_handle_s *handle, DWORD mode);

    HLINE FLine;
    TMessageTarget FTarget;
    std::function<HCALL()> FNewHandle;
    std::map<nua_handle_s *, HCALL> FRinging;
};
