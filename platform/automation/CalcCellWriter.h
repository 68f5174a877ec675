#pragma once

#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/uno/Any.hxx>
#include <com/sun/star/uno/Sequence.hxx>

#include <QElapsedTimer>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// Gathers the cells written one by one and sends them to Calc in blocks,
// one call per block instead of one per cell (each call is a round trip to
// the other process).
//
// A block is a rectangle filled in reading order: the cells of its first
// row from left to right, then each further row over the same columns. A
// cell that does not continue the rectangle writes what is pending and
// starts a new block. Complete rows are handed on once kFlushRows of them
// have gathered or kFlushIntervalMs have passed since the last hand-over
// (looked at as each row completes), so the user sees the sheet fill as the
// rows come; Flush writes the rest and returns when everything is in the
// sheet. The server calls it before every other member call and when its
// objects are released.
//
// The blocks are written by a thread of the writer's own, in order, while
// the caller goes on gathering the next rows; at most kQueuedBlocks wait.
// A failed write drops what is pending; its error is raised by Flush, or by
// the first Put after it that starts a block or hands rows on.
class TCalcCellWriter {
public:
    static constexpr int kFlushRows = 8192;
    static constexpr int kFlushIntervalMs = 200;
    static constexpr size_t kQueuedBlocks = 2;

    TCalcCellWriter() = default;
    ~TCalcCellWriter();
    TCalcCellWriter(const TCalcCellWriter &) = delete;
    TCalcCellWriter &operator=(const TCalcCellWriter &) = delete;

    // column and row count from 0.
    void Put(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet, sal_Int32 column, sal_Int32 row, const css::uno::Any &value);
    void Flush();

private:
    struct TBlock {
        css::uno::Reference<css::sheet::XSpreadsheet> Sheet;
        sal_Int32 Column = 0, Row = 0, Width = 0;
        css::uno::Sequence<css::uno::Sequence<css::uno::Any>> Data;
    };

    void Start(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet, sal_Int32 column, sal_Int32 row, const css::uno::Any &value);
    void HandOnCompleteRows();
    void HandOnCurrentRow();
    void Enqueue(TBlock block);
    void WaitIdle();
    void RaiseFailure();
    void Reset();
    void Work();

    // Gathering (caller's thread only).
    css::uno::Reference<css::sheet::XSpreadsheet> FSheet;
    sal_Int32 FColumn = 0;                                // first column of the block
    sal_Int32 FFirstRow = 0;                              // row of FRows.front()
    sal_Int32 FWidth = 0;                                 // columns of a complete row; 0 until the first row is complete
    std::vector<css::uno::Sequence<css::uno::Any>> FRows; // complete rows not yet handed on
    std::vector<css::uno::Any> FCurrent;                  // the row being filled
    sal_Int32 FCurrentRow = 0;
    QElapsedTimer FSinceWrite;

    // Writing (shared with the thread).
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TBlock> FQueue;
    bool FBusy = false;
    bool FStop = false;
    std::exception_ptr FFailure;
    std::thread FThread;
};
