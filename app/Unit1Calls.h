#pragma once

#include "app/CallLog.h"
#include "app/CallerLookup.h"
#include "app/Unit1.h"
#include "dialer/IncomingCall.h"

class TDesktopNotification;

// What the window keeps of incoming calls: the call shown in "Gelen Arama",
// whose number it is, the log, the desktop notification.
struct TForm1::TCallState {
    TIncomingCall Call;
    TCallerMatch Caller;
    bool Shown = false;
    std::unique_ptr<TCallLog> Log;
    TDesktopNotification *Notification = nullptr;
};
