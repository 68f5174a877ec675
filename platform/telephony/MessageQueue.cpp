#include "platform/telephony/MessageQueue.h"

#include <QMetaObject>
#include <set>

namespace {

int Holds = 0;

std::set<TMessageQueue *> &Queues()
{
    static std::set<TMessageQueue *> queues;
    return queues;
}

} // namespace

TMessageQueue::TMessageQueue()
{
    Queues().insert(this);
}

TMessageQueue::~TMessageQueue()
{
    Queues().erase(this);
}

void TMessageQueue::Push(LINECALLBACK callback, DWORD device, DWORD message, DWORD instance, DWORD param1, DWORD param2, DWORD param3)
{
    FPending.push_back({callback, device, message, instance, param1, param2, param3});
    Schedule();
}

void TMessageQueue::Schedule()
{
    QMetaObject::invokeMethod(
        this, [this]() { DeliverOne(); }, Qt::QueuedConnection);
}

void TMessageQueue::DeliverOne()
{
    if (Holds > 0) {
        ++FHeldBack;
        return;
    }
    if (FPending.empty())
        return;
    const TMessage m = FPending.front();
    FPending.pop_front();
    // The callback may shut the application down, and this queue with it.
    m.Callback(m.Device, m.Message, m.Instance, m.Param1, m.Param2, m.Param3);
}

TMessageHold::TMessageHold()
{
    ++Holds;
}

TMessageHold::~TMessageHold()
{
    if (--Holds > 0)
        return;
    for (TMessageQueue *queue : Queues()) {
        for (; queue->FHeldBack > 0; --queue->FHeldBack)
            queue->Schedule();
    }
}

void TMessageTarget::Post(DWORD device, DWORD message, DWORD param1, DWORD param2, DWORD param3) const
{
    if (Queue && Callback)
        Queue->Push(Callback, device, message, CallbackInstance, param1, param2, param3);
}
