#pragma once

#include "contacts/BatchQueue.h"
#include "contacts/ContactRecord.h"

#include <cstdint>
#include <functional>
#include <thread>

// Reads the records of a contact file on a thread of its own, so that the
// records before are checked and written meanwhile: the reader and its
// input are the thread's from construction until Next said the end or the
// object is gone.
class TBackgroundReader {
public:
    // next reads the next record (false at the end); bytesRead says how
    // far the file has been read.
    TBackgroundReader(std::function<bool(TContactRecord &)> next, std::function<std::int64_t()> bytesRead);
    // Stops the thread, the records not taken dropped.
    ~TBackgroundReader();
    TBackgroundReader(const TBackgroundReader &) = delete;
    TBackgroundReader &operator=(const TBackgroundReader &) = delete;

    // The next record, as next read it; false at the end (the thread has
    // ended then). Raises what the reading raised.
    bool Next(TContactRecord &record);
    // How far the file was read when that record had been read.
    std::int64_t BytesRead() const { return FBytesRead; }

private:
    struct TRead {
        TContactRecord Record;
        std::int64_t BytesRead = 0;
    };
    void Run();

    std::function<bool(TContactRecord &)> FNext;
    std::function<std::int64_t()> FBytesReadOf;
    TBatchQueue<TRead> FRecords;
    TBatchQueue<TRead>::TBatch FTaken;
    std::size_t FAt = 0;
    std::int64_t FBytesRead = 0;
    std::thread FThread;
};
