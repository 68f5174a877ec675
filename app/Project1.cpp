// Velmora Telefon Rehberi: the program entry. Its only arguments are the
// contact files the desktop hands it ("Open with"), imported once the
// window is up; its exit code is 0.
#include "app/Unit1.h"
#include "platform/automation/CalcServer.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/ProgressDialog.h"

#include <QApplication>
#include <QTimer>

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
        if (const QStringList files = QCoreApplication::arguments().mid(1); !files.isEmpty())
            QTimer::singleShot(0, &form1, [&form1, files] { form1.ImportContactFiles(files); });
        qtApplication.exec();
        application.SetMainWindow(nullptr);
    }
    SetProgressSink(nullptr);
    return 0;
}
