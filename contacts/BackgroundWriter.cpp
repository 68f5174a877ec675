#include "contacts/BackgroundWriter.h"

#include "contacts/ContactWriter.h"

namespace {

// Rows a batch, and batches waiting at most: some thousands of rows in
// hand, a few hundred kilobytes.
constexpr std::size_t kBatchRows = 512;
constexpr std::size_t kMostWaiting = 8;

} // namespace

TBackgroundWriter::TBackgroundWriter(TContactWriter &writer, int columns) : FWriter(writer), FColumns(columns)
{
    FFilling.reserve(kBatchRows * std::size_t(columns));
    FThread = std::thread([this] { Run(); });
}

TBackgroundWriter::~TBackgroundWriter()
{
    {
        const std::lock_guard lock(FMutex);
        FStopping = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TBackgroundWriter::RaiseFailure()
{
    // Raised once on this side; the thread has ended by then.
    std::exception_ptr failure;
    std::swap(failure, FFailure);
    std::rethrow_exception(failure);
}

void TBackgroundWriter::Hand()
{
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FQueue.size() < kMostWaiting || FDone; });
    if (FFailure)
        RaiseFailure();
    FQueue.push_back(std::move(FFilling));
    if (FSpare.empty()) {
        FFilling = TBatch();
        FFilling.reserve(kBatchRows * std::size_t(FColumns));
    } else {
        FFilling = std::move(FSpare.back());
        FSpare.pop_back();
    }
    lock.unlock();
    FChanged.notify_all();
}

void TBackgroundWriter::Add(const QByteArray *values)
{
    FFilling.insert(FFilling.end(), values, values + FColumns);
    if (FFilling.size() >= kBatchRows * std::size_t(FColumns))
        Hand();
}

void TBackgroundWriter::Finish()
{
    if (!FFilling.empty())
        Hand();
    std::unique_lock lock(FMutex);
    FFinishing = true;
    FChanged.notify_all();
    FChanged.wait(lock, [this] { return FDone; });
    if (FFailure)
        RaiseFailure();
}

void TBackgroundWriter::Run()
{
    std::unique_lock lock(FMutex);
    try {
        for (;;) {
            FChanged.wait(lock, [this] { return FStopping || FFinishing || !FQueue.empty(); });
            if (FStopping)
                break;
            if (FQueue.empty()) { // finishing, every row written
                lock.unlock();
                FWriter.FinishRows();
                lock.lock();
                break;
            }
            TBatch batch = std::move(FQueue.front());
            FQueue.pop_front();
            lock.unlock();
            FChanged.notify_all();
            for (std::size_t row = 0; row < batch.size(); row += std::size_t(FColumns))
                FWriter.Add(batch.data() + row);
            batch.clear();
            lock.lock();
            FSpare.push_back(std::move(batch));
        }
    } catch (...) {
        if (!lock.owns_lock())
            lock.lock();
        FFailure = std::current_exception();
    }
    FDone = true;
    lock.unlock();
    FChanged.notify_all();
}
