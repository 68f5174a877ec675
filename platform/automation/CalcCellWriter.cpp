#include "platform/automation/CalcCellWriter.h"

#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/table/XCellRange.hpp>

using namespace css;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY_THROW;

TCalcCellWriter::~TCalcCellWriter()
{
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FChanged.notify_all();
    if (FThread.joinable())
        FThread.join();
}

void TCalcCellWriter::Put(const Reference<sheet::XSpreadsheet> &sheet, sal_Int32 column, sal_Int32 row, const Any &value)
{
    if (!FSheet.is()) {
        RaiseFailure();
        Start(sheet, column, row, value);
        return;
    }
    const bool sameSheet = FSheet.get() == sheet.get() || FSheet == sheet;
    const sal_Int32 nextColumn = FColumn + sal_Int32(FCurrent.size());
    if (sameSheet && row == FCurrentRow && column == nextColumn && (FWidth == 0 || nextColumn < FColumn + FWidth)) {
        FCurrent.push_back(value);
        return;
    }
    if (sameSheet && row == FCurrentRow + 1 && column == FColumn && (FWidth == 0 || sal_Int32(FCurrent.size()) == FWidth)) {
        if (FWidth == 0)
            FWidth = sal_Int32(FCurrent.size());
        FRows.emplace_back(FCurrent.data(), sal_Int32(FCurrent.size()));
        FCurrent.clear();
        FCurrent.push_back(value);
        FCurrentRow = row;
        if (int(FRows.size()) >= kFlushRows || FSinceWrite.elapsed() >= kFlushIntervalMs)
            HandOnCompleteRows();
        return;
    }
    Flush();
    Start(sheet, column, row, value);
}

void TCalcCellWriter::Start(const Reference<sheet::XSpreadsheet> &sheet, sal_Int32 column, sal_Int32 row, const Any &value)
{
    FSheet = sheet;
    FColumn = column;
    FFirstRow = row;
    FCurrentRow = row;
    FWidth = 0;
    FRows.clear();
    FCurrent.assign(1, value);
    FSinceWrite.start();
}

void TCalcCellWriter::HandOnCompleteRows()
{
    if (!FRows.empty()) {
        TBlock block{FSheet, FColumn, FFirstRow, FWidth, Sequence<Sequence<Any>>(FRows.data(), sal_Int32(FRows.size()))};
        FFirstRow += sal_Int32(FRows.size());
        FRows.clear();
        Enqueue(std::move(block));
    }
    FSinceWrite.start();
}

void TCalcCellWriter::HandOnCurrentRow()
{
    if (FCurrent.empty())
        return;
    TBlock block{FSheet, FColumn, FCurrentRow, sal_Int32(FCurrent.size()), Sequence<Sequence<Any>>(1)};
    block.Data.getArray()[0] = Sequence<Any>(FCurrent.data(), sal_Int32(FCurrent.size()));
    FCurrent.clear();
    Enqueue(std::move(block));
}

void TCalcCellWriter::Flush()
{
    if (FSheet.is()) {
        HandOnCompleteRows();
        HandOnCurrentRow();
        Reset();
    }
    WaitIdle();
    RaiseFailure();
}

void TCalcCellWriter::Enqueue(TBlock block)
{
    std::unique_lock lock(FMutex);
    if (FFailure) {
        lock.unlock();
        Reset();
        RaiseFailure();
    }
    if (!FThread.joinable())
        FThread = std::thread([this] { Work(); });
    FChanged.wait(lock, [this] { return FQueue.size() < kQueuedBlocks || FFailure; });
    if (FFailure) {
        lock.unlock();
        Reset();
        RaiseFailure();
    }
    FQueue.push_back(std::move(block));
    lock.unlock();
    FChanged.notify_all();
}

void TCalcCellWriter::WaitIdle()
{
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FQueue.empty() && !FBusy; });
}

void TCalcCellWriter::RaiseFailure()
{
    std::exception_ptr failure;
    {
        std::lock_guard lock(FMutex);
        failure = std::exchange(FFailure, nullptr);
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TCalcCellWriter::Reset()
{
    FSheet.clear();
    FRows.clear();
    FCurrent.clear();
    FWidth = 0;
}

void TCalcCellWriter::Work()
{
    std::unique_lock lock(FMutex);
    for (;;) {
        FChanged.wait(lock, [this] { return FStop || !FQueue.empty(); });
        if (FQueue.empty())
            return; // stopping with nothing left
        TBlock block = std::move(FQueue.front());
        FQueue.pop_front();
        FBusy = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            const Reference<table::XCellRange> range = block.Sheet->getCellRangeByPosition(
                block.Column, block.Row, block.Column + block.Width - 1, block.Row + block.Data.getLength() - 1);
            Reference<sheet::XCellRangeData>(range, UNO_QUERY_THROW)->setDataArray(block.Data);
        } catch (...) {
            failure = std::current_exception();
        }
        block = TBlock();
        lock.lock();
        FBusy = false;
        if (failure) {
            FFailure = failure;
            FQueue.clear(); // what follows a failed block is not written
        }
        FChanged.notify_all();
    }
}
