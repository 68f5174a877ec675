#pragma once

#include "platform/telephony/Tapi.h"

// The line service behind Tapi.h: every modem of the service's settings
// is one line device, or, when the settings choose it, the desktop's phone
// application is the one line device. The functions declared in Tapi.h are
// implemented in LineService.cpp; they are to be called from the thread
// that called lineInitialize, and every message reaches the callback
// through that thread's event loop.
//
// Versions the service speaks.
constexpr DWORD LineServiceLowestVersion = 0x00010003;
constexpr DWORD LineServiceHighestVersion = 0x00020000;

// LINE_DEVSPECIFIC (hDevice: the line) dwParam1 of a modem line whose modem
// refused the caller ID command: the line works without caller ID.
constexpr DWORD LineCallerIdRefused = 1;

// LINE_DEVSPECIFIC (hDevice: the line) dwParam1 of the SIP device's line
// whose registration with the office's server failed (once for a run of
// failures; the service goes on trying): dwParam2 is the TSipFailure.
constexpr DWORD LineSipRegistrationFailed = 2;
