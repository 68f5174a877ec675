// Velmora Telefon Rehberi: the program entry. It reads no arguments, and
// its exit code is 0.
#include "app/Unit1.h"
#include "platform/automation/CalcServer.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/ProgressDialog.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication qtApplication(argc, argv);
    TApplication application(QCoreApplication::applicationFilePath());
    RegisterCalcServer(ClassRegistry()); // the spreadsheet the exports reach as "EXCEL.APPLICATION"
    TProgressDialogSink progress; // long work shows a progress dialog
    SetProgressSink(&progress);
    {
        TForm1 form1;
        application.SetMainWindow(&form1);
        form1.show();
        qtApplication.exec();
        application.SetMainWindow(nullptr);
    }
    SetProgressSink(nullptr);
    return 0;
}
