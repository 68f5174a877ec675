// The cards new to this directory, stored a batch at a time before the
// other steps run. They wait as they came from the server (the card, its
// href and ETag) and are read again here, so a first download holds little
// more than the cards themselves.
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
    if (FCancelled || FCards.empty()) {
        FCards = {};
        return Apply();
    }
    std::vector<TSyncStep> batch;
    batch.reserve(std::min(FCards.size(), kReceiveBatch));
    while (!FCards.empty() && batch.size() < kReceiveBatch) {
        const QByteArray card = FCards.front().Card();
        batch.push_back(NewFromServer(FCards.front().Path(), card, FCards.front().ETag(), Read(card)));
        batch.back().Ok = true;
        FCards.pop_front();
    }
    FReceived += batch.size();
    // Stored as steps of their own: the plan's steps wait meanwhile.
    std::swap(batch, FSteps);
    Store(0, FSteps.size());
    std::swap(batch, FSteps);
    if (FFinished)
        return;
    Q_EMIT FOwner->Progress(qint64(FToFetch.size() + FReceived), qint64(FToFetch.size() + FReceived + FCards.size() + FStepCount));
    QTimer::singleShot(0, this, [this] { Receive(); });
}
