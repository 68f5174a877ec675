#include "platform/telephony/LineService.h"

#include "platform/telephony/LineServiceState.h"
#include "platform/telephony/ModemSettings.h"
#include "platform/telephony/PhoneApplication.h"

#include <cstring>

namespace {

// What the call information says of a caller: nothing yet (0), a number
// (with a name when there is one), withheld, unavailable, or unknown for
// a caller ID message that could not be read.
DWORD CallerIdFlags(const TCallerId &id)
{
    switch (id.Kind) {
    case TCallerId::TKind::None: return 0;
    case TCallerId::TKind::Number: return LINECALLPARTYID_ADDRESS | (id.Name.isEmpty() ? 0 : LINECALLPARTYID_NAME);
    case TCallerId::TKind::Withheld: return LINECALLPARTYID_BLOCKED | (id.Name.isEmpty() ? 0 : LINECALLPARTYID_NAME);
    case TCallerId::TKind::Unavailable: return LINECALLPARTYID_UNAVAIL | (id.Name.isEmpty() ? 0 : LINECALLPARTYID_NAME);
    case TCallerId::TKind::Unreadable: return LINECALLPARTYID_UNKNOWN;
    }
    return 0;
}

// A call through the phone application: the link is handed over at once;
// once it has been, the call goes on elsewhere, so the request succeeds
// and the call is idle.
LONG HandOver(HLINE line, HCALL *lphCall, const QString &address, const TMessageTarget &target)
{
    const QString uri = TelUri(address, LoadDialingLocation());
    if (uri.isEmpty())
        return LINEERR_INVALADDRESS;
    if (!HandOverToPhoneApplication(uri))
        return LINEERR_OPERATIONFAILED;
    TLineService &s = Service();
    const HCALL handle = s.NewHandle();
    s.HandedOver[handle] = line;
    *lphCall = handle;
    const DWORD request = s.NewRequest();
    target.Post(0, LINE_REPLY, request, 0, 0);
    target.Post(handle, LINE_CALLSTATE, LINECALLSTATE_IDLE, 0, LINECALLPRIVILEGE_OWNER);
    return LONG(request);
}

// A call through the desk phone of the SIP device: the number as the
// location rules make it, without the pauses a modem would make.
LONG PlaceSipCall(HLINE line, HCALL *lphCall, const QString &address, const TMessageTarget &target)
{
    TDialingLocation location = LoadDialingLocation();
    location.Pulse = false;
    const QString number = DialableForm(address, location).remove(u',');
    if (number.isEmpty() || number.contains(u'W') || number.contains(u'@') || number.contains(u'!'))
        return LINEERR_INVALADDRESS;
    TLineService &s = Service();
    if (!s.Sip)
        return LINEERR_RESOURCEUNAVAIL;
    const HCALL handle = s.NewHandle();
    auto *call = new TSipCall(handle, line, s.Sip.get(), number, target);
    s.SipCalls[handle] = call;
    *lphCall = handle;
    const DWORD request = s.NewRequest();
    call->Start(request);
    return LONG(request);
}

TSipCall *SipCallOf(HCALL handle)
{
    const auto &calls = Service().SipCalls;
    const auto it = calls.find(handle);
    return it == calls.end() ? nullptr : it->second.data();
}

} // namespace

LONG lineMakeCall(HLINE hLine, HCALL *lphCall, const char *lpszDestAddress, DWORD dwCountryCode, const LINECALLPARAMS *lpCallParams)
{
    TLineService &s = Service();
    const auto line = s.Lines.find(hLine);
    if (line == s.Lines.end())
        return LINEERR_INVALLINEHANDLE;
    if (!lphCall)
        return LINEERR_INVALPOINTER;
    if (dwCountryCode != 0)
        return LINEERR_INVALCOUNTRYCODE;
    // The destination is checked before anything may reach the device.
    if (!lpszDestAddress)
        return LINEERR_INVALADDRESS;
    const QString address = QString::fromUtf8(lpszDestAddress);
    QString cleaned;
    if (!CleanDialString(address, &cleaned) || cleaned.isEmpty())
        return LINEERR_INVALADDRESS;
    if (!SupportsCallParams(lpCallParams))
        return LINEERR_INVALCALLPARAMS;
    const TMessageTarget target = s.TargetOf(line->second);
    if (LoadLineDevice() == TLineDevice::PhoneApplication)
        return HandOver(hLine, lphCall, address, target);
    if (LoadLineDevice() == TLineDevice::Sip)
        return PlaceSipCall(hLine, lphCall, address, target);

    const QString dialable = DialableForm(address, LoadDialingLocation());
    if (dialable.isEmpty())
        return LINEERR_INVALADDRESS;
    const QList<TModemConfig> modems = LoadModems();
    if (line->second.Device >= DWORD(modems.size()))
        return LINEERR_NODEVICE;
    for (const auto &[handle, other] : s.Calls) {
        if (other && other->Line() == hLine && other->UsesModem())
            return LINEERR_CALLUNAVAIL;
    }

    // The modem's port is the call's until it is back on hook: a line
    // listening to the same modem lets go of it meanwhile.
    const DWORD device = line->second.Device;
    const TPortsBorrowed borrowed(device);
    const DWORD media = lpCallParams && lpCallParams->dwMediaMode ? lpCallParams->dwMediaMode : LINEMEDIAMODE_INTERACTIVEVOICE;
    const HCALL handle = s.NewHandle();
    auto *call = new TModemCall(handle, hLine, device, modems.at(int(device)), dialable.toLatin1(), cleaned.toLatin1(), media, target);
    // The modem may have been unplugged since the line was opened: only a
    // modem that takes its initialisation now gets the request.
    if (!call->Initialise()) {
        delete call;
        return LINEERR_RESOURCEUNAVAIL;
    }
    // The line may have been closed while the modem was asked.
    if (s.Lines.find(hLine) == s.Lines.end()) {
        call->Detach();
        return LINEERR_INVALLINEHANDLE;
    }
    s.Calls[handle] = call;
    QObject::connect(call, &TModemCall::ModemReleased, []() { Service().RefreshListeners(); });
    *lphCall = handle;
    const DWORD request = s.NewRequest();
    call->Start(request);
    return LONG(request);
}

LONG lineDrop(HCALL hCall, const char *, DWORD)
{
    TLineService &s = Service();
    if (s.HandedOver.count(hCall))
        return LINEERR_INVALCALLSTATE; // nothing here to hang up
    if (s.ListenerOf(hCall))
        return LINEERR_NOTOWNER; // offered calls are only watched
    if (TSipCall *sipCall = SipCallOf(hCall))
        return sipCall->Drop(s.NewRequest());
    TModemCall *call = s.Call(hCall);
    if (!call)
        return LINEERR_INVALCALLHANDLE;
    return call->Drop(s.NewRequest());
}

LONG lineDeallocateCall(HCALL hCall)
{
    TLineService &s = Service();
    if (s.HandedOver.erase(hCall))
        return 0;
    if (TOfferedCalls *listener = s.ListenerOf(hCall))
        return listener->Deallocate(hCall);
    if (TSipCall *sipCall = SipCallOf(hCall)) {
        if (sipCall->CallState() != LINECALLSTATE_IDLE)
            return LINEERR_INVALCALLSTATE;
        s.SipCalls.erase(hCall);
        sipCall->deleteLater();
        return 0;
    }
    TModemCall *call = s.Call(hCall);
    if (!call)
        return LINEERR_INVALCALLHANDLE;
    if (call->CallState() != LINECALLSTATE_IDLE)
        return LINEERR_INVALCALLSTATE;
    s.Calls.erase(hCall);
    call->deleteLater();
    return 0;
}

LONG lineGetCallInfo(HCALL hCall, LINECALLINFO *lpCallInfo)
{
    TLineService &s = Service();
    TModemCall *call = s.Call(hCall);
    TOfferedCalls *listener = call ? nullptr : s.ListenerOf(hCall);
    TSipCall *sipCall = call || listener ? nullptr : SipCallOf(hCall);
    if (!call && !listener && !sipCall)
        return LINEERR_INVALCALLHANDLE;
    if (!lpCallInfo)
        return LINEERR_INVALPOINTER;
    const DWORD total = lpCallInfo->dwTotalSize;
    if (total < sizeof(LINECALLINFO))
        return LINEERR_STRUCTURETOOSMALL;
    HLINE hLine = call ? call->Line() : sipCall ? sipCall->Line() : 0;
    if (listener) {
        for (const auto &[handle, line] : s.Lines)
            hLine = line.Watcher() == listener ? handle : hLine;
    }
    const auto line = s.Lines.find(hLine);
    QByteArray appName;
    if (line != s.Lines.end()) {
        const auto app = s.Apps.find(line->second.App);
        if (app != s.Apps.end())
            appName = app->second.Name;
    }

    std::memset(lpCallInfo, 0, sizeof(LINECALLINFO));
    LINECALLINFO &info = *lpCallInfo;
    info.dwTotalSize = total;
    info.hLine = hLine;
    info.dwBearerMode = LINEBEARERMODE_VOICE;
    info.dwCallID = hCall;
    info.dwReason = LINECALLREASON_DIRECT;
    QByteArray called, callerId, callerName;
    if (call) {
        info.dwLineDeviceID = call->DeviceId();
        info.dwMediaMode = call->MediaMode();
        info.dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_DIALING | LINECALLSTATE_PROCEEDING | LINECALLSTATE_CONNECTED
            | LINECALLSTATE_BUSY | LINECALLSTATE_DISCONNECTED;
        info.dwOrigin = LINECALLORIGIN_OUTBOUND;
        info.dwNumOwners = 1;
        called = call->CalledAddress();
    } else if (sipCall) {
        info.dwMediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
        info.dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_DIALING | LINECALLSTATE_PROCEEDING | LINECALLSTATE_RINGBACK
            | LINECALLSTATE_CONNECTED | LINECALLSTATE_BUSY | LINECALLSTATE_DISCONNECTED;
        info.dwOrigin = LINECALLORIGIN_OUTBOUND;
        info.dwNumOwners = 1;
        called = sipCall->CalledAddress();
    } else {
        const TCallerId &id = listener->Call(hCall)->CallerId;
        info.dwLineDeviceID = line != s.Lines.end() ? line->second.Device : 0;
        info.dwMediaMode = LINEMEDIAMODE_UNKNOWN;
        info.dwCallStates = LINECALLSTATE_OFFERING | LINECALLSTATE_IDLE;
        info.dwOrigin = LINECALLORIGIN_INBOUND;
        info.dwNumMonitors = 1;
        info.dwCallerIDFlags = CallerIdFlags(id);
        callerId = id.Number.toUtf8();
        callerName = id.Name.toUtf8();
    }

    // Variable part: the application name, then the called number or the
    // caller's number and name, each with its terminating zero, as far as
    // the caller's record holds them.
    auto *bytes = reinterpret_cast<unsigned char *>(lpCallInfo);
    DWORD used = sizeof(LINECALLINFO);
    DWORD needed = used;
    auto place = [&](const QByteArray &text, DWORD *size, DWORD *offset) {
        const DWORD length = DWORD(text.size()) + 1;
        needed += length;
        if (used + length > total)
            return;
        std::memcpy(bytes + used, text.constData(), text.size());
        bytes[used + length - 1] = 0;
        *size = length;
        *offset = used;
        used += length;
    };
    place(appName, &info.dwAppNameSize, &info.dwAppNameOffset);
    if (call || sipCall)
        place(called, &info.dwDisplayableAddressSize, &info.dwDisplayableAddressOffset);
    if (!callerId.isEmpty())
        place(callerId, &info.dwCallerIDSize, &info.dwCallerIDOffset);
    if (!callerName.isEmpty())
        place(callerName, &info.dwCallerIDNameSize, &info.dwCallerIDNameOffset);
    info.dwNeededSize = needed;
    info.dwUsedSize = used;
    return 0;
}
