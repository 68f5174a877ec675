#pragma once

#include <QByteArray>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

class TContactWriter;

// Writes the rows handed to it through a TContactWriter on a thread of its
// own, so that a file is read and checked while the rows before are
// written: the connection is the thread's from the first Add until Finish
// returns or the object is gone, and nothing else may use it meanwhile.
// Rows go over in batches, a few at a time, so that the reading never runs
// far ahead.
class TBackgroundWriter {
public:
    TBackgroundWriter(TContactWriter &writer, int columns);
    // Stops the thread; rows not written yet are dropped (the writer then
    // takes everything back unless committed).
    ~TBackgroundWriter();
    TBackgroundWriter(const TBackgroundWriter &) = delete;
    TBackgroundWriter &operator=(const TBackgroundWriter &) = delete;

    // Takes the row (one value per column; the values are shared, not
    // copied). Raises what the writing raised, at the latest at the next
    // batch after it failed.
    void Add(const QByteArray *values);
    // Waits until every row is written and the writer's rows are finished
    // (TContactWriter::FinishRows); raises what the writing raised.
    void Finish();

private:
    using TBatch = std::vector<QByteArray>;
    void Hand();
    void Run();
    void RaiseFailure();

    TContactWriter &FWriter;
    int FColumns;
    TBatch FFilling;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TBatch> FQueue;   // batches waiting to be written
    std::vector<TBatch> FSpare;  // batches written, for reuse
    bool FFinishing = false;     // no more rows come
    bool FStopping = false;      // drop what is left
    bool FDone = false;          // the thread has ended
    std::exception_ptr FFailure; // what the writing raised
    std::thread FThread;
};
