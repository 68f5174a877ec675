#include "platform/telephony/ModemListener.h"

#include "platform/telephony/LineService.h"

namespace {

// Lines of one caller ID block arrive close together.
constexpr int BlockEndMs = 300;
constexpr int RetryMs = 5000;

} // namespace

TModemListener::TModemListener(HLINE line, TMessageTarget target, std::function<HCALL()> newHandle, QObject *parent)
    : QObject(parent), FLine(line), FTarget(std::move(target)), FNewHandle(std::move(newHandle))
{
    for (QTimer *timer : {&FBlockEnd, &FRingGap, &FRingReport, &FRetry})
        timer->setSingleShot(true);
    FBlockEnd.setInterval(BlockEndMs);
    FRingGap.setInterval(RingGapMs);
    FRingReport.setInterval(0);
    FRetry.setInterval(RetryMs);
    connect(&FLink, &TModemLink::Answered, this, [this](TModemResult r) { OnAnswered(r); });
    connect(&FLink, &TModemLink::TimedOut, this, [this]() { OnTimedOut(); });
    connect(&FLink, &TModemLink::Unsolicited, this, &TModemListener::OnUnsolicited);
    connect(&FBlockEnd, &QTimer::timeout, this, &TModemListener::CommitCallerId);
    connect(&FRingGap, &QTimer::timeout, this, &TModemListener::EndOffer);
    connect(&FRingReport, &QTimer::timeout, this, [this]() {
        const auto call = FCalls.find(FRinging);
        if (call != FCalls.end())
            FTarget.Post(FLine, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 1, call->second.Rings);
    });
    connect(&FRetry, &QTimer::timeout, this, [this]() { Start(FConfig); });
}

TModemListener::~TModemListener()
{
    FTarget = TMessageTarget();
    Stop();
}

void TModemListener::Start(const TModemConfig &config)
{
    if (FLink.IsOpen())
        return;
    FConfig = config;
    FCallerIdOn = false;
    if (!FLink.Open(config)) {
        FRetry.start();
        return;
    }
    if (!config.CallerId) {
        FSetup = TSetup::Listening;
        return;
    }
    FSetup = TSetup::Initialising;
    FLink.Command(ModemInitCommand(config), ModemCommandTimeoutMs(config));
}

void TModemListener::Stop()
{
    FRetry.stop();
    FBlockEnd.stop();
    FRingReport.stop();
    FBlock.Clear();
    FLink.Close();
    FSetup = TSetup::Closed;
    if (FRinging != 0)
        EndOffer();
}

void TModemListener::OnAnswered(TModemResult result)
{
    switch (FSetup) {
    case TSetup::Initialising:
        if (result == TModemResult::Ring)
            break;
        // A modem that does not take its initialisation still rings, but
        // is not asked for caller ID.
        if (result != TModemResult::Ok) {
            RefuseCallerId();
            return;
        }
        FSetup = TSetup::TurningOnCallerId;
        FLink.Command(ModemCallerIdCommand(FConfig), ModemCommandTimeoutMs(FConfig));
        return;
    case TSetup::TurningOnCallerId:
        if (result == TModemResult::Ring)
            break;
        if (result == TModemResult::Ok) {
            FSetup = TSetup::Listening;
            FCallerIdOn = true;
        } else {
            RefuseCallerId();
        }
        return;
    case TSetup::Listening:
    case TSetup::Closed: break;
    }
    if (result == TModemResult::Ring)
        Ring();
}

void TModemListener::OnTimedOut()
{
    if (FSetup == TSetup::Initialising || FSetup == TSetup::TurningOnCallerId)
        RefuseCallerId();
}

void TModemListener::RefuseCallerId()
{
    FSetup = TSetup::Listening;
    FCallerIdOn = false;
    // Said once for the line, not again each time a call gives the modem back.
    if (!FRefusalReported)
        FTarget.Post(FLine, LINE_DEVSPECIFIC, LineCallerIdRefused, 0, 0);
    FRefusalReported = true;
}

void TModemListener::OnUnsolicited(const QByteArray &line)
{
    if (FSetup == TSetup::Closed || !FBlock.Take(line))
        return; // information text, noise
    FBlockEnd.start();
}

void TModemListener::Ring()
{
    CommitCallerId();
    if (FRinging == 0)
        FRinging = Offer();
    TOfferedCall &call = FCalls[FRinging];
    if (call.Rings < 0xFFFFFFFF)
        ++call.Rings;
    FRingGap.start();
    if (!FRingReport.isActive())
        FRingReport.start();
}

HCALL TModemListener::Offer()
{
    const HCALL handle = FNewHandle();
    FCalls[handle] = TOfferedCall();
    TrimEnded();
    FTarget.Post(FLine, LINE_APPNEWCALL, 0, handle, LINECALLPRIVILEGE_MONITOR);
    FTarget.Post(handle, LINE_CALLSTATE, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE, 0);
    return handle;
}

void TModemListener::CommitCallerId()
{
    FBlockEnd.stop();
    if (FBlock.IsEmpty())
        return;
    const TCallerId id = FBlock.Result();
    FBlock.Clear();
    if (FRinging == 0) {
        // Caller ID before the first RING, as some networks send it: the
        // call is offered with it (the owner reads it when told of the call).
        FRinging = Offer();
        FCalls[FRinging].CallerId = id;
        FRingGap.start();
        return;
    }
    // A block may come in parts (the name after the number): what a later
    // part leaves out stays as the earlier one gave it.
    TCallerId &known = FCalls[FRinging].CallerId;
    if (id.Kind != TCallerId::TKind::None) {
        known.Kind = id.Kind;
        known.Number = id.Number;
    }
    for (auto [part, earlier] : {std::pair{&id.Name, &known.Name}, std::pair{&id.Date, &known.Date}, std::pair{&id.Time, &known.Time}}) {
        if (!part->isEmpty())
            *earlier = *part;
    }
    FTarget.Post(FRinging, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID, 0, 0);
}

void TModemListener::EndOffer()
{
    FRingGap.stop();
    if (FSetup != TSetup::Closed)
        CommitCallerId();
    const auto call = FCalls.find(FRinging);
    FRinging = 0;
    if (call == FCalls.end())
        return;
    call->second.State = LINECALLSTATE_IDLE;
    FTarget.Post(call->first, LINE_CALLSTATE, LINECALLSTATE_IDLE, 0, 0);
}
