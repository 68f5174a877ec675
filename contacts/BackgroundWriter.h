#pragma once

#include "contacts/BatchQueue.h"

#include <QByteArray>
#include <thread>

class TContactWriter;

// Writes the rows handed to it through a TContactWriter on a thread of its
// own, so that a file is read and checked while the rows before are
// written: the connection is the thread's from the first Add until Finish
// returns or the object is gone, and nothing else may use it meanwhile.
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
    void Hand();
    void Run();

    TContactWriter &FWriter;
    int FColumns;
    TBatchQueue<QByteArray>::TBatch FFilling;
    TBatchQueue<QByteArray> FRows;
    std::thread FThread;
};
