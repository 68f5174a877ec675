// Contact files handed to the window by the desktop.
#include "app/Unit1.h"

#include "platform/widgets/Application.h"

void TForm1::ImportContactFiles(const QStringList &files)
{
    Application->ShowMessage(QStringLiteral("Kişi dosyaları bu sürümde açılamıyor:\r") + files.join(u'\r'));
}
