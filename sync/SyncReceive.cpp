// The cards new to this directory, stored a batch at a time before the
// other steps run. They wait as they came from the server (the card, its
// href and ETag, deflated in the queue) and are read again here.
#include "sync/SyncRun.h"
#include "sync/SyncSession.h"

#include <QTimer>

namespace {

constexpr std::size_t kReceiveBatch = 500;

} // namespace

void TSyncRun::Receive()
{
    if (FFinished)
        return;
    if (FCancelled || FPlan.NewCards.Empty()) {
        FPlan.NewCards.Clear();
        return Apply();
    }
    std::vector<TSyncStep> batch;
    batch.reserve(std::min(FPlan.NewCards.Size(), kReceiveBatch));
    while (!FPlan.NewCards.Empty() && batch.size() < kReceiveBatch) {
        const TArrivedCard &c = FPlan.NewCards.Front();
        batch.push_back(ReceivedStep(c.Path, c.Card, c.ETag, FColumns.Read(c.Card)));
        batch.back().Ok = true;
        FPlan.NewCards.Pop();
    }
    FReceived += batch.size();
    // Stored as steps of their own: the plan's steps wait meanwhile.
    std::swap(batch, FSteps);
    Store(0, FSteps.size());
    std::swap(batch, FSteps);
    if (FFinished)
        return;
    Q_EMIT FOwner->Progress(qint64(FToFetch.size() + FReceived), qint64(FToFetch.size() + FReceived + FPlan.NewCards.Size() + FStepCount));
    QTimer::singleShot(0, this, [this] { Receive(); });
}
