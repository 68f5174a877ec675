// The cards new to this directory, stored a batch at a time before the
// other steps run. They wait as they came from the server (the card, its
// href and ETag) and are read again here, so a first download holds little
// more than the cards themselves.
#include "sync/SyncRun.h"
#include "sync/SyncSession.h"

#include <QTimer>

namespace {

constexpr std::size_t kReceiveBatch = 100;

} // namespace

void TSyncRun::Receive()
{
    if (FFinished)
        return;
    if (FCancelled || FReceived >= FCards.size()) {
        FCards = {};
        return Apply();
    }
    const std::size_t end = std::min(FCards.size(), FReceived + kReceiveBatch);
    std::vector<TSyncStep> batch;
    batch.reserve(end - FReceived);
    for (std::size_t i = FReceived; i < end; ++i) {
        auto &[path, card] = FCards[i];
        batch.push_back(NewFromServer(path, card.first, card.second, Read(card.first)));
        batch.back().Ok = true;
        FCards[i] = {};
    }
    // Stored as steps of their own: the plan's steps wait meanwhile.
    std::swap(batch, FSteps);
    Store(0, FSteps.size());
    std::swap(batch, FSteps);
    FReceived = end;
    if (FFinished)
        return;
    Q_EMIT FOwner->Progress(qint64(FToFetch.size() + FReceived), qint64(FToFetch.size() + FCards.size() + FSteps.size()));
    QTimer::singleShot(0, this, [this] { Receive(); });
}
