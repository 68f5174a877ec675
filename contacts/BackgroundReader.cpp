#include "contacts/BackgroundReader.h"

namespace {

// Records a batch, and batches waiting at most: the reading keeps a few
// thousand records ahead.
constexpr std::size_t kBatchRecords = 256;
constexpr std::size_t kMostWaiting = 4;

} // namespace

TBackgroundReader::TBackgroundReader(std::function<bool(TContactRecord &)> next, std::function<std::int64_t()> bytesRead)
    : FNext(std::move(next)), FBytesReadOf(std::move(bytesRead)), FRecords(kMostWaiting)
{
    FThread = std::thread([this] { Run(); });
}

TBackgroundReader::~TBackgroundReader()
{
    FRecords.Stop();
    if (FThread.joinable())
        FThread.join();
}

bool TBackgroundReader::Next(TContactRecord &record)
{
    if (FAt == FTaken.size()) {
        FAt = 0;
        if (!FRecords.Take(FTaken)) {
            FTaken.clear();
            if (FThread.joinable())
                FThread.join();
            FRecords.RaiseFailure();
            return false;
        }
    }
    TRead &read = FTaken[FAt++];
    record = std::move(read.Record);
    FBytesRead = read.BytesRead;
    return true;
}

void TBackgroundReader::Run()
{
    try {
        TBatchQueue<TRead>::TBatch batch;
        batch.reserve(kBatchRecords);
        TRead read;
        while (FNext(read.Record)) {
            read.BytesRead = FBytesReadOf();
            batch.push_back(std::move(read));
            if (batch.size() == kBatchRecords) {
                if (!FRecords.Give(batch))
                    return;
                batch.reserve(kBatchRecords);
            }
        }
        if (!batch.empty() && !FRecords.Give(batch))
            return;
        FRecords.Close();
    } catch (...) {
        FRecords.Stop(std::current_exception());
    }
}
