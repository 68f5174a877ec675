#pragma once

// The line service's messages as a test's callback records them, and
// what the tests ask of them.

#include "platform/telephony/Tapi.h"

#include <QApplication>
#include <QList>
#include <QPair>
#include <QThread>
#include <cstring>

struct TMessage {
    DWORD Device, Msg, Param1, Param2, Param3 = 0;
    bool operator==(const TMessage &o) const { return Device == o.Device && Msg == o.Msg && Param1 == o.Param1 && Param2 == o.Param2; }
};

inline QList<TMessage> Messages;
inline bool InsideServiceCall = false;
inline bool DeliveredInsideServiceCall = false;
inline bool DeliveredOnOtherThread = false;

inline void Record(DWORD device, DWORD msg, DWORD, DWORD p1, DWORD p2, DWORD p3)
{
    if (InsideServiceCall)
        DeliveredInsideServiceCall = true;
    if (QThread::currentThread() != qApp->thread())
        DeliveredOnOtherThread = true;
    Messages.push_back({device, msg, p1, p2, p3});
}

// The call states reported for one call, with their details.
inline QList<QPair<DWORD, DWORD>> StatesOf(HCALL call)
{
    QList<QPair<DWORD, DWORD>> states;
    for (const TMessage &m : Messages) {
        if (m.Msg == LINE_CALLSTATE && m.Device == call)
            states.push_back({m.Param1, m.Param2});
    }
    return states;
}

inline LONG ReplyTo(DWORD request)
{
    for (const TMessage &m : Messages) {
        if (m.Msg == LINE_REPLY && m.Param1 == request)
            return LONG(m.Param2);
    }
    return 1; // none yet
}

inline bool HasState(HCALL call, DWORD state)
{
    for (const auto &s : StatesOf(call)) {
        if (s.first == state)
            return true;
    }
    return false;
}

inline LINECALLPARAMS VoiceParams(DWORD media = LINEMEDIAMODE_DATAMODEM)
{
    LINECALLPARAMS p;
    std::memset(&p, 0, sizeof p);
    p.dwTotalSize = sizeof p;
    p.dwBearerMode = LINEBEARERMODE_VOICE;
    p.dwMediaMode = media;
    return p;
}
