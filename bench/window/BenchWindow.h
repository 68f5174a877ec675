#pragma once

#include "app/Unit1.h"
#include "platform/widgets/Application.h"

#include <QApplication>
#include <memory>

// The program's window for a benchmark, on Qt's offscreen platform: Qt's
// application object and the program's are made first (before
// benchmark::Initialize, so that Qt takes its own arguments), the window
// when the working directory holds its database.
class TBenchWindow {
public:
    TBenchWindow(int &argc, char **argv);
    ~TBenchWindow();

    // Builds the window on "fihrist.mdb" in the working directory and shows
    // it as the program's main window.
    TForm1 &Show();

private:
    QApplication FQt;
    TApplication FApplication;
    std::unique_ptr<TForm1> FForm;
};
