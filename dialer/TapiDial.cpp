#include "dialer/TapiDial.h"

#include "platform/core/Exception.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/sip/SipTexts.h"
#include "platform/widgets/Application.h"

#include <QWidget>
#include <climits>
#include <cstring>
#include <vector>

namespace {

// The destination buffer: 30 characters and the terminating zero.
constexpr int DestAddressSize = 31;

std::vector<TTapiDial *> &Dialers()
{
    static std::vector<TTapiDial *> dialers;
    return dialers;
}

QWidget *FormOf(QObject *owner)
{
    auto *widget = qobject_cast<QWidget *>(owner);
    return widget && widget->isWindow() ? widget : nullptr;
}

} // namespace

TTapiDial::TTapiDial(QObject *owner) : QObject(nullptr)
{
    QWidget *form = FormOf(owner);
    if (!form)
        throw Exception(QStringLiteral("Please drop the component onto a Form!"));
    for (QObject *component : owner->children()) {
        if (component->metaObject() == &TTapiDial::staticMetaObject)
            throw Exception(QStringLiteral("There is TTApiDial component already on this form"));
    }
    setParent(owner);
    FOwnerWindow = form;
    Dialers().push_back(this);
    FTelephonNo = QStringLiteral("9865");
    FCallDialog = None;
    CreateStatusWindow();
    FStatusWindow = true;
    StatusWindowExists = true;
    InitTapi();
    FLanguage = english;
}

TTapiDial::~TTapiDial()
{
    // The status window belongs to the application object and stays.
    FStatusWindow = false;
    StatusWindowExists = false;
    ShutdownTapi();
    std::erase(Dialers(), this);
}

void TTapiDial::Report(const QString &englishText, const QString &croatianText)
{
    LastStatus = FLanguage == croatian ? croatianText : englishText;
    LogStatus(LastStatus);
}

void TTapiDial::InitTapi()
{
    Report(QStringLiteral("Initializing TAPI"), QStringLiteral("Inicijaliziram TAPI"));
    std::memset(&FCallParams, 0, sizeof FCallParams);
    FCallParams.dwTotalSize = sizeof FCallParams;
    FCallParams.dwBearerMode = LINEBEARERMODE_VOICE;
    FCallParams.dwMediaMode = FCallDialog == Win95 ? LINEMEDIAMODE_INTERACTIVEVOICE : LINEMEDIAMODE_DATAMODEM;

    bool failed = false;
    DWORD devices = 0;
    if (lineInitialize(&FLineApp, nullptr, LineCallback, nullptr, &devices) < 0) {
        FLineApp = 0;
        failed = true;
    } else if (devices == 0) {
        lineShutdown(FLineApp);
        FLineApp = 0;
        Report(QStringLiteral("No TAPI devices"), QStringLiteral("Nemate instaliranih TAPI uređaja"));
        failed = true;
    } else {
        LINEEXTENSIONID extension{};
        if (lineNegotiateAPIVersion(FLineApp, 0, TAPI_VERSION1_4, TAPI_VERSION2_0, &NegotiatedApiVersion, &extension) < 0) {
            lineShutdown(FLineApp);
            FLineApp = 0;
            Report(QStringLiteral("Error in lineNegotiateAPIVersion"), QStringLiteral("Nemate potrebnu TAPI verziju"));
            failed = true;
        } else if (lineOpen(FLineApp, LINEMAPPER, &FLine, NegotiatedApiVersion, 0, 0, LINECALLPRIVILEGE_MONITOR, 0, &FCallParams) < 0) {
            lineShutdown(FLineApp);
            FLineApp = 0;
            FLine = 0;
            Report(QStringLiteral("Error in LineOpen"), QStringLiteral("Greška u otvaranju linije"));
            failed = true;
        }
    }
    if (FLine == 0) {
        Report(QStringLiteral("Error!!"), QStringLiteral("Greška, nema linija"));
        failed = true;
    }
    if (!failed)
        Report(QStringLiteral("TAPI successfully initialized"), QStringLiteral("TAPI je uspješno inicijaliziran"));
}

void TTapiDial::ShutdownTapi()
{
    if (FLine != 0)
        lineClose(FLine);
    if (FLineApp != 0)
        lineShutdown(FLineApp);
    // Released handles are never handed to the service again; the offered
    // calls went with the line.
    FLine = 0;
    FLineApp = 0;
    ForgetIncomingCalls();
    Report(QStringLiteral("TAPI terminated"), QStringLiteral("Završili smo sa TAPI-jem."));
}

void TTapiDial::Dial()
{
    if (FTelephonNo.isEmpty())
        return;
    // A line that could not be opened (no modem answered) is opened again
    // first: a modem plugged in since then is taken into use.
    if (FLine == 0)
        InitTapi();
    // A number that would not reach the line whole is refused, never cut:
    // one that does not fit the destination, or that holds a NUL, which
    // would end the zero-terminated text early. A shortened number would
    // call someone else.
    const QByteArray number = FTelephonNo.toUtf8();
    LONG result = LINEERR_INVALADDRESS;
    if (number.size() < DestAddressSize && !number.contains('\0')) {
        char destAddress[DestAddressSize] = {};
        std::memcpy(destAddress, number.constData(), size_t(number.size()));
        result = lineMakeCall(FLine, &FCall, destAddress, 0, &FCallParams);
    }
    const bool failed = result < 0;
    if (failed)
        Report(QStringLiteral("Error in lineMakeCall"), QStringLiteral("Greška u zvanju"));

    if (FCallDialog == None && !failed) {
        const QString caption = FTelephonNo + QStringLiteral(" nolu telefonla konuşuluyor.");
        const QString text = FLanguage == croatian ? QStringLiteral("Kada završite razgovor, pritisnite dugme da prekinete vezu.")
                                                   : FTelephonNo + QStringLiteral(" nolu telefon Aranıyor...");
        if (Application->MessageBox(text, caption, TMessageKind::Information) == IDOK)
            HangUp();
    }
    if (failed) {
        Application->MessageBox(FLanguage == croatian ? QStringLiteral("Greška u zvanju") : QStringLiteral("Error during dialing?!"),
                                Application->Title(), TMessageKind::Information);
    }
}

void TTapiDial::HangUp()
{
    if (lineDrop(FCall, nullptr, 0) < 0)
        Report(QStringLiteral("Error in lineDrop"), QStringLiteral("Greška u zatvaranju linije."));
    else
        Report(QStringLiteral("Line Dropped"), QStringLiteral("Linija je zatvorena."));
}

void TTapiDial::ConfigDialog()
{
    lineConfigDialog(0, FOwnerWindow, "comm/datamodem");
    // A modem added while the dialer had no line is taken into use at once
    // (a dialer without a line holds no handles to release first).
    if (FLine == 0)
        InitTapi();
}

void TTapiDial::TranslateDialog()
{
    const DWORD version = LONG(NegotiatedApiVersion) <= LONG(TAPI_VERSION1_4) ? TAPI_VERSION1_4 : TAPI_VERSION2_0;
    // The dialog shows the number as zero-terminated text: a NUL in it is
    // shown as the replacement character instead of ending it there.
    QString shown = FTelephonNo;
    shown.replace(QChar(0), QChar::ReplacementCharacter);
    const QByteArray number = shown.toUtf8();
    lineTranslateDialog(FLineApp, 0, version, FOwnerWindow, number.constData());
}

void TTapiDial::SetTelephonNo(const QString &value)
{
    if (value != FTelephonNo)
        FTelephonNo = value;
    SharedTelephonNo = FTelephonNo;
}

void TTapiDial::SetCallDialog(TCallDialog value)
{
    if (value == FCallDialog)
        return;
    FCallDialog = value;
    const QString word = value == Win95 ? QStringLiteral("Win95") : QStringLiteral("None");
    Report(QStringLiteral("Call dialog set to: ") + word, QStringLiteral("Dijalog za poziv je promjenjen u: ") + word);
    ShutdownTapi();
    InitTapi();
}

void TTapiDial::SetStatusWindow(bool value)
{
    if (value) {
        // The constructor leaves the window built but hidden while the
        // property already reads true; a stored true must still show it.
        FStatusWindow = true;
        if (!StatusWindowExists)
            CreateStatusWindow();
        if (StatusForm)
            StatusForm->show();
        return;
    }
    if (!FStatusWindow)
        return;
    FStatusWindow = false;
    if (StatusWindowExists)
        ReleaseStatusWindow();
}

void TTapiDial::SetLanguage(TLanguage value)
{
    if (value != FLanguage)
        FLanguage = value;
    SharedLanguage = FLanguage;
}

void TTapiDial::ApplyStoredProperties(const QString &telephonNo, TCallDialog callDialog, bool statusWindow, TLanguage language)
{
    SetTelephonNo(telephonNo);
    SetCallDialog(callDialog);
    SetStatusWindow(statusWindow);
    SetLanguage(language);
}

void DialFieldText(TTapiDial *dialer, const QString &text)
{
    if (text.isEmpty()) {
        Application->ShowMessage(QStringLiteral("Telefon Numarası Yok!"));
        return;
    }
    dialer->SetTelephonNo(text);
    dialer->Dial();
}

namespace {

// What the service tells of an offered call's caller.
void ReadCallerId(HCALL call, TIncomingCall *incoming)
{
    alignas(LINECALLINFO) unsigned char buffer[CallInfoBufferSize];
    auto *info = reinterpret_cast<LINECALLINFO *>(buffer);
    info->dwTotalSize = CallInfoBufferSize;
    if (lineGetCallInfo(call, info) != 0)
        return;
    const DWORD flags = info->dwCallerIDFlags;
    incoming->Number.clear();
    if (flags & LINECALLPARTYID_ADDRESS) {
        incoming->Caller = TIncomingCall::icNumber;
        incoming->Number = CallInfoText(buffer, info->dwCallerIDSize, info->dwCallerIDOffset);
    } else if (flags & LINECALLPARTYID_BLOCKED) {
        incoming->Caller = TIncomingCall::icWithheld;
    } else if (flags & (LINECALLPARTYID_UNAVAIL | LINECALLPARTYID_OUTOFAREA)) {
        incoming->Caller = TIncomingCall::icUnavailable;
    } else if (flags & LINECALLPARTYID_UNKNOWN) {
        incoming->Caller = TIncomingCall::icUnreadable;
    } else {
        incoming->Caller = TIncomingCall::icPending;
    }
    // A number that did not come whole is no number.
    if (incoming->Caller == TIncomingCall::icNumber && incoming->Number.isEmpty())
        incoming->Caller = TIncomingCall::icUnreadable;
    incoming->Name =
        (flags & LINECALLPARTYID_NAME) ? CallInfoText(buffer, info->dwCallerIDNameSize, info->dwCallerIDNameOffset) : QString();
}

} // namespace

bool TTapiDial::TakeIncomingMessage(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3)
{
    for (TTapiDial *dialer : Dialers()) {
        const bool ofLine = dialer->FLine != 0 && hDevice == dialer->FLine;
        const bool ofCall = hDevice != 0 && dialer->FIncoming.count(hDevice) != 0;
        switch (dwMsg) {
        case LINE_APPNEWCALL:
            if (!ofLine)
                continue;
            dialer->CallOffered(dwParam2);
            return true;
        case LINE_LINEDEVSTATE:
            if (!ofLine)
                continue;
            if (dwParam1 == LINEDEVSTATE_RINGING)
                dialer->Rang(dwParam3);
            return true;
        case LINE_DEVSPECIFIC:
            if (!ofLine)
                continue;
            if (dwParam1 == LineCallerIdRefused)
                dialer->Report(QStringLiteral("Caller ID not available"), QStringLiteral("Prikaz broja pozivatelja nije dostupan"));
            else if (dwParam1 == LineSipRegistrationFailed)
                Application->MessageBox(SipFailureText(TSipFailure(dwParam2)), QStringLiteral("Ofis Santrali"), TMessageKind::Error);
            return true;
        case LINE_CALLINFO:
            if (!ofCall)
                continue;
            if (dwParam1 & LINECALLINFOSTATE_CALLERID)
                dialer->CallerIdArrived(hDevice);
            return true;
        case LINE_CALLSTATE:
            if (!ofCall)
                continue;
            if (dwParam1 == LINECALLSTATE_DISCONNECTED)
                dialer->CallOutcome(hDevice, dwParam2);
            if (dwParam1 == LINECALLSTATE_IDLE)
                dialer->CallEnded(hDevice);
            return true;
        default: return false;
        }
    }
    return false;
}

void TTapiDial::CallOffered(HCALL call)
{
    TIncomingCall &incoming = FIncoming[call];
    incoming.Call = call;
    incoming.Time = QDateTime::currentDateTime();
    FRinging = call;
    // Caller ID that came before the first RING is known already.
    ReadCallerId(call, &incoming);
    if (incoming.Caller != TIncomingCall::icPending)
        ReportIncoming(incoming);
}

void TTapiDial::CallerIdArrived(HCALL call)
{
    TIncomingCall &incoming = FIncoming[call];
    ReadCallerId(call, &incoming);
    ReportIncoming(incoming);
}

void TTapiDial::Rang(DWORD rings)
{
    const auto it = FIncoming.find(FRinging);
    if (it == FIncoming.end())
        return;
    it->second.Rings = int(qMin<DWORD>(rings, INT_MAX));
    ReportIncoming(it->second);
}

void TTapiDial::ReportIncoming(TIncomingCall call)
{
    // The program's handler gets a copy: it may close the line, or the
    // window, before it returns. What it raises is shown like any error of
    // a handler and goes no further.
    if (!OnIncomingCall)
        return;
    const std::function<void(const TIncomingCall &)> handler = OnIncomingCall;
    if (Application)
        Application->Guard([&handler, &call]() { handler(call); });
    else
        handler(call);
}

void TTapiDial::CallEnded(HCALL call)
{
    FIncoming.erase(call);
    if (FRinging == call)
        FRinging = 0;
    lineDeallocateCall(call);
}

void TTapiDial::CallOutcome(HCALL call, DWORD disconnectMode)
{
    const auto it = FIncoming.find(call);
    if (it == FIncoming.end())
        return;
    const TIncomingCall::TOutcome outcome = disconnectMode == LINEDISCONNECTMODE_PICKUP ? TIncomingCall::ocAnswered
        : disconnectMode == LINEDISCONNECTMODE_NOANSWER                                 ? TIncomingCall::ocMissed
                                                                                        : TIncomingCall::ocUnknown;
    if (outcome == TIncomingCall::ocUnknown || outcome == it->second.Outcome)
        return;
    it->second.Outcome = outcome;
    ReportIncoming(it->second);
}

void TTapiDial::ForgetIncomingCalls()
{
    FIncoming.clear();
    FRinging = 0;
}
