// The export commands of the main menu and the grid's pop-up menu.
#include "app/Unit1.h"

#include "export/XmlExport.h"
#include "store/ADOQuery.h"

namespace {
const QString XmlExportFile = QStringLiteral("C:\\VelmoraTelReh.xml");
}

void TForm1::XmlDosyaOlutur1Click(QObject *) { DataSetToXml(ADOQuery1.get(), XmlExportFile); }
void TForm1::XmleAktar1Click(QObject *) { DataSetToXml(ADOQuery1.get(), XmlExportFile); }
