#pragma once

#include <QString>
#include <functional>

class TGridColumns;

// Copies the grid into a new workbook of the spreadsheet application
// registered as "EXCEL.APPLICATION": the fields' display names as titles in
// row 1, each column as wide as the grid's (pixels x 0.11 characters), then
// every record of the grid's record set from the first. The workbook is
// saved as a copy under fileName (a "C:\..." name is in the home folder) in
// the Excel 97 format and stays open, unsaved as a document, in the
// application, which keeps running for the user. Once the copy is saved,
// completed is called (the window shows its message) while the record set
// is still held; after it the record set is left on the record it was on,
// with its controls enabled, however the export ends. A failed or stopped
// export does not call completed.
void GridToSpreadsheet(TGridColumns *grid, const QString &fileName, const std::function<void()> &completed);
