#pragma once

// The telephony declarations the dialer is written against: the line
// functions, the callback, the messages, constants and records of the
// Telephony API (versions 1.4 to 2.0), with their published names and
// values. The line service beside this header implements them for a
// Hayes-compatible modem on a serial port, or for the desktop's phone
// application reached through a tel: link.

#include <cstddef>
#include <cstdint>

class QWidget;

using DWORD = std::uint32_t;
using LONG = std::int32_t;

using HLINEAPP = DWORD;
using HLINE = DWORD;
using HCALL = DWORD;

using HINSTANCE = void *; // the program's module instance (not used by the service)
using HWND = QWidget *;   // owner window of the service's dialogs

// hDevice, dwMsg, dwCallbackInstance, dwParam1, dwParam2, dwParam3
using LINECALLBACK = void (*)(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD);

// Versions
constexpr DWORD TAPI_VERSION1_4 = 0x00010004;
constexpr DWORD TAPI_VERSION2_0 = 0x00020000;

// Messages
constexpr DWORD LINE_ADDRESSSTATE = 0;
constexpr DWORD LINE_CALLINFO = 1;
constexpr DWORD LINE_CALLSTATE = 2;
constexpr DWORD LINE_CLOSE = 3;
constexpr DWORD LINE_DEVSPECIFIC = 4;
constexpr DWORD LINE_DEVSPECIFICFEATURE = 5;
constexpr DWORD LINE_GATHERDIGITS = 6;
constexpr DWORD LINE_GENERATE = 7;
constexpr DWORD LINE_LINEDEVSTATE = 8;
constexpr DWORD LINE_MONITORDIGITS = 9;
constexpr DWORD LINE_MONITORMEDIA = 10;
constexpr DWORD LINE_MONITORTONE = 11;
constexpr DWORD LINE_REPLY = 12;
constexpr DWORD LINE_REQUEST = 13;
constexpr DWORD LINE_APPNEWCALL = 23;

// Line device states (LINE_LINEDEVSTATE: dwParam1; for RINGING dwParam2 is
// the ring mode and dwParam3 the count of rings so far)
constexpr DWORD LINEDEVSTATE_OTHER = 0x00000001;
constexpr DWORD LINEDEVSTATE_RINGING = 0x00000004;

// Parts of the call information that changed (LINE_CALLINFO: dwParam1)
constexpr DWORD LINECALLINFOSTATE_OTHER = 0x00000001;
constexpr DWORD LINECALLINFOSTATE_CALLERID = 0x00008000;

// What is known of a party (LINECALLINFO: dwCallerIDFlags and the others)
constexpr DWORD LINECALLPARTYID_BLOCKED = 0x00000001;
constexpr DWORD LINECALLPARTYID_OUTOFAREA = 0x00000002;
constexpr DWORD LINECALLPARTYID_NAME = 0x00000004;
constexpr DWORD LINECALLPARTYID_ADDRESS = 0x00000008;
constexpr DWORD LINECALLPARTYID_PARTIAL = 0x00000010;
constexpr DWORD LINECALLPARTYID_UNKNOWN = 0x00000020;
constexpr DWORD LINECALLPARTYID_UNAVAIL = 0x00000040;

// Call states
constexpr DWORD LINECALLSTATE_IDLE = 0x00000001;
constexpr DWORD LINECALLSTATE_OFFERING = 0x00000002;
constexpr DWORD LINECALLSTATE_ACCEPTED = 0x00000004;
constexpr DWORD LINECALLSTATE_DIALTONE = 0x00000008;
constexpr DWORD LINECALLSTATE_DIALING = 0x00000010;
constexpr DWORD LINECALLSTATE_RINGBACK = 0x00000020;
constexpr DWORD LINECALLSTATE_BUSY = 0x00000040;
constexpr DWORD LINECALLSTATE_SPECIALINFO = 0x00000080;
constexpr DWORD LINECALLSTATE_CONNECTED = 0x00000100;
constexpr DWORD LINECALLSTATE_PROCEEDING = 0x00000200;
constexpr DWORD LINECALLSTATE_ONHOLD = 0x00000400;
constexpr DWORD LINECALLSTATE_CONFERENCED = 0x00000800;
constexpr DWORD LINECALLSTATE_ONHOLDPENDCONF = 0x00001000;
constexpr DWORD LINECALLSTATE_ONHOLDPENDTRANSFER = 0x00002000;
constexpr DWORD LINECALLSTATE_DISCONNECTED = 0x00004000;
constexpr DWORD LINECALLSTATE_UNKNOWN = 0x00008000;

// Details of LINECALLSTATE_OFFERING
constexpr DWORD LINEOFFERINGMODE_ACTIVE = 0x00000001;
constexpr DWORD LINEOFFERINGMODE_INACTIVE = 0x00000002;

// Details of LINECALLSTATE_BUSY
constexpr DWORD LINEBUSYMODE_STATION = 0x00000001;
constexpr DWORD LINEBUSYMODE_TRUNK = 0x00000002;
constexpr DWORD LINEBUSYMODE_UNKNOWN = 0x00000004;
constexpr DWORD LINEBUSYMODE_UNAVAIL = 0x00000008;

// Details of LINECALLSTATE_DISCONNECTED
constexpr DWORD LINEDISCONNECTMODE_NORMAL = 0x00000001;
constexpr DWORD LINEDISCONNECTMODE_UNKNOWN = 0x00000002;
constexpr DWORD LINEDISCONNECTMODE_REJECT = 0x00000004;
constexpr DWORD LINEDISCONNECTMODE_PICKUP = 0x00000008;
constexpr DWORD LINEDISCONNECTMODE_FORWARDED = 0x00000010;
constexpr DWORD LINEDISCONNECTMODE_BUSY = 0x00000020;
constexpr DWORD LINEDISCONNECTMODE_NOANSWER = 0x00000040;
constexpr DWORD LINEDISCONNECTMODE_BADADDRESS = 0x00000080;
constexpr DWORD LINEDISCONNECTMODE_UNREACHABLE = 0x00000100;
constexpr DWORD LINEDISCONNECTMODE_CONGESTION = 0x00000200;
constexpr DWORD LINEDISCONNECTMODE_INCOMPATIBLE = 0x00000400;
constexpr DWORD LINEDISCONNECTMODE_UNAVAIL = 0x00000800;
constexpr DWORD LINEDISCONNECTMODE_NODIALTONE = 0x00001000;

// Any line device that supports the call parameters
constexpr DWORD LINEMAPPER = 0xFFFFFFFF;

// Bearer modes
constexpr DWORD LINEBEARERMODE_VOICE = 0x00000001;
constexpr DWORD LINEBEARERMODE_SPEECH = 0x00000002;
constexpr DWORD LINEBEARERMODE_MULTIUSE = 0x00000004;
constexpr DWORD LINEBEARERMODE_DATA = 0x00000008;
constexpr DWORD LINEBEARERMODE_ALTSPEECHDATA = 0x00000010;
constexpr DWORD LINEBEARERMODE_NONCALLSIGNALING = 0x00000020;
constexpr DWORD LINEBEARERMODE_PASSTHROUGH = 0x00000040;

// Media modes
constexpr DWORD LINEMEDIAMODE_UNKNOWN = 0x00000002;
constexpr DWORD LINEMEDIAMODE_INTERACTIVEVOICE = 0x00000004;
constexpr DWORD LINEMEDIAMODE_AUTOMATEDVOICE = 0x00000008;
constexpr DWORD LINEMEDIAMODE_DATAMODEM = 0x00000010;
constexpr DWORD LINEMEDIAMODE_G3FAX = 0x00000020;
constexpr DWORD LINEMEDIAMODE_TDD = 0x00000040;
constexpr DWORD LINEMEDIAMODE_G4FAX = 0x00000080;
constexpr DWORD LINEMEDIAMODE_DIGITALDATA = 0x00000100;
constexpr DWORD LINEMEDIAMODE_TELETEX = 0x00000200;
constexpr DWORD LINEMEDIAMODE_VIDEOTEX = 0x00000400;
constexpr DWORD LINEMEDIAMODE_TELEX = 0x00000800;
constexpr DWORD LINEMEDIAMODE_MIXED = 0x00001000;
constexpr DWORD LINEMEDIAMODE_ADSI = 0x00002000;
constexpr DWORD LINEMEDIAMODE_VOICEVIEW = 0x00004000;

// Call privileges
constexpr DWORD LINECALLPRIVILEGE_NONE = 0x00000001;
constexpr DWORD LINECALLPRIVILEGE_MONITOR = 0x00000002;
constexpr DWORD LINECALLPRIVILEGE_OWNER = 0x00000004;

// Origin and reason of a call
constexpr DWORD LINECALLORIGIN_OUTBOUND = 0x00000001;
constexpr DWORD LINECALLORIGIN_INBOUND = 0x00000080;
constexpr DWORD LINECALLREASON_DIRECT = 0x00000001;

// Results: zero or a positive request id on success, these on failure.
constexpr LONG LineError(DWORD code)
{
    return static_cast<LONG>(code);
}
constexpr LONG LINEERR_ALLOCATED = LineError(0x80000001);
constexpr LONG LINEERR_BADDEVICEID = LineError(0x80000002);
constexpr LONG LINEERR_BEARERMODEUNAVAIL = LineError(0x80000003);
constexpr LONG LINEERR_CALLUNAVAIL = LineError(0x80000005);
constexpr LONG LINEERR_INCOMPATIBLEAPIVERSION = LineError(0x8000000C);
constexpr LONG LINEERR_INCOMPATIBLEEXTVERSION = LineError(0x8000000D);
constexpr LONG LINEERR_INUSE = LineError(0x8000000F);
constexpr LONG LINEERR_INVALADDRESS = LineError(0x80000010);
constexpr LONG LINEERR_INVALAPPHANDLE = LineError(0x80000014);
constexpr LONG LINEERR_INVALBEARERMODE = LineError(0x80000016);
constexpr LONG LINEERR_INVALCALLHANDLE = LineError(0x80000018);
constexpr LONG LINEERR_INVALCALLPARAMS = LineError(0x80000019);
constexpr LONG LINEERR_INVALCALLPRIVILEGE = LineError(0x8000001A);
constexpr LONG LINEERR_INVALCALLSTATE = LineError(0x8000001C);
constexpr LONG LINEERR_INVALCOUNTRYCODE = LineError(0x80000022);
constexpr LONG LINEERR_INVALDEVICECLASS = LineError(0x80000023);
constexpr LONG LINEERR_INVALLINEHANDLE = LineError(0x8000002B);
constexpr LONG LINEERR_INVALMEDIAMODE = LineError(0x8000002F);
constexpr LONG LINEERR_INVALPARAM = LineError(0x80000032);
constexpr LONG LINEERR_INVALPOINTER = LineError(0x80000035);
constexpr LONG LINEERR_LINEMAPPERFAILED = LineError(0x80000040);
constexpr LONG LINEERR_NODEVICE = LineError(0x80000042);
constexpr LONG LINEERR_NOTOWNER = LineError(0x80000046);
constexpr LONG LINEERR_NOMEM = LineError(0x80000044);
constexpr LONG LINEERR_OPERATIONFAILED = LineError(0x80000048);
constexpr LONG LINEERR_OPERATIONUNAVAIL = LineError(0x80000049);
constexpr LONG LINEERR_RESOURCEUNAVAIL = LineError(0x8000004B);
constexpr LONG LINEERR_STRUCTURETOOSMALL = LineError(0x8000004D);
constexpr LONG LINEERR_UNINITIALIZED = LineError(0x80000050);

struct LINEEXTENSIONID {
    DWORD dwExtensionID0;
    DWORD dwExtensionID1;
    DWORD dwExtensionID2;
    DWORD dwExtensionID3;
};
static_assert(sizeof(LINEEXTENSIONID) == 16);

struct LINEDIALPARAMS {
    DWORD dwDialPause;
    DWORD dwDialSpeed;
    DWORD dwDigitDuration;
    DWORD dwWaitForDialtone;
};

struct LINECALLPARAMS {
    DWORD dwTotalSize;
    DWORD dwBearerMode;
    DWORD dwMinRate;
    DWORD dwMaxRate;
    DWORD dwMediaMode;
    DWORD dwCallParamFlags;
    DWORD dwAddressMode;
    DWORD dwAddressID;
    LINEDIALPARAMS DialParams;
    DWORD dwOrigAddressSize;
    DWORD dwOrigAddressOffset;
    DWORD dwDisplayableAddressSize;
    DWORD dwDisplayableAddressOffset;
    DWORD dwCalledPartySize;
    DWORD dwCalledPartyOffset;
    DWORD dwCommentSize;
    DWORD dwCommentOffset;
    DWORD dwUserUserInfoSize;
    DWORD dwUserUserInfoOffset;
    DWORD dwHighLevelCompSize;
    DWORD dwHighLevelCompOffset;
    DWORD dwLowLevelCompSize;
    DWORD dwLowLevelCompOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    // version 2.0
    DWORD dwPredictiveAutoTransferStates;
    DWORD dwTargetAddressSize;
    DWORD dwTargetAddressOffset;
    DWORD dwSendingFlowspecSize;
    DWORD dwSendingFlowspecOffset;
    DWORD dwReceivingFlowspecSize;
    DWORD dwReceivingFlowspecOffset;
    DWORD dwDeviceClassSize;
    DWORD dwDeviceClassOffset;
    DWORD dwDeviceConfigSize;
    DWORD dwDeviceConfigOffset;
    DWORD dwCallDataSize;
    DWORD dwCallDataOffset;
    DWORD dwNoAnswerTimeout;
    DWORD dwCallingPartyIDSize;
    DWORD dwCallingPartyIDOffset;
};
static_assert(sizeof(LINECALLPARAMS) == 176, "LINECALLPARAMS must keep its 2.0 layout");
static_assert(offsetof(LINECALLPARAMS, dwMediaMode) == 16);
static_assert(offsetof(LINECALLPARAMS, dwPredictiveAutoTransferStates) == 112);

struct LINECALLINFO {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    HLINE hLine;
    DWORD dwLineDeviceID;
    DWORD dwAddressID;
    DWORD dwBearerMode;
    DWORD dwRate;
    DWORD dwMediaMode;
    DWORD dwAppSpecific;
    DWORD dwCallID;
    DWORD dwRelatedCallID;
    DWORD dwCallParamFlags;
    DWORD dwCallStates;
    DWORD dwMonitorDigitModes;
    DWORD dwMonitorMediaModes;
    LINEDIALPARAMS DialParams;
    DWORD dwOrigin;
    DWORD dwReason;
    DWORD dwCompletionID;
    DWORD dwNumOwners;
    DWORD dwNumMonitors;
    DWORD dwCountryCode;
    DWORD dwTrunk;
    DWORD dwCallerIDFlags;
    DWORD dwCallerIDSize;
    DWORD dwCallerIDOffset;
    DWORD dwCallerIDNameSize;
    DWORD dwCallerIDNameOffset;
    DWORD dwCalledIDFlags;
    DWORD dwCalledIDSize;
    DWORD dwCalledIDOffset;
    DWORD dwCalledIDNameSize;
    DWORD dwCalledIDNameOffset;
    DWORD dwConnectedIDFlags;
    DWORD dwConnectedIDSize;
    DWORD dwConnectedIDOffset;
    DWORD dwConnectedIDNameSize;
    DWORD dwConnectedIDNameOffset;
    DWORD dwRedirectionIDFlags;
    DWORD dwRedirectionIDSize;
    DWORD dwRedirectionIDOffset;
    DWORD dwRedirectionIDNameSize;
    DWORD dwRedirectionIDNameOffset;
    DWORD dwRedirectingIDFlags;
    DWORD dwRedirectingIDSize;
    DWORD dwRedirectingIDOffset;
    DWORD dwRedirectingIDNameSize;
    DWORD dwRedirectingIDNameOffset;
    DWORD dwAppNameSize;
    DWORD dwAppNameOffset;
    DWORD dwDisplayableAddressSize;
    DWORD dwDisplayableAddressOffset;
    DWORD dwCalledPartySize;
    DWORD dwCalledPartyOffset;
    DWORD dwCommentSize;
    DWORD dwCommentOffset;
    DWORD dwDisplaySize;
    DWORD dwDisplayOffset;
    DWORD dwUserUserInfoSize;
    DWORD dwUserUserInfoOffset;
    DWORD dwHighLevelCompSize;
    DWORD dwHighLevelCompOffset;
    DWORD dwLowLevelCompSize;
    DWORD dwLowLevelCompOffset;
    DWORD dwChargingInfoSize;
    DWORD dwChargingInfoOffset;
    DWORD dwTerminalModesSize;
    DWORD dwTerminalModesOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    // version 2.0
    DWORD dwCallTreatment;
    DWORD dwCallDataSize;
    DWORD dwCallDataOffset;
    DWORD dwSendingFlowspecSize;
    DWORD dwSendingFlowspecOffset;
    DWORD dwReceivingFlowspecSize;
    DWORD dwReceivingFlowspecOffset;
};

// Line functions. Every result below zero is one of the LINEERR_ values;
// lineMakeCall and lineDrop return a positive request id whose outcome
// arrives later as LINE_REPLY.
LONG lineInitialize(HLINEAPP *lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback, const char *lpszAppName, DWORD *lpdwNumDevs);
LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion, DWORD dwAPIHighVersion, DWORD *lpdwAPIVersion,
                             LINEEXTENSIONID *lpExtensionID);
LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE *lphLine, DWORD dwAPIVersion, DWORD dwExtVersion, DWORD dwCallbackInstance,
              DWORD dwPrivileges, DWORD dwMediaModes, const LINECALLPARAMS *lpCallParams);
LONG lineMakeCall(HLINE hLine, HCALL *lphCall, const char *lpszDestAddress, DWORD dwCountryCode, const LINECALLPARAMS *lpCallParams);
LONG lineDrop(HCALL hCall, const char *lpsUserUserInfo, DWORD dwSize);
LONG lineDeallocateCall(HCALL hCall);
LONG lineGetCallInfo(HCALL hCall, LINECALLINFO *lpCallInfo);
LONG lineClose(HLINE hLine);
LONG lineShutdown(HLINEAPP hLineApp);
LONG lineConfigDialog(DWORD dwDeviceID, HWND hwndOwner, const char *lpszDeviceClass);
LONG lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND hwndOwner, const char *lpszAddressIn);
