// Dialling the current contact's numbers, and the two telephony settings.
#include "app/Unit1.h"

#include "dialer/TapiDial.h"
#include "platform/widgets/DBEdit.h"

// Each dial button takes the number its box shows at that moment.
void TForm1::SpeedButton1Click(QObject *)
{
    DialFieldText(TapiDial1, DBEdit3->Text());
}
void TForm1::SpeedButton2Click(QObject *)
{
    DialFieldText(TapiDial1, DBEdit4->Text());
}
void TForm1::SpeedButton3Click(QObject *)
{
    DialFieldText(TapiDial1, DBEdit5->Text());
}

void TForm1::konum1Click(QObject *)
{
    TapiDial1->ConfigDialog();
}
void TForm1::modem1Click(QObject *)
{
    TapiDial1->TranslateDialog();
}
