#pragma once

// The line service's records, shared by its two halves: LineService.cpp
// (applications, lines and the dialogs) and LineCalls.cpp (calls).

#include "platform/telephony/MessageQueue.h"
#include "platform/telephony/ModemCall.h"
#include "platform/telephony/ModemListener.h"
#include "platform/telephony/sip/SipAgent.h"
#include "platform/telephony/sip/SipCall.h"
#include "platform/telephony/sip/SipListener.h"

#include <QByteArray>
#include <QPointer>
#include <map>
#include <memory>
#include <vector>

constexpr DWORD SupportedBearerModes = LINEBEARERMODE_VOICE;
constexpr DWORD SupportedMediaModes = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;

// Whether the call parameters ask only for what a modem line offers.
bool SupportsCallParams(const LINECALLPARAMS *params);

struct TAppRecord {
    std::unique_ptr<TMessageQueue> Queue; // lives in the registering thread
    LINECALLBACK Callback = nullptr;
    QByteArray Name;
    DWORD DeviceCount = 0;
};

struct TLineRecord {
    HLINEAPP App = 0;
    DWORD Device = 0;
    DWORD CallbackInstance = 0;
    DWORD MediaModes = 0;
    // A line opened to monitor calls listens to its modem while no call of
    // ours uses it.
    std::unique_ptr<TModemListener> Listener;
    // A line of the SIP device opened to monitor calls sees the calls the
    // server offers to the extension.
    std::unique_ptr<TSipListener> SipListener;

    TOfferedCalls *Watcher() const
    {
        return Listener ? static_cast<TOfferedCalls *>(Listener.get()) : static_cast<TOfferedCalls *>(SipListener.get());
    }
};

struct TLineService {
    std::map<HLINEAPP, TAppRecord> Apps;
    std::map<HLINE, TLineRecord> Lines;
    std::map<HCALL, QPointer<TModemCall>> Calls;
    // Calls placed through the desk phone of the SIP device.
    std::map<HCALL, QPointer<TSipCall>> SipCalls;
    // Calls handed over to the phone application: idle at once, kept only
    // until they are deallocated.
    std::map<HCALL, HLINE> HandedOver;
    // Devices whose port the service uses itself for a moment (LINEMAPPER:
    // all of them); their listeners stay closed meanwhile.
    std::vector<DWORD> Borrowed;
    // The program's registration with the office's server, while a line
    // of the SIP device is open.
    std::unique_ptr<TSipAgent> Sip;
    DWORD NextHandle = 0x10000;
    DWORD NextRequest = 1;

    DWORD NewHandle() { return ++NextHandle; }
    DWORD NewRequest();
    TModemCall *Call(HCALL handle);
    // The listener of the line on which the modem offered call.
    TOfferedCalls *ListenerOf(HCALL call);
    TMessageTarget TargetOf(const TLineRecord &line) const;
    void CloseLine(HLINE line);
    // Opens the listeners whose modem is free, closes the others.
    void RefreshListeners();
    // Registers with the settings' SIP server unless registered already.
    void StartSip();
};

TLineService &Service();

// While one lives, the listeners of device (LINEMAPPER: of every device)
// keep their port closed, so that the service may open it itself.
class TPortsBorrowed {
public:
    explicit TPortsBorrowed(DWORD device);
    ~TPortsBorrowed();
    TPortsBorrowed(const TPortsBorrowed &) = delete;
    TPortsBorrowed &operator=(const TPortsBorrowed &) = delete;

private:
    DWORD FDevice;
};
