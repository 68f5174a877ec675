#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

// Batches of items going from one thread to another, a few at a time, so
// that the giving side never runs far ahead. Either side may stop the
// hand-over (the other then learns it at its next call); a failure of the
// side on the thread is kept and raised on the other.
template <typename TItem> class TBatchQueue {
public:
    using TBatch = std::vector<TItem>;

    explicit TBatchQueue(std::size_t mostWaiting) : FMostWaiting(mostWaiting) {}

    // Gives a batch, waiting while too many wait; the batch comes back
    // empty (a spare one when there is one). False when the hand-over has
    // stopped.
    bool Give(TBatch &batch)
    {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [this] { return FQueue.size() < FMostWaiting || FStopped; });
        if (FStopped)
            return false;
        FQueue.push_back(std::move(batch));
        batch = TBatch();
        if (!FSpare.empty()) {
            batch = std::move(FSpare.back());
            FSpare.pop_back();
        }
        lock.unlock();
        FChanged.notify_all();
        return true;
    }

    // Takes the next batch into batch (whose items go back as a spare),
    // waiting for one. False when no more come: every batch given has been
    // taken and the giver has closed, or the hand-over has stopped.
    bool Take(TBatch &batch)
    {
        std::unique_lock lock(FMutex);
        if (batch.capacity() > 0) {
            batch.clear();
            FSpare.push_back(std::move(batch));
        }
        FChanged.wait(lock, [this] { return !FQueue.empty() || FClosed || FStopped; });
        if (FStopped || FQueue.empty())
            return false;
        batch = std::move(FQueue.front());
        FQueue.pop_front();
        lock.unlock();
        FChanged.notify_all();
        return true;
    }

    // The giver has no more batches.
    void Close()
    {
        {
            const std::lock_guard lock(FMutex);
            FClosed = true;
        }
        FChanged.notify_all();
    }

    // Ends the hand-over at once, keeping failure (when any) to be raised.
    void Stop(std::exception_ptr failure = nullptr)
    {
        {
            const std::lock_guard lock(FMutex);
            FStopped = true;
            if (failure && !FFailure)
                FFailure = failure;
        }
        FChanged.notify_all();
    }

    bool Stopped()
    {
        const std::lock_guard lock(FMutex);
        return FStopped;
    }

    // Raises the failure kept, once.
    void RaiseFailure()
    {
        std::exception_ptr failure;
        {
            const std::lock_guard lock(FMutex);
            std::swap(failure, FFailure);
        }
        if (failure)
            std::rethrow_exception(failure);
    }

private:
    std::size_t FMostWaiting;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TBatch> FQueue;
    std::vector<TBatch> FSpare;
    bool FClosed = false;
    bool FStopped = false;
    std::exception_ptr FFailure;
};
