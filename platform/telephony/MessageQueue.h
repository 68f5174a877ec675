#pragma once

#include "platform/telephony/Tapi.h"

#include <QObject>
#include <QPointer>
#include <deque>

// The messages of one registered application, in the order the service
// sent them. Each is handed to the callback from the event loop of the
// thread that registered, one per event, and never while a line function
// is still running: while the service waits in place for a modem (see
// TMessageHold) the messages stay queued and follow in order afterwards.
class TMessageQueue : public QObject {
    Q_OBJECT
public:
    TMessageQueue();
    ~TMessageQueue() override;

    void Push(LINECALLBACK callback, DWORD device, DWORD message, DWORD instance, DWORD param1, DWORD param2, DWORD param3);

private:
    struct TMessage {
        LINECALLBACK Callback;
        DWORD Device, Message, Instance, Param1, Param2, Param3;
    };
    friend class TMessageHold;

    void Schedule();
    void DeliverOne();

    std::deque<TMessage> FPending;
    int FHeldBack = 0; // deliveries that came while messages were held
};

// While one lives, no message reaches a callback: a line function that
// waits for its modem in a local event loop holds them back this way.
class TMessageHold {
public:
    TMessageHold();
    ~TMessageHold();
    TMessageHold(const TMessageHold &) = delete;
    TMessageHold &operator=(const TMessageHold &) = delete;
};

// Where a line's or a call's messages go: the callback of the application
// that owns the line, through that application's queue.
struct TMessageTarget {
    QPointer<TMessageQueue> Queue;
    LINECALLBACK Callback = nullptr;
    DWORD CallbackInstance = 0;

    void Post(DWORD device, DWORD message, DWORD param1, DWORD param2, DWORD param3) const;
};
