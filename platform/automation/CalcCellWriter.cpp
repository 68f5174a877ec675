#include "platform/automation/CalcCellWriter.h"

#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/table/XCellRange.hpp>

using namespace css;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY_THROW;

namespace {
void WriteRange(const Reference<sheet::XSpreadsheet> &sheet, sal_Int32 column, sal_Int32 row,
                const Sequence<Sequence<Any>> &data, sal_Int32 width)
{
    const Reference<table::XCellRange> range =
        sheet->getCellRangeByPosition(column, row, column + width - 1, row + data.getLength() - 1);
    Reference<sheet::XCellRangeData>(range, UNO_QUERY_THROW)->setDataArray(data);
}
}

void TCalcCellWriter::Put(const Reference<sheet::XSpreadsheet> &sheet, sal_Int32 column, sal_Int32 row,
                          const Any &value)
{
    if (!FSheet.is()) {
        Start(sheet, column, row, value);
        return;
    }
    const bool sameSheet = FSheet.get() == sheet.get() || FSheet == sheet;
    const sal_Int32 nextColumn = FColumn + sal_Int32(FCurrent.size());
    if (sameSheet && row == FCurrentRow && column == nextColumn && (FWidth == 0 || nextColumn < FColumn + FWidth)) {
        FCurrent.push_back(value);
        return;
    }
    if (sameSheet && row == FCurrentRow + 1 && column == FColumn
        && (FWidth == 0 || sal_Int32(FCurrent.size()) == FWidth)) {
        if (FWidth == 0)
            FWidth = sal_Int32(FCurrent.size());
        FRows.emplace_back(FCurrent.data(), sal_Int32(FCurrent.size()));
        FCurrent.clear();
        FCurrent.push_back(value);
        FCurrentRow = row;
        if (int(FRows.size()) >= kFlushRows || FSinceWrite.elapsed() >= kFlushIntervalMs) {
            try {
                WriteCompleteRows();
            } catch (...) {
                Reset();
                throw;
            }
        }
        return;
    }
    Flush();
    Start(sheet, column, row, value);
}

void TCalcCellWriter::Start(const Reference<sheet::XSpreadsheet> &sheet, sal_Int32 column, sal_Int32 row,
                            const Any &value)
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

void TCalcCellWriter::WriteCompleteRows()
{
    if (!FRows.empty()) {
        const Sequence<Sequence<Any>> data(FRows.data(), sal_Int32(FRows.size()));
        const sal_Int32 first = FFirstRow;
        FFirstRow += sal_Int32(FRows.size());
        FRows.clear();
        WriteRange(FSheet, FColumn, first, data, FWidth);
    }
    FSinceWrite.start();
}

void TCalcCellWriter::Flush()
{
    if (!FSheet.is())
        return;
    try {
        WriteCompleteRows();
        if (!FCurrent.empty()) {
            Sequence<Sequence<Any>> data(1);
            data.getArray()[0] = Sequence<Any>(FCurrent.data(), sal_Int32(FCurrent.size()));
            WriteRange(FSheet, FColumn, FCurrentRow, data, sal_Int32(FCurrent.size()));
        }
    } catch (...) {
        Reset();
        throw;
    }
    Reset();
}

void TCalcCellWriter::Reset()
{
    FSheet.clear();
    FRows.clear();
    FCurrent.clear();
    FWidth = 0;
}
