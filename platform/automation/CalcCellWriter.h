#pragma once

#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/uno/Any.hxx>
#include <com/sun/star/uno/Sequence.hxx>

#include <QElapsedTimer>
#include <vector>

// Gathers the cells written one by one and sends them to Calc in blocks,
// one call per block instead of one per cell (each call is a round trip to
// the other process).
//
// A block is a rectangle filled in reading order: the cells of its first
// row from left to right, then each further row over the same columns. A
// cell that does not continue the rectangle writes what is pending and
// starts a new block. Complete rows are written every kFlushRows rows and at
// least every kFlushInterval, so the user sees the sheet fill as the rows
// come; the rest is written by Flush, which the server calls before every
// other member call and when its objects are released.
class TCalcCellWriter {
public:
    static constexpr int kFlushRows = 4096;
    static constexpr int kFlushIntervalMs = 200;

    // column and row count from 0. Raises UNO errors of a write it makes.
    void Put(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet, sal_Int32 column, sal_Int32 row,
             const css::uno::Any &value);
    // Writes everything pending. On failure what was pending is dropped and
    // the UNO error goes on.
    void Flush();
    bool Pending() const { return FSheet.is(); }

private:
    void Start(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet, sal_Int32 column, sal_Int32 row,
               const css::uno::Any &value);
    void WriteCompleteRows();
    void Reset();

    css::uno::Reference<css::sheet::XSpreadsheet> FSheet;
    sal_Int32 FColumn = 0;   // first column of the block
    sal_Int32 FFirstRow = 0; // row of FRows.front()
    sal_Int32 FWidth = 0;    // columns of a complete row; 0 until the first row is complete
    std::vector<css::uno::Sequence<css::uno::Any>> FRows; // complete rows not yet written
    std::vector<css::uno::Any> FCurrent;                  // the row being filled
    sal_Int32 FCurrentRow = 0;
    QElapsedTimer FSinceWrite;
};
