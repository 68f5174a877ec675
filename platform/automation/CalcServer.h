#pragma once

class TClassRegistry;

// Registers the spreadsheet server as "EXCEL.APPLICATION". It answers the
// members the program uses, with LibreOffice Calc doing the work:
//
//   application  Visible (put/get)       shows the workbooks it made (no-op headless)
//                Workbooks (get)         the workbooks collection
//                DisplayAlerts (put/get) kept; Calc asks nothing for our calls
//   workbooks    Add                     a new Calc document in a window of its own
//   workbook     Worksheets(n) (get)     its n-th sheet, from 1
//                SaveCopyAs(name)        stores a copy (the document stays as it is);
//                                        "C:\..." is the home folder; .xls is
//                                        Excel 97, .xlsx Excel 2007, .ods Calc
//   worksheet    Cells(row, col) = value text stays text exactly ("00123")
//                Columns(n) (get)        the n-th column
//   column       ColumnWidth (put/get)   in characters; see CalcServer.cpp
//
// Cells are gathered and written in blocks; everything pending is written
// before any other member call and when the objects are released.
void RegisterCalcServer(TClassRegistry &registry);
