// The export commands of the main menu and the grid's pop-up menu.
#include "app/Unit1.h"

#include "export/SpreadsheetExport.h"
#include "export/XmlExport.h"
#include "platform/widgets/DBGrid.h"
#include "store/ADOQuery.h"

namespace {
const QString XmlExportFile = QStringLiteral("C:\\VelmoraTelReh.xml");
const QString SpreadsheetExportFile = QStringLiteral("C:\\VelmoraTelReh.xls");
}

void TForm1::ExcelleAktar1Click(QObject *)
{
    GridToSpreadsheet(DBGrid1, SpreadsheetExportFile);
}
void TForm1::ExceleAktar1Click(QObject *)
{
    GridToSpreadsheet(DBGrid1, SpreadsheetExportFile);
}

void TForm1::XmlDosyaOlutur1Click(QObject *)
{
    DataSetToXml(ADOQuery1.get(), XmlExportFile);
}
void TForm1::XmleAktar1Click(QObject *)
{
    DataSetToXml(ADOQuery1.get(), XmlExportFile);
}
