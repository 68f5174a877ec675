#include "platform/telephony/ModemCall.h"

#include <QMetaObject>

namespace {

// Silence the modem needs on either side of "+++" before it leaves data
// mode (register S12, one second by default).
constexpr int GuardTimeMs = 1100;

} // namespace

TModemCall::TModemCall(HCALL handle, HLINE line, DWORD deviceId, const TModemConfig &config, const QByteArray &dialString,
                       const QByteArray &calledAddress, DWORD mediaMode, TMessageTarget target, QObject *parent)
    : QObject(parent), FHandle(handle), FLine(line), FDeviceId(deviceId), FConfig(config), FDialString(dialString),
      FCalledAddress(calledAddress), FMediaMode(mediaMode), FTarget(std::move(target))
{
    FGuard.setSingleShot(true);
    connect(&FLink, &TModemLink::Answered, this, [this](TModemResult r) { OnAnswered(r); });
    connect(&FLink, &TModemLink::TimedOut, this, [this]() { OnTimedOut(); });
    connect(&FLink, &TModemLink::AllWritten, this, [this]() {
        if (FStep == TStep::Dialing)
            ReportProceeding();
    });
    connect(&FGuard, &QTimer::timeout, this, [this]() {
        FStep = TStep::Escaping;
        FLink.Send(QByteArrayLiteral("+++"), GuardTimeMs + CommandTimeoutMs());
    });
}

TModemCall::~TModemCall() = default;

bool TModemCall::UsesModem() const
{
    return FStep != TStep::Done;
}

int TModemCall::CommandTimeoutMs() const
{
    return ModemCommandTimeoutMs(FConfig);
}

bool TModemCall::Initialise()
{
    if (!FLink.Open(FConfig))
        return false;
    if (FLink.CommandAndWait(ModemInitCommand(FConfig), CommandTimeoutMs()) != TModemResult::Ok) {
        FLink.Close();
        return false;
    }
    return true;
}

void TModemCall::Start(DWORD requestId)
{
    FMakeRequest = requestId;
    QMetaObject::invokeMethod(
        this,
        [this]() {
            if (FStep == TStep::Waiting) // not dropped meanwhile
                SendDial();
        },
        Qt::QueuedConnection);
}

void TModemCall::SendDial()
{
    FStep = TStep::Dialing;
    Reply(FMakeRequest, 0);
    ReportState(LINECALLSTATE_DIALING, 0);
    const QByteArray command = (FConfig.Pulse ? QByteArrayLiteral("ATDP") : QByteArrayLiteral("ATDT")) + FDialString + ';';
    FLink.Command(command, FConfig.DialTimeout * 1000);
}

void TModemCall::OnAnswered(TModemResult result)
{
    switch (FStep) {
    case TStep::Dialing:
        // An answer to the dial command means it went out, even when the
        // modem answers before the port has said so.
        if (result != TModemResult::Ring && result != TModemResult::None)
            ReportProceeding();
        switch (result) {
        case TModemResult::Ok:
        case TModemResult::Connect:
            FDataMode = result == TModemResult::Connect;
            FStep = TStep::Connected;
            ReportState(LINECALLSTATE_CONNECTED, 0);
            return;
        case TModemResult::Busy:
            ReportState(LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
            Disconnect(LINEDISCONNECTMODE_BUSY);
            return;
        case TModemResult::NoCarrier: Disconnect(LINEDISCONNECTMODE_NORMAL); return;
        case TModemResult::NoDialtone: Disconnect(LINEDISCONNECTMODE_NODIALTONE); return;
        case TModemResult::NoAnswer: Disconnect(LINEDISCONNECTMODE_NOANSWER); return;
        case TModemResult::Error: Disconnect(LINEDISCONNECTMODE_UNAVAIL); return;
        case TModemResult::Ring:
        case TModemResult::None: return;
        }
        return;
    case TStep::Connected:
        if (result == TModemResult::NoCarrier)
            Disconnect(LINEDISCONNECTMODE_NORMAL);
        return;
    case TStep::Aborting:
    case TStep::Escaping: HangUpCommand(); return;
    case TStep::HangingUp: EndHangUp(result == TModemResult::Ok); return;
    case TStep::Waiting:
    case TStep::Guarding:
    case TStep::Done: return;
    }
}

void TModemCall::OnTimedOut()
{
    switch (FStep) {
    case TStep::Dialing:
        // Nothing came back in time (silence, or only noise): the call has
        // failed, but the modem may still be dialling or off hook; put it
        // back on hook.
        ReportState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER);
        StartHangUp();
        return;
    case TStep::Aborting:
    case TStep::Escaping: HangUpCommand(); return;
    case TStep::HangingUp: EndHangUp(false); return;
    default: return;
    }
}

void TModemCall::Disconnect(DWORD mode)
{
    // The modem has given its final answer and is back on hook.
    FLink.Close();
    FStep = TStep::Done;
    Q_EMIT ModemReleased();
    ReportState(LINECALLSTATE_DISCONNECTED, mode);
    if (FDetached)
        deleteLater();
}

void TModemCall::StartHangUp()
{
    switch (FStep) {
    case TStep::Dialing:
        // Any character aborts dialling.
        FStep = TStep::Aborting;
        FLink.Send(QByteArrayLiteral("\r"), CommandTimeoutMs());
        return;
    case TStep::Connected:
        if (FDataMode) {
            FStep = TStep::Guarding;
            FLink.StopWaiting();
            FGuard.start(GuardTimeMs);
        } else {
            HangUpCommand();
        }
        return;
    default: return;
    }
}

void TModemCall::HangUpCommand()
{
    FStep = TStep::HangingUp;
    FLink.Command(QByteArrayLiteral("ATH"), CommandTimeoutMs());
}

void TModemCall::EndHangUp(bool clean)
{
    FLink.Close();
    FStep = TStep::Done;
    Q_EMIT ModemReleased();
    if (FCallState != LINECALLSTATE_DISCONNECTED && FCallState != LINECALLSTATE_IDLE)
        ReportState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    if (FDropRequest != 0) {
        Reply(FDropRequest, clean ? 0 : LINEERR_OPERATIONFAILED);
        FDropRequest = 0;
        ReportState(LINECALLSTATE_IDLE, 0);
    }
    if (FDetached)
        deleteLater();
}

LONG TModemCall::Drop(DWORD requestId)
{
    if (FCallState == LINECALLSTATE_IDLE || FDropRequest != 0)
        return LINEERR_INVALCALLSTATE;
    FDropRequest = requestId;
    switch (FStep) {
    case TStep::Waiting:
        // The modem has not dialled: nothing to hang up.
        Reply(FMakeRequest, LINEERR_OPERATIONFAILED);
        EndHangUp(true);
        break;
    case TStep::Dialing:
    case TStep::Connected: StartHangUp(); break;
    case TStep::Done: EndHangUp(true); break;
    default: break; // already hanging up; its end answers this request
    }
    return LONG(requestId);
}

void TModemCall::Detach()
{
    FDetached = true;
    FTarget = TMessageTarget();
    FDropRequest = 0;
    switch (FStep) {
    case TStep::Dialing:
    case TStep::Connected: StartHangUp(); break;
    case TStep::Aborting:
    case TStep::Guarding:
    case TStep::Escaping:
    case TStep::HangingUp: break; // finishes and deletes itself
    default:
        FLink.Close();
        FStep = TStep::Done;
        deleteLater();
        break;
    }
}

void TModemCall::ReportProceeding()
{
    if (FProceedingReported)
        return;
    FProceedingReported = true;
    ReportState(LINECALLSTATE_PROCEEDING, 0);
}

void TModemCall::ReportState(DWORD state, DWORD detail)
{
    FCallState = state;
    const DWORD privilege = FOwnerReported ? 0 : LINECALLPRIVILEGE_OWNER;
    FOwnerReported = true;
    FTarget.Post(FHandle, LINE_CALLSTATE, state, detail, privilege);
}

void TModemCall::Reply(DWORD requestId, LONG result)
{
    FTarget.Post(0, LINE_REPLY, requestId, DWORD(result), 0);
}
