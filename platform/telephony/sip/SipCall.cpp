#include "platform/telephony/sip/SipCall.h"

#include "platform/telephony/sip/SipStack.h"
#include "platform/telephony/sip/SipText.h"

namespace {

// An offer with no media: the desk phone talks, the program does not.
QByteArray InactiveOffer(const QString &local)
{
    const QByteArray address = local.toLatin1();
    return "v=0\r\no=- 1 1 IN IP4 " + address + "\r\ns=-\r\nc=IN IP4 " + address + "\r\nt=0 0\r\nm=audio 9 RTP/AVP 0 8\r\na=inactive\r\n";
}

} // namespace

TSipCall::TSipCall(HCALL handle, HLINE line, TSipAgent *agent, const QString &number, TMessageTarget target, QObject *parent)
    : QObject(parent), FHandle(handle), FLine(line), FAgent(agent), FNumber(number), FTarget(target)
{
    FGuard.setSingleShot(true);
    connect(&FGuard, &QTimer::timeout, this, [this]() {
        if (FStep == TStep::Calling) {
            nua_cancel(FNua, TAG_END());
            Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER);
        } else if (FStep == TStep::Transferring) {
            Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER);
        }
    });
    // The agent going (the last line closed) ends the call with it.
    connect(agent, &QObject::destroyed, this, [this]() {
        FNua = nullptr;
        FAgent = nullptr;
        if (FStep != TStep::Done)
            Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL);
    });
}

TSipCall::~TSipCall()
{
    if (FNua)
        nua_handle_destroy(FNua);
}

void TSipCall::Start(DWORD requestId)
{
    const TSipConfig &config = FAgent->Config();
    FNua = FAgent->NewHandle(this, config.Aor());
    const QByteArray callInfo = "<" + config.ServerUri().toUtf8() + ">;answer-after=0";
    const QByteArray offer = InactiveOffer(SipLocalAddress(config.Server));
    nua_invite(FNua, SIPTAG_CALL_INFO_STR(callInfo.constData()), SIPTAG_ALERT_INFO_STR("<http://127.0.0.1/>;info=alert-autoanswer"),
               SIPTAG_CONTENT_TYPE_STR("application/sdp"), SIPTAG_PAYLOAD_STR(offer.constData()), TAG_END());
    FGuard.start(config.DialTimeout * 1000);
    FTarget.Post(0, LINE_REPLY, requestId, 0, 0);
    Report(LINECALLSTATE_DIALING, 0);
}

LONG TSipCall::Drop(DWORD requestId)
{
    if (FCallState == LINECALLSTATE_IDLE)
        return LINEERR_INVALCALLSTATE;
    if (FStep == TStep::Calling && FNua)
        nua_cancel(FNua, TAG_END()); // the number is never dialled
    Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    FTarget.Post(0, LINE_REPLY, requestId, 0, 0);
    if (FCallState != LINECALLSTATE_DISCONNECTED)
        Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    Report(LINECALLSTATE_IDLE, 0);
    return LONG(requestId);
}

void TSipCall::Detach()
{
    FDetached = true;
    if (FStep != TStep::Done) {
        if (FStep == TStep::Calling && FNua)
            nua_cancel(FNua, TAG_END());
        HangUp();
        FStep = TStep::Done;
    }
    deleteLater();
}

void TSipCall::OnSipEvent(int event, int status, const char *, nua_handle_s *handle, const sip_s *sip)
{
    if (handle != FNua)
        return;
    switch (event) {
    case nua_r_invite: OnInviteAnswer(status, sip); break;
    case nua_r_refer:
        if (status >= 300 && FStep == TStep::Transferring)
            Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT); // the transfer was refused
        break;
    case nua_i_notify:
        if (sip && sip->sip_payload && FStep == TStep::Transferring)
            OnTransferStatus(SipfragStatus(QByteArray(sip->sip_payload->pl_data, int(sip->sip_payload->pl_len))));
        break;
    case nua_i_bye:
        if (FStep != TStep::Done)
            Finish(LINECALLSTATE_DISCONNECTED, FStep == TStep::Transferring ? LINEDISCONNECTMODE_UNAVAIL : LINEDISCONNECTMODE_NORMAL);
        break;
    default: break;
    }
}

void TSipCall::OnInviteAnswer(int status, const sip_s *sip)
{
    if (FStep != TStep::Calling || status < 200)
        return;
    if (status == 401 || status == 407) {
        if (!FAgent->Authenticate(FNua, sip, &FAuthTries))
            Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL);
        return;
    }
    if (status >= 300) {
        if (status == 486 || status == 600)
            Finish(LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
        else if (status == 404 || status == 480)
            Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE);
        else if (status == 408 || status == 487)
            Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER);
        else
            Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL);
        return;
    }
    // The desk phone has answered: it calls the number now.
    FAnswered = true;
    FStep = TStep::Transferring;
    const QString server = FAgent->Config().Server;
    const QByteArray referTo = "<sip:" + FNumber.toUtf8() + '@' + server.toUtf8() + ">";
    nua_refer(FNua, SIPTAG_REFER_TO_STR(referTo.constData()), TAG_END());
    FGuard.start(FAgent->Config().DialTimeout * 1000 * 2);
    Report(LINECALLSTATE_PROCEEDING, 0);
}

void TSipCall::OnTransferStatus(int status)
{
    if (status < 100)
        return;
    if (status < 200) {
        if (status == 180 || status == 183)
            Report(LINECALLSTATE_RINGBACK, 0);
        return;
    }
    if (status < 300)
        Finish(LINECALLSTATE_CONNECTED, 0);
    else if (status == 486 || status == 600)
        Finish(LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
    else if (status == 603)
        Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT);
    else if (status == 408 || status == 480 || status == 487)
        Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER);
    else
        Finish(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL);
}

void TSipCall::HangUp()
{
    if (FAnswered && FNua)
        nua_bye(FNua, TAG_END());
    FAnswered = false;
}

void TSipCall::Finish(DWORD state, DWORD detail)
{
    if (FStep == TStep::Done)
        return;
    FStep = TStep::Done;
    FGuard.stop();
    HangUp(); // the call is the desk phone's now
    Report(state, detail);
}

void TSipCall::Report(DWORD state, DWORD detail)
{
    const bool first = FCallState == 0;
    FCallState = state;
    if (!FDetached)
        FTarget.Post(FHandle, LINE_CALLSTATE, state, detail, first ? LINECALLPRIVILEGE_OWNER : 0);
}
