// The export commands of the main menu and the grid's pop-up menu.
#include "app/Unit1.h"

#include "export/SpreadsheetExport.h"
#include "export/XmlExport.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/DBGrid.h"
#include "store/ADOQuery.h"

namespace {
const QString XmlExportFile = QStringLiteral("C:\\VelmoraTelReh.xml");
const QString SpreadsheetExportFile = QStringLiteral("C:\\VelmoraTelReh.xls");
// Shown the moment each export is complete.
const QString XmlExportDone = QStringLiteral("\"C:\" anadizinine XML Formatında Kayıt Tamamlandı");
const QString SpreadsheetExportDone = QStringLiteral("\"C:\" anadizinine Excell Formatında Kayıt Tamamlandı");

void ExportSpreadsheet(TDBGrid *grid)
{
    GridToSpreadsheet(grid, SpreadsheetExportFile, [] { Application->ShowMessage(SpreadsheetExportDone); });
}
void ExportXml(TADOQuery *recordSet)
{
    DataSetToXml(recordSet, XmlExportFile, [] { Application->ShowMessage(XmlExportDone); });
}
} // namespace

void TForm1::ExcelleAktar1Click(QObject *)
{
    ExportSpreadsheet(DBGrid1);
}
void TForm1::ExceleAktar1Click(QObject *)
{
    ExportSpreadsheet(DBGrid1);
}

void TForm1::XmlDosyaOlutur1Click(QObject *)
{
    ExportXml(ADOQuery1.get());
}
void TForm1::XmleAktar1Click(QObject *)
{
    ExportXml(ADOQuery1.get());
}
