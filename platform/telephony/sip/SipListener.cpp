#include "platform/telephony/sip/SipListener.h"

#include "platform/telephony/sip/SipStack.h"
#include "platform/telephony/sip/SipText.h"

namespace {

QByteArray UrlText(const url_t *url)
{
    su_home_t home[1] = {SU_HOME_INIT(home)};
    const QByteArray text(url ? url_as_string(home, url) : nullptr);
    su_home_deinit(home);
    return text;
}

} // namespace

TSipListener::TSipListener(HLINE line, TMessageTarget target, std::function<HCALL()> newHandle, QObject *parent)
    : QObject(parent), FLine(line), FTarget(std::move(target)), FNewHandle(std::move(newHandle))
{
}

TSipListener::~TSipListener()
{
    // The stack keeps the calls that still ring; they end without a word.
    for (const auto &[handle, call] : FRinging)
        nua_handle_bind(handle, nullptr);
}

void TSipListener::EndAll()
{
    while (!FRinging.empty()) {
        nua_handle_s *handle = FRinging.begin()->first;
        nua_handle_bind(handle, nullptr);
        End(handle, LINEDISCONNECTMODE_NOANSWER);
    }
}

void TSipListener::Offer(nua_handle_s *handle, const sip_s *sip)
{
    nua_handle_bind(handle, static_cast<TSipHandleOwner *>(this));
    nua_respond(handle, SIP_180_RINGING, TAG_END());
    const HCALL call = FNewHandle();
    TOfferedCall &offered = FCalls[call];
    FRinging[handle] = call;
    if (const sip_p_asserted_identity_t *asserted = sip ? sip_p_asserted_identity(sip) : nullptr)
        offered.CallerId = SipCaller(QByteArray(asserted->paid_display), UrlText(asserted->paid_url));
    else if (sip && sip->sip_from)
        offered.CallerId = SipCaller(QByteArray(sip->sip_from->a_display), UrlText(sip->sip_from->a_url));
    else
        offered.CallerId.Kind = TCallerId::TKind::Unavailable;
    offered.Rings = 1;
    TrimEnded();
    FTarget.Post(FLine, LINE_APPNEWCALL, 0, call, LINECALLPRIVILEGE_MONITOR);
    FTarget.Post(call, LINE_CALLSTATE, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE, 0);
    FTarget.Post(call, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID, 0, 0);
    FTarget.Post(FLine, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 1, 1);
}

void TSipListener::OnSipEvent(int event, int, const char *, nua_handle_s *handle, const sip_s *sip)
{
    if (event == nua_i_cancel) {
        // "Reason: SIP ;cause=200": another device of the extension answered.
        const sip_reason_t *reason = sip ? sip->sip_reason : nullptr;
        const bool answered =
            reason && reason->re_protocol && QByteArray(reason->re_protocol).toUpper() == "SIP" && QByteArray(reason->re_cause) == "200";
        End(handle, answered ? LINEDISCONNECTMODE_PICKUP : LINEDISCONNECTMODE_NOANSWER);
    } else if (event == nua_i_terminated) {
        End(handle, LINEDISCONNECTMODE_NOANSWER);
        nua_handle_destroy(handle);
    }
}

void TSipListener::End(nua_handle_s *handle, DWORD mode)
{
    const auto ringing = FRinging.find(handle);
    if (ringing == FRinging.end())
        return;
    const HCALL call = ringing->second;
    FRinging.erase(ringing);
    const auto it = FCalls.find(call);
    if (it == FCalls.end())
        return;
    it->second.State = LINECALLSTATE_IDLE;
    it->second.EndMode = mode;
    FTarget.Post(call, LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED, mode, 0);
    FTarget.Post(call, LINE_CALLSTATE, LINECALLSTATE_IDLE, 0, 0);
}
