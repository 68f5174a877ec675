// Velmora Telefon Rehberi: the program entry. Its arguments are what the
// desktop hands it (tel: links, contact files); a start while the window
// is already running on this display hands them to that window and ends.
// The exit code is 0.
#include "app/SingleInstance.h"
#include "app/Unit1.h"
#include "platform/automation/CalcServer.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/ProgressDialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication qtApplication(argc, argv);
    // Paths are made whole here: the running window has another folder.
    QStringList arguments = QCoreApplication::arguments().mid(1);
    for (QString &argument : arguments)
        if (!argument.contains(u':') && !argument.isEmpty())
            argument = QFileInfo(argument).absoluteFilePath();
    if (HandToRunningWindow(arguments))
        return 0;

    TApplication application(QCoreApplication::applicationFilePath());
    RegisterCalcServer(ClassRegistry()); // the spreadsheet the exports reach as "EXCEL.APPLICATION"
    TProgressDialogSink progress;        // long work shows a progress dialog
    SetProgressSink(&progress);
    {
        TForm1 form1;
        application.SetMainWindow(&form1);
        TInstanceServer instance;
        instance.OnArguments = [&form1](const QStringList &handed) { form1.HandleArguments(handed); };
        instance.Listen();
        form1.show();
        if (!arguments.isEmpty())
            QTimer::singleShot(0, &form1, [&form1, arguments] { form1.HandleArguments(arguments); });
        qtApplication.exec();
        application.SetMainWindow(nullptr);
    }
    SetProgressSink(nullptr);
    return 0;
}
