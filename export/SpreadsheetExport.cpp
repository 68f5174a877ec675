#include "export/SpreadsheetExport.h"

#include "platform/automation/ClassRegistry.h"
#include "platform/automation/OleCall.h"
#include "platform/core/Progress.h"
#include "platform/core/GridColumns.h"
#include "store/ADOQuery.h"
#include "store/DataSource.h"
#include "store/Field.h"

#include <exception>
#include <vector>

namespace {

// Runs the steps that must happen however the export ends. On the success
// path the first failure among them is raised after all have run; when an
// error is already on its way, theirs are dropped so that the user reads
// the first one.
class TCleanup {
public:
    template <typename F> void Run(F &&step)
    {
        try {
            step();
        } catch (...) {
            if (!FFirst)
                FFirst = std::current_exception();
        }
    }
    void RaiseFirst()
    {
        if (FFirst)
            std::rethrow_exception(FFirst);
    }

private:
    std::exception_ptr FFirst;
};

} // namespace

void GridToSpreadsheet(TGridColumns *grid, const QString &fileName, const std::function<void()> &completed)
{
    // The record set, its record number, the controls held still.
    TADOQuery *query = grid->DataSource()->DataSet();
    const int recNo = query->RecNo(); // a closed set fails here, before anything starts
    const bool wasInserting = query->State() == rsInsert;
    const int countBefore = query->RecordCount();
    int restoreTo = recNo;
    query->DisableControls();

    // Released in reverse order of declaration: worksheet, workbook,
    // workbooks, column, application.
    TComPtr<IDispatch> application;
    TComPtr<IDispatch> column;
    TComPtr<IDispatch> workbooks;
    TComPtr<IDispatch> workbook;
    TComPtr<IDispatch> worksheet;

    std::exception_ptr failure;
    try {
        // The application, visible, a new workbook, its first sheet.
        application = CreateOleObject(QStringLiteral("EXCEL.APPLICATION"));
        OlePropertySet(application.Get(), QStringLiteral("VISIBLE"), {}, true);
        workbooks = OleFunction(application.Get(), QStringLiteral("WORKBOOKS")).ToDispatch();
        workbook = OleFunction(workbooks.Get(), QStringLiteral("ADD")).ToDispatch();
        worksheet = OlePropertyGet(workbook.Get(), QStringLiteral("WORKSHEETS"), {1}).ToDispatch();

        // Titles and widths.
        const int columns = grid->ColumnCount();
        std::vector<TField *> fields;
        for (int i = 0; i < columns; ++i) {
            TField *field = query->FieldByName(grid->ColumnFieldName(i));
            fields.push_back(field);
            OlePropertySet(worksheet.Get(), QStringLiteral("CELLS"), {1, i + 1}, field->DisplayName());
            column = OlePropertyGet(worksheet.Get(), QStringLiteral("Columns"), {i + 1}).ToDispatch();
            OlePropertySet(column.Get(), QStringLiteral("ColumnWidth"), {}, grid->ColumnWidth(i) * 0.11);
        }

        // From the first record; this posts or drops a pending row. A
        // new row that was being inserted (no record number) and is posted
        // now stands at the end of the set: that is where the cursor goes
        // back to.
        query->First();
        if (recNo < 0 && wasInserting && query->RecordCount() > countBefore)
            restoreTo = query->RecordCount();
        int row = 1;

        // Every record. Stopping leaves the workbook as filled so far, open
        // in the application; nothing is saved and no message follows.
        {
            TProgress progress(QStringLiteral("Kayıtlar hesap tablosuna aktarılıyor"), query->RecordCount());
            while (!query->Eof()) {
                ++row;
                for (int j = 0; j < columns; ++j)
                    OlePropertySet(worksheet.Get(), QStringLiteral("CELLS"), {VARIANT::ByRef(&row), j + 1}, fields[size_t(j)]->AsString());
                progress.StepOrAbort(row - 1);
                query->Next();
            }
        }

        // The window's message says the data is saved in Excel format on
        // C:; save a copy there first (this also writes every cell still
        // pending), so that it is true.
        OleProcedure(workbook.Get(), QStringLiteral("SaveCopyAs"), {fileName});

        // Done.
        if (completed)
            completed();
    } catch (...) {
        failure = std::current_exception();
    }

    // Alerts off, the record back, the controls back, whatever happened above.
    TCleanup cleanup;
    if (application)
        cleanup.Run([&] { OlePropertySet(application.Get(), QStringLiteral("DisplayAlerts"), {}, false); });
    cleanup.Run([&] {
        if (restoreTo > 0 && query->Active())
            query->SetRecNo(restoreTo);
    });
    cleanup.Run([&] { query->EnableControls(); });

    // The objects are released when they go out of scope.
    if (failure)
        std::rethrow_exception(failure);
    cleanup.RaiseFirst();
}
