// The window's events and the editing workflow behind its buttons and menus.
#include "app/Unit1.h"

#include "platform/widgets/Application.h"
#include "platform/widgets/DBEdit.h"
#include "platform/widgets/DBGrid.h"
#include "platform/widgets/DBMemo.h"
#include "platform/widgets/Edit.h"
#include "platform/widgets/ProgressDialog.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

void TForm1::ConnectHandlers()
{
    const std::pair<QPushButton *, void (TForm1::*)(QObject *)> buttons[] = {
        {Button1, &TForm1::Button1Click},  {Button2, &TForm1::Button2Click}, {Button3, &TForm1::Button3Click},
        {Button4, &TForm1::Button4Click},  {Button5, &TForm1::Button5Click}, {Button6, &TForm1::Button6Click},
        {Button7, &TForm1::Button7Click},  {Button8, &TForm1::Button8Click}, {Button9, &TForm1::Button9Click},
        {Button10, &TForm1::Button10Click}};
    for (const auto &[button, handler] : buttons)
        GuardedConnect(button, &QPushButton::clicked, this, [this, button = button, handler = handler] { (this->*handler)(button); });

    const std::pair<QToolButton *, void (TForm1::*)(QObject *)> dialButtons[] = {
        {SpeedButton1, &TForm1::SpeedButton1Click}, {SpeedButton2, &TForm1::SpeedButton2Click}, {SpeedButton3, &TForm1::SpeedButton3Click}};
    for (const auto &[button, handler] : dialButtons)
        GuardedConnect(button, &QToolButton::clicked, this, [this, button = button, handler = handler] { (this->*handler)(button); });

    const std::pair<QAction *, void (TForm1::*)(QObject *)> items[] = {{Yeni1, &TForm1::Yeni1Click},
                                                                       {Deitir1, &TForm1::Deitir1Click},
                                                                       {Sil1, &TForm1::Sil1Click},
                                                                       {konum1, &TForm1::konum1Click},
                                                                       {modem1, &TForm1::modem1Click},
                                                                       {Hakknda2, &TForm1::Hakknda2Click},
                                                                       {Deitir2, &TForm1::Deitir2Click},
                                                                       {Sil2, &TForm1::Sil2Click},
                                                                       {XmlDosyaOlutur1, &TForm1::XmlDosyaOlutur1Click},
                                                                       {XmleAktar1, &TForm1::XmleAktar1Click},
                                                                       {ExcelleAktar1, &TForm1::ExcelleAktar1Click},
                                                                       {ExceleAktar1, &TForm1::ExceleAktar1Click}};
    for (const auto &[item, handler] : items)
        GuardedConnect(item, &QAction::triggered, this, [this, item = item, handler = handler] { (this->*handler)(item); });

    GuardedConnect(DBGrid1, &TDBGrid::DeleteRequested, this, [this] { DBGrid1DeleteKey(DBGrid1); });
    DBEdit1->OnKeyPress = [this](QChar key) { FormKeyPress(DBEdit1, key); };
    Edit1->OnKeyPress = [this](QChar key) { Edit1KeyPress(Edit1, key); };
}

// ---------------------------------------------------------------------------
// Window events

void TForm1::FormActivate(QObject *)
{
    OpenJetDatabase(); // the connection's Open, offering to convert a Jet file
    ADOQuery1->Open();
}

void TForm1::FormCloseQuery(QObject *, bool &)
{
    ADOQuery1->Close();
    ADOConnection1->Close();
}

void TForm1::FormKeyPress(QObject *, QChar &key)
{
    if (key == u'q')
        Button1Click(Button1);
}

bool TForm1::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate) {
        if (FSkipActivation) {
            FSkipActivation = false;
        } else if (TProgressDialogSink::Working()) {
            // Activation while long work shows its progress: the work is
            // using the record set, which must not be opened under it.
        } else {
            const bool opened = Application->Guard([this] { FormActivate(this); });
            // The error box of a failed opening takes the activation away;
            // coming back from that box must not try again at once (the
            // same box would follow for ever). The next activation does.
            FSkipActivation = !opened && Application->ShowsRealBoxes();
        }
    }
    return QMainWindow::event(e);
}

void TForm1::closeEvent(QCloseEvent *e)
{
    bool canClose = true;
    Application->Guard([&] { FormCloseQuery(this, canClose); });
    e->accept(); // closing is always allowed
}

// Keys typed while the window itself, and no control, has the focus. A key
// that a control left unused comes here too, and stops here: DBEdit1 hands
// its characters to FormKeyPress itself, no other control does.
void TForm1::keyPressEvent(QKeyEvent *e)
{
    const QWidget *focused = focusWidget();
    const QString typed = e->text();
    if ((!focused || focused == this) && typed.size() == 1) {
        QChar key = typed.at(0);
        Application->Guard([&] { FormKeyPress(this, key); });
    }
    QMainWindow::keyPressEvent(e);
}

void TForm1::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (!FCentred) {
        FCentred = true;
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        DBEdit1->setFocus(Qt::OtherFocusReason);
        activateWindow(); // the first activation opens the database
    }
}

// ---------------------------------------------------------------------------
// Editing workflow: each handler makes its record-set call first and sets
// the configuration only after it returned, so a failure changes nothing.

void TForm1::SetInsertingConfiguration()
{
    Button1->setEnabled(false);
    Button2->setEnabled(false);
    Button3->setEnabled(false);
    Button4->setEnabled(true);
    Button5->setEnabled(false);
    Button6->setEnabled(false);
    Button7->setEnabled(false);
    Button8->setEnabled(false);
    Button9->setEnabled(true);
    DBEdit1->setFocus(Qt::OtherFocusReason);
    DBGrid1->SetAutoPopup(false);
    DBGrid1->setEnabled(false);
}

void TForm1::SetBrowsingConfiguration()
{
    // When the focus stands on a button that goes off, the window itself
    // takes it, so that the next character typed reaches FormKeyPress.
    QWidget *focused = focusWidget();
    const bool focusOnButtonGoingOff = focused == Button4 || focused == Button9;

    Button1->setEnabled(true);
    Button2->setEnabled(true);
    Button3->setEnabled(true);
    Button4->setEnabled(false);
    Button5->setEnabled(true);
    Button6->setEnabled(true);
    Button7->setEnabled(true);
    Button8->setEnabled(true);
    Button9->setEnabled(false);
    DBGrid1->SetAutoPopup(true);
    DBGrid1->setEnabled(true);

    if (focusOnButtonGoingOff) {
        if (QWidget *now = focusWidget())
            now->clearFocus();
        setFocus(Qt::OtherFocusReason);
    }
}

void TForm1::Button1Click(QObject *)
{
    ADOQuery1->Append();
    SetInsertingConfiguration();
}

void TForm1::Button2Click(QObject *)
{
    ADOQuery1->Edit();
    SetInsertingConfiguration();
}

void TForm1::Button3Click(QObject *)
{
    if (Application->MessageBox(QStringLiteral("Silmek istediğinizden emin misiniz"), QStringLiteral("Uyarı"), TMessageKind::Question)
        == IDYES)
        ADOQuery1->Delete();
}

void TForm1::Button4Click(QObject *)
{
    ADOQuery1->Post();
    SetBrowsingConfiguration();
}

void TForm1::Button9Click(QObject *)
{
    ADOQuery1->Cancel();
    SetBrowsingConfiguration();
}

void TForm1::Button5Click(QObject *)
{
    ADOQuery1->First();
}
void TForm1::Button7Click(QObject *)
{
    ADOQuery1->Prior();
}
void TForm1::Button8Click(QObject *)
{
    ADOQuery1->Next();
}
void TForm1::Button6Click(QObject *)
{
    ADOQuery1->Last();
}

// Menu commands run the button's handler directly, whatever its state.
void TForm1::Yeni1Click(QObject *)
{
    Button1Click(Button1);
}
void TForm1::Deitir1Click(QObject *)
{
    Button2Click(Button2);
}
void TForm1::Sil1Click(QObject *)
{
    Button3Click(Button3);
}
void TForm1::Deitir2Click(QObject *)
{
    Button2Click(Button2);
}
void TForm1::Sil2Click(QObject *)
{
    Button3Click(Button3);
}

// Ctrl+Delete in the grid: the current contact goes at once, unasked.
void TForm1::DBGrid1DeleteKey(QObject *)
{
    if (DBGrid1->isEnabled())
        ADOQuery1->Delete();
}

QString TForm1::AboutText()
{
    return QStringLiteral(
        "Bu program Velmora tarafından kişisel kullanım için yazılmıştır.\r"
        "Programın ticari amaçla kullanılması yasaktır.\r"
        "Her türlü bilgi için lütfen bilgi@velmora.com.tr adresine yazınız.\r"
        "Görüş ve önerileriniz bizim için değerlidir.\r"
        "\r"
        "Velmora Yazılım Destek Hattı: destek@velmora.com.tr");
}

void TForm1::Hakknda2Click(QObject *)
{
    Application->ShowMessage(AboutText());
}
