// A program of its own for the test: makes a workbook through the server,
// writes its first argument into A1 and ends, as the program would.
#include "platform/automation/CalcServer.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/automation/OleCall.h"
#include "platform/core/Exception.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    RegisterCalcServer(ClassRegistry());
    try {
        const TComPtr<IDispatch> excel = CreateOleObject(QStringLiteral("EXCEL.APPLICATION"));
        OlePropertySet(excel.Get(), QStringLiteral("Visible"), {}, true);
        const TComPtr<IDispatch> books = OleFunction(excel.Get(), QStringLiteral("Workbooks")).ToDispatch();
        const TComPtr<IDispatch> book = OleFunction(books.Get(), QStringLiteral("Add")).ToDispatch();
        const TComPtr<IDispatch> sheet = OlePropertyGet(book.Get(), QStringLiteral("Worksheets"), {1}).ToDispatch();
        OlePropertySet(sheet.Get(), QStringLiteral("Cells"), {1, 1}, QCoreApplication::arguments().value(1));
    } catch (const Exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
