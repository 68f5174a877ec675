#include "platform/telephony/LineService.h"

#include "platform/telephony/LocationDialog.h"
#include "platform/telephony/ModemCall.h"
#include "platform/telephony/ModemConfigDialog.h"
#include "platform/telephony/ModemSettings.h"
#include "platform/telephony/PhoneApplication.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QObject>
#include <QPointer>
#include <cstring>
#include <map>
#include <memory>

namespace {

struct TAppRecord {
    std::unique_ptr<QObject> Receiver; // lives in the registering thread
    LINECALLBACK Callback = nullptr;
    QByteArray Name;
    DWORD DeviceCount = 0;
};

struct TLineRecord {
    HLINEAPP App = 0;
    DWORD Device = 0;
    DWORD CallbackInstance = 0;
    DWORD MediaModes = 0;
};

constexpr DWORD SupportedBearerModes = LINEBEARERMODE_VOICE;
constexpr DWORD SupportedMediaModes = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;

struct TLineService {
    std::map<HLINEAPP, TAppRecord> Apps;
    std::map<HLINE, TLineRecord> Lines;
    std::map<HCALL, QPointer<TModemCall>> Calls;
    // Calls handed over to the phone application: idle at once, kept only
    // until they are deallocated.
    std::map<HCALL, HLINE> HandedOver;
    DWORD NextHandle = 0x10000;
    DWORD NextRequest = 1;

    DWORD NewHandle() { return ++NextHandle; }
    DWORD NewRequest()
    {
        const DWORD id = NextRequest++;
        if (NextRequest > 0x7FFFFFFF)
            NextRequest = 1;
        return id;
    }

    TModemCall *Call(HCALL handle)
    {
        const auto it = Calls.find(handle);
        return it == Calls.end() ? nullptr : it->second.data();
    }

    void CloseLine(HLINE line)
    {
        for (auto it = Calls.begin(); it != Calls.end();) {
            TModemCall *call = it->second.data();
            if (call && call->Line() == line) {
                call->Detach();
                it = Calls.erase(it);
            } else {
                ++it;
            }
        }
        std::erase_if(HandedOver, [line](const auto &call) { return call.second == line; });
        Lines.erase(line);
    }
};

TLineService &Service()
{
    static TLineService service;
    return service;
}

// Whether the call parameters ask only for what a modem line offers.
bool SupportsCallParams(const LINECALLPARAMS *params)
{
    if (!params)
        return true;
    if (params->dwTotalSize < offsetof(LINECALLPARAMS, dwPredictiveAutoTransferStates))
        return false;
    const DWORD bearer = params->dwBearerMode ? params->dwBearerMode : LINEBEARERMODE_VOICE;
    const DWORD media = params->dwMediaMode ? params->dwMediaMode : LINEMEDIAMODE_INTERACTIVEVOICE;
    return (bearer & ~SupportedBearerModes) == 0 && (media & ~SupportedMediaModes) == 0;
}

// How many line devices the settings offer.
DWORD DeviceCount()
{
    return LoadLineDevice() == TLineDevice::PhoneApplication ? 1 : DWORD(LoadModems().size());
}

// Whether device can place a call now: its modem answers, or an
// application is registered for tel: links.
bool DeviceAnswers(DWORD device)
{
    if (LoadLineDevice() == TLineDevice::PhoneApplication)
        return !TelHandlerDesktopFile().isEmpty();
    const QList<TModemConfig> modems = LoadModems();
    return device < DWORD(modems.size()) && ModemAnswers(modems.at(int(device)));
}

QByteArray ProgramName()
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return name.toUtf8();
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

} // namespace

LONG lineInitialize(HLINEAPP *lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback, const char *lpszAppName,
                    DWORD *lpdwNumDevs)
{
    if (!lphLineApp || !lpdwNumDevs)
        return LINEERR_INVALPOINTER;
    if (!lpfnCallback)
        return LINEERR_INVALPARAM;
    TLineService &s = Service();
    const HLINEAPP handle = s.NewHandle();
    TAppRecord &app = s.Apps[handle];
    app.Receiver = std::make_unique<QObject>();
    app.Callback = lpfnCallback;
    app.Name = lpszAppName ? QByteArray(lpszAppName) : ProgramName();
    app.DeviceCount = DeviceCount();
    *lphLineApp = handle;
    *lpdwNumDevs = app.DeviceCount;
    return 0;
}

LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion, DWORD dwAPIHighVersion,
                             DWORD *lpdwAPIVersion, LINEEXTENSIONID *lpExtensionID)
{
    TLineService &s = Service();
    const auto app = s.Apps.find(hLineApp);
    if (app == s.Apps.end())
        return LINEERR_INVALAPPHANDLE;
    if (!lpdwAPIVersion || !lpExtensionID)
        return LINEERR_INVALPOINTER;
    if (dwDeviceID >= app->second.DeviceCount)
        return LINEERR_BADDEVICEID;
    const DWORD agreed = qMin(dwAPIHighVersion, LineServiceHighestVersion);
    if (dwAPILowVersion > dwAPIHighVersion || agreed < qMax(dwAPILowVersion, LineServiceLowestVersion))
        return LINEERR_INCOMPATIBLEAPIVERSION;
    *lpdwAPIVersion = agreed;
    std::memset(lpExtensionID, 0, sizeof(LINEEXTENSIONID));
    return 0;
}

LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE *lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
              DWORD dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes, const LINECALLPARAMS *lpCallParams)
{
    TLineService &s = Service();
    const auto app = s.Apps.find(hLineApp);
    if (app == s.Apps.end())
        return LINEERR_INVALAPPHANDLE;
    if (!lphLine)
        return LINEERR_INVALPOINTER;
    if (dwAPIVersion < LineServiceLowestVersion || dwAPIVersion > LineServiceHighestVersion)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    if (dwExtVersion != 0)
        return LINEERR_INCOMPATIBLEEXTVERSION;
    // An outgoing-only line: the service answers no calls.
    if (dwPrivileges != LINECALLPRIVILEGE_NONE)
        return LINEERR_INVALCALLPRIVILEGE;
    if ((dwMediaModes & ~SupportedMediaModes) != 0)
        return LINEERR_INVALMEDIAMODE;

    // The line's device must be able to call now: a line that cannot is
    // refused here, not after a call has been promised.
    DWORD device = dwDeviceID;
    const DWORD count = qMin(app->second.DeviceCount, DeviceCount());
    if (dwDeviceID == LINEMAPPER) {
        // Every device offers the same: take the first that answers.
        if (!SupportsCallParams(lpCallParams))
            return LINEERR_LINEMAPPERFAILED;
        device = 0;
        while (device < count && !DeviceAnswers(device))
            ++device;
        if (device == count)
            return LINEERR_LINEMAPPERFAILED;
    } else {
        if (dwDeviceID >= count)
            return LINEERR_BADDEVICEID;
        if (!SupportsCallParams(lpCallParams))
            return LINEERR_INVALCALLPARAMS;
        if (!DeviceAnswers(device))
            return LINEERR_RESOURCEUNAVAIL;
    }
    const HLINE line = s.NewHandle();
    s.Lines[line] = TLineRecord{hLineApp, device, dwCallbackInstance, dwMediaModes};
    *lphLine = line;
    return 0;
}

LONG lineMakeCall(HLINE hLine, HCALL *lphCall, const char *lpszDestAddress, DWORD dwCountryCode,
                  const LINECALLPARAMS *lpCallParams)
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
    const TAppRecord &app = s.Apps.at(line->second.App);
    TMessageTarget target{app.Receiver.get(), app.Callback, line->second.CallbackInstance};
    if (LoadLineDevice() == TLineDevice::PhoneApplication)
        return HandOver(hLine, lphCall, address, target);

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

    const DWORD media = lpCallParams && lpCallParams->dwMediaMode ? lpCallParams->dwMediaMode
                                                                  : LINEMEDIAMODE_INTERACTIVEVOICE;
    const HCALL handle = s.NewHandle();
    auto *call = new TModemCall(handle, hLine, line->second.Device, modems.at(int(line->second.Device)),
                                dialable.toLatin1(), cleaned.toLatin1(), media, target);
    // The modem may have been unplugged since the line was opened: only a
    // modem that takes its initialisation now gets the request.
    if (!call->Initialise()) {
        delete call;
        return LINEERR_RESOURCEUNAVAIL;
    }
    s.Calls[handle] = call;
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
    if (!call)
        return LINEERR_INVALCALLHANDLE;
    if (!lpCallInfo)
        return LINEERR_INVALPOINTER;
    const DWORD total = lpCallInfo->dwTotalSize;
    if (total < sizeof(LINECALLINFO))
        return LINEERR_STRUCTURETOOSMALL;
    const auto line = s.Lines.find(call->Line());
    QByteArray appName;
    if (line != s.Lines.end()) {
        const auto app = s.Apps.find(line->second.App);
        if (app != s.Apps.end())
            appName = app->second.Name;
    }
    const QByteArray called = call->CalledAddress();

    std::memset(lpCallInfo, 0, sizeof(LINECALLINFO));
    LINECALLINFO &info = *lpCallInfo;
    info.dwTotalSize = total;
    info.hLine = call->Line();
    info.dwLineDeviceID = call->DeviceId();
    info.dwBearerMode = LINEBEARERMODE_VOICE;
    info.dwMediaMode = call->MediaMode();
    info.dwCallID = hCall;
    info.dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_DIALING | LINECALLSTATE_PROCEEDING
        | LINECALLSTATE_CONNECTED | LINECALLSTATE_BUSY | LINECALLSTATE_DISCONNECTED;
    info.dwOrigin = LINECALLORIGIN_OUTBOUND;
    info.dwReason = LINECALLREASON_DIRECT;
    info.dwNumOwners = 1;

    // Variable part: the application name, then the called number, each
    // with its terminating zero, as far as the caller's record holds them.
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
    place(called, &info.dwDisplayableAddressSize, &info.dwDisplayableAddressOffset);
    info.dwNeededSize = needed;
    info.dwUsedSize = used;
    return 0;
}

LONG lineClose(HLINE hLine)
{
    TLineService &s = Service();
    if (s.Lines.find(hLine) == s.Lines.end())
        return LINEERR_INVALLINEHANDLE;
    s.CloseLine(hLine);
    return 0;
}

LONG lineShutdown(HLINEAPP hLineApp)
{
    TLineService &s = Service();
    const auto app = s.Apps.find(hLineApp);
    if (app == s.Apps.end())
        return LINEERR_INVALAPPHANDLE;
    std::vector<HLINE> lines;
    for (const auto &[handle, line] : s.Lines) {
        if (line.App == hLineApp)
            lines.push_back(handle);
    }
    for (HLINE line : lines)
        s.CloseLine(line);
    s.Apps.erase(app); // queued messages to its receiver are dropped with it
    return 0;
}

LONG lineConfigDialog(DWORD dwDeviceID, HWND hwndOwner, const char *lpszDeviceClass)
{
    if (lpszDeviceClass && *lpszDeviceClass) {
        const QByteArray cls(lpszDeviceClass);
        if (cls != "comm/datamodem" && cls != "comm" && cls != "tapi/line")
            return LINEERR_INVALDEVICECLASS;
    }
    // Device 0 is where the user also chooses the line device: the phone
    // application, or the first modem (added now when there is none).
    const TLineDevice kind = LoadLineDevice();
    QList<TModemConfig> modems = LoadModems();
    const int index = int(dwDeviceID);
    if (dwDeviceID != 0 && (kind != TLineDevice::Modem || dwDeviceID >= DWORD(modems.size())))
        return LINEERR_BADDEVICEID;
    const bool adding = index >= modems.size();
    TModemConfigDialog dialog(adding ? TModemConfig() : modems.at(index), kind, dwDeviceID == 0, hwndOwner);
    if (dialog.exec() == QDialog::Accepted) {
        if (dwDeviceID == 0)
            SaveLineDevice(dialog.Device());
        if (!adding)
            modems[index] = dialog.Config();
        else if (dialog.Device() == TLineDevice::Modem)
            modems.push_back(dialog.Config());
        SaveModems(modems);
    }
    return 0;
}

LONG lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND hwndOwner,
                         const char *lpszAddressIn)
{
    TLineService &s = Service();
    // The location belongs to the machine, not to a device: an application
    // that has no registration (0) may still show it.
    if (hLineApp != 0) {
        const auto app = s.Apps.find(hLineApp);
        if (app == s.Apps.end())
            return LINEERR_INVALAPPHANDLE;
        if (dwDeviceID >= app->second.DeviceCount && app->second.DeviceCount != 0)
            return LINEERR_BADDEVICEID;
    }
    if (dwAPIVersion < LineServiceLowestVersion || dwAPIVersion > LineServiceHighestVersion)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    const QString address = lpszAddressIn ? QString::fromUtf8(lpszAddressIn) : QString();
    TLocationDialog dialog(LoadDialingLocation(), address, hwndOwner);
    if (dialog.exec() == QDialog::Accepted)
        SaveDialingLocation(dialog.Location());
    return 0;
}
