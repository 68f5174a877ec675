#include "platform/telephony/LineService.h"

#include "platform/telephony/LineServiceState.h"
#include "platform/telephony/LocationDialog.h"
#include "platform/telephony/ModemConfigDialog.h"
#include "platform/telephony/ModemSettings.h"
#include "platform/telephony/PhoneApplication.h"
#include "platform/telephony/sip/SipSettingsPane.h"
#include "platform/telephony/sip/SipTexts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

DWORD TLineService::NewRequest()
{
    const DWORD id = NextRequest++;
    if (NextRequest > 0x7FFFFFFF)
        NextRequest = 1;
    return id;
}

TModemCall *TLineService::Call(HCALL handle)
{
    const auto it = Calls.find(handle);
    return it == Calls.end() ? nullptr : it->second.data();
}

TOfferedCalls *TLineService::ListenerOf(HCALL call)
{
    for (auto &[handle, line] : Lines) {
        if (line.Watcher() && line.Watcher()->Call(call))
            return line.Watcher();
    }
    return nullptr;
}

TMessageTarget TLineService::TargetOf(const TLineRecord &line) const
{
    const TAppRecord &app = Apps.at(line.App);
    return TMessageTarget{app.Queue.get(), app.Callback, line.CallbackInstance};
}

void TLineService::CloseLine(HLINE line)
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
    for (auto it = SipCalls.begin(); it != SipCalls.end();) {
        TSipCall *call = it->second.data();
        if (call && call->Line() == line) {
            call->Detach();
            it = SipCalls.erase(it);
        } else {
            ++it;
        }
    }
    Lines.erase(line); // its listener closes the port and says no more
    if (Lines.empty())
        Sip.reset(); // the contact leaves the server
}

void TLineService::StartSip()
{
    if (Sip)
        return;
    const TSipConfig config = LoadSipConfig();
    Sip = std::make_unique<TSipAgent>(config, SipSessionPassword(config));
    QObject::connect(Sip.get(), &TSipAgent::Failed, [](TSipFailure failure) {
        TLineService &s = Service();
        for (const auto &[handle, line] : s.Lines)
            s.TargetOf(line).Post(handle, LINE_DEVSPECIFIC, LineSipRegistrationFailed, DWORD(failure), 0);
    });
    Sip->OnIncoming = [](nua_handle_s *handle, const sip_s *sip) {
        // The first line that watches takes the call.
        for (auto &[id, line] : Service().Lines) {
            if (line.SipListener) {
                line.SipListener->Offer(handle, sip);
                return;
            }
        }
    };
    Sip->Start();
}

void TLineService::RefreshListeners()
{
    QList<TModemConfig> modems;
    bool loaded = false;
    for (auto &[handle, line] : Lines) {
        if (!line.Listener)
            continue;
        const DWORD device = line.Device;
        bool busy = std::any_of(Borrowed.begin(), Borrowed.end(), [device](DWORD d) { return d == device || d == LINEMAPPER; });
        for (const auto &[id, call] : Calls)
            busy = busy || (call && call->DeviceId() == device && call->UsesModem());
        if (busy) {
            line.Listener->Stop();
            continue;
        }
        if (line.Listener->IsOpen())
            continue;
        if (!loaded) {
            modems = LoadModems();
            loaded = true;
        }
        if (device < DWORD(modems.size()))
            line.Listener->Start(modems.at(int(device)));
    }
}

TLineService &Service()
{
    static TLineService service;
    return service;
}

TPortsBorrowed::TPortsBorrowed(DWORD device) : FDevice(device)
{
    TLineService &s = Service();
    s.Borrowed.push_back(device);
    s.RefreshListeners();
}

TPortsBorrowed::~TPortsBorrowed()
{
    TLineService &s = Service();
    s.Borrowed.erase(std::find(s.Borrowed.begin(), s.Borrowed.end(), FDevice));
    s.RefreshListeners();
}

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

namespace {

// How many line devices the settings offer.
DWORD DeviceCount()
{
    return LoadLineDevice() == TLineDevice::Modem ? DWORD(LoadModems().size()) : 1;
}

// Whether device can place a call now: its modem answers, or an
// application is registered for tel: links.
bool DeviceAnswers(DWORD device)
{
    if (LoadLineDevice() == TLineDevice::PhoneApplication)
        return !TelHandlerDesktopFile().isEmpty();
    if (LoadLineDevice() == TLineDevice::Sip) {
        // The extension's password is asked once a session.
        const TSipConfig config = LoadSipConfig();
        return config.IsComplete() && (!SipSessionPassword(config).isEmpty() || AskSipPassword(config, nullptr));
    }
    const QList<TModemConfig> modems = LoadModems();
    return device < DWORD(modems.size()) && ModemAnswers(modems.at(int(device)));
}

// Keeps what the dialog says of the SIP server; open lines register again
// with it.
void ApplySipSettings(const TSipConfig &config, const QString &password, bool allowNetRc)
{
    SaveSipConfig(config);
    if (!password.isEmpty() && password != SipSessionPassword(config))
        KeepSipPassword(config, password, allowNetRc);
    TLineService &s = Service();
    // The calls ringing now go with the old registration.
    for (auto &[handle, line] : s.Lines) {
        if (line.SipListener)
            line.SipListener->EndAll();
    }
    s.Sip.reset();
    if (!s.Lines.empty())
        s.StartSip();
}

QByteArray ProgramName()
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return name.toUtf8();
}

} // namespace

LONG lineInitialize(HLINEAPP *lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback, const char *lpszAppName, DWORD *lpdwNumDevs)
{
    if (!lphLineApp || !lpdwNumDevs)
        return LINEERR_INVALPOINTER;
    if (!lpfnCallback)
        return LINEERR_INVALPARAM;
    TLineService &s = Service();
    const HLINEAPP handle = s.NewHandle();
    TAppRecord &app = s.Apps[handle];
    app.Queue = std::make_unique<TMessageQueue>();
    app.Callback = lpfnCallback;
    app.Name = lpszAppName ? QByteArray(lpszAppName) : ProgramName();
    app.DeviceCount = DeviceCount();
    *lphLineApp = handle;
    *lpdwNumDevs = app.DeviceCount;
    return 0;
}

LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion, DWORD dwAPIHighVersion, DWORD *lpdwAPIVersion,
                             LINEEXTENSIONID *lpExtensionID)
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

LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE *lphLine, DWORD dwAPIVersion, DWORD dwExtVersion, DWORD dwCallbackInstance,
              DWORD dwPrivileges, DWORD dwMediaModes, const LINECALLPARAMS *lpCallParams)
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
    // An outgoing-only line, or one that also sees the calls its modem
    // offers; the service answers no calls, so it owns none.
    if (dwPrivileges != LINECALLPRIVILEGE_NONE && dwPrivileges != LINECALLPRIVILEGE_MONITOR)
        return LINEERR_INVALCALLPRIVILEGE;
    if ((dwMediaModes & ~SupportedMediaModes) != 0)
        return LINEERR_INVALMEDIAMODE;

    // The line's device must be able to call now: a line that cannot is
    // refused here, not after a call has been promised. Lines that listen
    // to the modem let go of its port meanwhile.
    const TPortsBorrowed borrowed(dwDeviceID);
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
    // The application may have gone while the modem was asked.
    if (s.Apps.find(hLineApp) == s.Apps.end())
        return LINEERR_INVALAPPHANDLE;
    const HLINE line = s.NewHandle();
    TLineRecord &record = s.Lines[line];
    record = TLineRecord{hLineApp, device, dwCallbackInstance, dwMediaModes, nullptr, nullptr};
    if (dwPrivileges == LINECALLPRIVILEGE_MONITOR && LoadLineDevice() == TLineDevice::Modem)
        record.Listener = std::make_unique<TModemListener>(line, s.TargetOf(record), []() { return Service().NewHandle(); });
    *lphLine = line;
    if (LoadLineDevice() == TLineDevice::Sip) {
        if (dwPrivileges == LINECALLPRIVILEGE_MONITOR)
            record.SipListener = std::make_unique<TSipListener>(line, s.TargetOf(record), []() { return Service().NewHandle(); });
        s.StartSip();
    }
    return 0; // the listener opens its modem when the borrowed ports return
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
    // The dialog's test button talks to the modem itself; listeners start
    // again afterwards with what the user kept.
    const TPortsBorrowed borrowed(LINEMAPPER);
    TModemConfigDialog dialog(adding ? TModemConfig() : modems.at(index), kind, dwDeviceID == 0, hwndOwner);
    if (dialog.exec() == QDialog::Accepted) {
        if (dwDeviceID == 0)
            SaveLineDevice(dialog.Device());
        if (dialog.Device() == TLineDevice::Sip)
            ApplySipSettings(dialog.SipPane()->Config(), dialog.SipPane()->Password(), dialog.SipPane()->NetRcAllowed());
        if (!adding)
            modems[index] = dialog.Config();
        else if (dialog.Device() == TLineDevice::Modem)
            modems.push_back(dialog.Config());
        SaveModems(modems);
    }
    return 0;
}

LONG lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND hwndOwner, const char *lpszAddressIn)
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
