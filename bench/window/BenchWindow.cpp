#include "bench/window/BenchWindow.h"

TBenchWindow::TBenchWindow(int &argc, char **argv)
    : FQt((qputenv("QT_QPA_PLATFORM", "offscreen"), argc), argv), FApplication(QStringLiteral("velmora-rehber"))
{
}

TBenchWindow::~TBenchWindow()
{
    FApplication.SetMainWindow(nullptr);
}

TForm1 &TBenchWindow::Show()
{
    FForm = std::make_unique<TForm1>();
    FApplication.SetMainWindow(FForm.get());
    FForm->show();
    return *FForm;
}
