// The window's fixed layout: every control with its place, size, caption,
// font, tab order and bound field; the menus; the components it owns.
#include "app/Unit1.h"
#include "app/Unit1Calls.h"

#include "app/Unit1DataSource.h"
#include "app/Unit1Sync.h"

#include "dialer/TapiDial.h"
#include "platform/widgets/DBEdit.h"
#include "platform/widgets/DBGrid.h"
#include "platform/widgets/DBMemo.h"
#include "platform/widgets/Edit.h"
#include "platform/widgets/RadioGroup.h"
#include "platform/widgets/TelephoneArt.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/DataSource.h"

#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

namespace {

constexpr int ClientWidth = 589;
constexpr int ClientHeight = 630;

// "MS Sans Serif" at 8 pt is 11 pixels, at 10 pt 13 pixels (96 dpi).
QFont SansSerif(int pixels, bool bold)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

const QFont &WindowFont()
{
    static const QFont font = SansSerif(11, false);
    return font;
}

template <typename Control> Control *Place(Control *control, int left, int top, int width, int height, const QFont &font)
{
    control->setGeometry(left, top, width, height);
    control->setFont(font);
    return control;
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &caption, int left, int top, int width)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    return Place(label, left, top, width, 16, SansSerif(13, true));
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, int left, int top, int width, int height,
                        const QFont &font)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
    return Place(button, left, top, width, height, font);
}

TDBEdit *MakeBoundEdit(QWidget *parent, const char *name, int left, int top, int width)
{
    auto *edit = new TDBEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return Place(edit, left, top, width, 24, SansSerif(13, false));
}

QToolButton *MakeDialButton(QWidget *parent, const char *name, int left, int top)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(TelephoneArt::DialButtonIcon());
    button->setIconSize(QSize(16, 16));
    button->setFocusPolicy(Qt::NoFocus); // speed buttons never take the focus
    button->setGeometry(left, top, 23, 22);
    return button;
}

QAction *MakeItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

void TForm1::CreateControls()
{
    QWidget *s = FSurface;
    Label1 = MakeLabel(s, "Label1", QStringLiteral("Ad ="), 15, 40, 32);
    Label2 = MakeLabel(s, "Label2", QStringLiteral("Soyad ="), 15, 77, 58);
    Label3 = MakeLabel(s, "Label3", QStringLiteral("GSM No ="), 260, 43, 70);
    Label4 = MakeLabel(s, "Label4", QStringLiteral("E-Mail ="), 15, 104, 57);
    Label10 = MakeLabel(s, "Label10", QStringLiteral("Ev Tlf. ="), 260, 77, 57);
    Label11 = MakeLabel(s, "Label11", QStringLiteral("İş Tlf. ="), 260, 109, 51);
    Label12 = MakeLabel(s, "Label12", QStringLiteral("Adres ="), 15, 136, 54);

    // A line under the button row; it runs past the right edge and is cut there.
    Bevel1 = new QFrame(s);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(15, 32, 593, 2);

    SpeedButton1 = MakeDialButton(s, "SpeedButton1", 517, 40);
    SpeedButton2 = MakeDialButton(s, "SpeedButton2", 517, 72);
    SpeedButton3 = MakeDialButton(s, "SpeedButton3", 517, 104);

    DBGrid1 = Place(new TDBGrid(s), 5, 184, 580, 401, SansSerif(13, false));
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->horizontalHeader()->setFont(SansSerif(11, false));
    DBGrid1->verticalHeader()->setFont(SansSerif(11, false));
    DBGrid1->verticalHeader()->setDefaultSectionSize(18);
    DBGrid1->AddColumn(QStringLiteral("Ad"), QStringLiteral("Ad"), 115);
    DBGrid1->AddColumn(QStringLiteral("Soyad"), QStringLiteral("Soyad"), 125);
    DBGrid1->AddColumn(QStringLiteral("Ctelefon"), QStringLiteral("Cep Telefonu"), 100);
    DBGrid1->AddColumn(QStringLiteral("ETelefon"), QStringLiteral("Ev Telefonu"), 100);
    DBGrid1->AddColumn(QStringLiteral("ITelefon"), QStringLiteral("İş Telefonu"), 100);
    DBGrid1->AddColumn(QStringLiteral("Email"), QStringLiteral("Email"), 150);
    DBGrid1->AddColumn(QStringLiteral("Adres"), QStringLiteral("Adres"), 500);

    DBEdit1 = MakeBoundEdit(s, "DBEdit1", 81, 40, 165);
    DBEdit2 = MakeBoundEdit(s, "DBEdit2", 81, 72, 165);
    DBEdit3 = MakeBoundEdit(s, "DBEdit3", 337, 40, 179);

    const QFont bold10 = SansSerif(13, true);
    const QFont bold8 = SansSerif(11, true);
    Button1 = MakeButton(s, "Button1", QStringLiteral("&Yeni"), 0, 0, 115, 25, bold10);
    Button2 = MakeButton(s, "Button2", QStringLiteral("&Değiştir"), 115, 0, 115, 25, bold10);
    Button3 = MakeButton(s, "Button3", QStringLiteral("&Sil"), 230, 0, 115, 25, bold10);
    Button4 = MakeButton(s, "Button4", QStringLiteral("&Onay"), 459, 0, 125, 25, bold10);
    Button5 = MakeButton(s, "Button5", QStringLiteral("| << İlk"), 257, 152, 75, 25, bold8);
    Button6 = MakeButton(s, "Button6", QStringLiteral("Son >> |"), 482, 152, 75, 25, bold8);
    Button7 = MakeButton(s, "Button7", QStringLiteral("&< Önceki"), 332, 152, 75, 25, bold8);
    Button8 = MakeButton(s, "Button8", QStringLiteral("Sonraki &>"), 407, 152, 75, 25, bold8);
    Button9 = MakeButton(s, "Button9", QStringLiteral("&Vazgeç"), 345, 0, 115, 25, bold10);
    Button4->setEnabled(false);
    Button9->setEnabled(false);

    RadioGroup1 =
        new TRadioGroup(QStringLiteral("Arama Yapılacak Alan"),
                        {QStringLiteral("Ad"), QStringLiteral("Soyad"), QStringLiteral("Cep Tlf."), QStringLiteral("Ev Tlf.")}, 4, s);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setLayoutDirection(Qt::LeftToRight);
    Place(RadioGroup1, 14, 587, 265, 42, WindowFont());
    RadioGroup1->SetItemIndex(0);

    DBEdit4 = MakeBoundEdit(s, "DBEdit4", 336, 72, 179);
    DBEdit5 = MakeBoundEdit(s, "DBEdit5", 336, 104, 179);

    DBMemo1 = Place(new TDBMemo(s), 80, 136, 165, 41, WindowFont());
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));

    GroupBox1 = Place(new QGroupBox(QStringLiteral("Arama Filtresi"), s), 286, 587, 219, 42, WindowFont());
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Edit1 = Place(new TEdit(GroupBox1), 3, 13, 206, 24, SansSerif(13, false));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setText(QStringLiteral("%"));

    DBEdit6 = MakeBoundEdit(s, "DBEdit6", 80, 104, 165);
    Button10 = MakeButton(s, "Button10", QStringLiteral("Tüm Kayıtlar"), 510, 593, 75, 33, WindowFont());
}

void TForm1::CreateMenus()
{
    lemler1 = menuBar()->addMenu(QStringLiteral("&İşlemler"));
    lemler1->setObjectName(QStringLiteral("lemler1"));
    Yeni1 = MakeItem(lemler1, "Yeni1", QStringLiteral("Yeni"));
    Deitir1 = MakeItem(lemler1, "Deitir1", QStringLiteral("Değiştir"));
    Sil1 = MakeItem(lemler1, "Sil1", QStringLiteral("Sil"));
    ExcelleAktar1 = MakeItem(lemler1, "ExcelleAktar1", QStringLiteral("Excell'e Aktar"));
    XmlDosyaOlutur1 = MakeItem(lemler1, "XmlDosyaOlutur1", QStringLiteral("Xml Dosya Oluştur"));

    Ayarlar1 = menuBar()->addMenu(QStringLiteral("&Ayarlar"));
    Ayarlar1->setObjectName(QStringLiteral("Ayarlar1"));
    konum1 = MakeItem(Ayarlar1, "konum1", QStringLiteral("Modem Ayarları"));
    modem1 = MakeItem(Ayarlar1, "modem1", QStringLiteral("Konum Seçenekleri"));

    Hakknda1 = menuBar()->addMenu(QStringLiteral("&Yardım"));
    Hakknda1->setObjectName(QStringLiteral("Hakknda1"));
    Hakknda2 = MakeItem(Hakknda1, "Hakknda2", QStringLiteral("Hakkında"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Deitir2 = MakeItem(PopupMenu1, "Deitir2", QStringLiteral("Değiştir"));
    Sil2 = MakeItem(PopupMenu1, "Sil2", QStringLiteral("Sil"));
    ExceleAktar1 = MakeItem(PopupMenu1, "ExceleAktar1", QStringLiteral("Excel'e Aktar"));
    XmleAktar1 = MakeItem(PopupMenu1, "XmleAktar1", QStringLiteral("Xml'e Aktar"));
    DBGrid1->SetPopupMenu(PopupMenu1);
}

void TForm1::CreateComponents()
{
    DataSource1 = std::make_unique<TDataSource>();
    DataSource1->SetAutoEdit(false);

    // The dialer opens its line as it is created; the window's stored
    // settings are then applied through its setters.
    TapiDial1 = new TTapiDial(this);
    TapiDial1->setObjectName(QStringLiteral("TapiDial1"));
    TapiDial1->ApplyStoredProperties(QStringLiteral("0"), None, false, english);

    ADOConnection1 = std::make_unique<TADOConnection>();
    ADOConnection1->SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    ADOConnection1->SetConnectionString(TADOConnection::ComposeConnectionString(TADOConnection::DefaultConnectionKeys()));
    ADOConnection1->SetLoginPrompt(false);
    ADOConnection1->SetMode(cmShareDenyNone);
    ADOConnection1->SetKeepConnection(true);
    ADOConnection1->SetCursorLocation(clUseClient);

    ADOQuery1 = std::make_unique<TADOQuery>();
    ADOQuery1->SetConnection(ADOConnection1.get());
    ADOQuery1->SQL.Add(QString::fromLatin1(AllRecordsStatement));
    DataSource1->SetDataSet(ADOQuery1.get());

    DBGrid1->SetDataSource(DataSource1.get());
    const std::pair<TDBEdit *, const char *> boxes[] = {{DBEdit1, "Ad"},       {DBEdit2, "Soyad"},    {DBEdit3, "CTelefon"},
                                                        {DBEdit4, "ETelefon"}, {DBEdit5, "ITelefon"}, {DBEdit6, "Email"}};
    for (const auto &[box, field] : boxes) {
        box->SetDataSource(DataSource1.get());
        box->SetDataField(QString::fromLatin1(field));
    }
    DBMemo1->SetDataSource(DataSource1.get());
    DBMemo1->SetDataField(QStringLiteral("Adres"));
}

// DBEdit1, DBEdit2, DBEdit3, the buttons of the top and navigation rows,
// RadioGroup1, DBEdit4, DBEdit5, DBMemo1, Edit1, DBEdit6, Button10; the grid
// takes no tab stop.
void TForm1::SetTabOrder()
{
    QWidget *radio = RadioGroup1->Item(0);
    const QList<QWidget *> order = {DBEdit1, DBEdit2, DBEdit3, Button1, Button2, Button3, Button4, Button5, Button6, Button7,
                                    Button8, Button9, radio,   DBEdit4, DBEdit5, DBMemo1, Edit1,   DBEdit6, Button10};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    for (int i = 1; i < RadioGroup1->ItemCount(); ++i)
        RadioGroup1->Item(i)->setFocusPolicy(Qt::ClickFocus);
}

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Velmora Telefon Rehberi"));
    setWindowIcon(TelephoneArt::ProgramIcon());
    setFont(WindowFont());
    // Fixed size, with the system menu and minimise but no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);

    FSurface = new QWidget(this);
    FSurface->setObjectName(QStringLiteral("Form1Client"));
    FSurface->setFixedSize(ClientWidth, ClientHeight);
    FSurface->setAutoFillBackground(true);
    FSurface->setBackgroundRole(QPalette::Button);
    setCentralWidget(FSurface);

    CreateControls();
    CreateComponents();
    CreateMenus();
    CreateContactFileMenu();
    SetUpIncomingCalls();
    SetTabOrder();
    ConnectHandlers();
    AddDataSourceMenu(this);
    AddSyncMenus(this);

    const int menuHeight = menuBar()->sizeHint().height();
    setFixedSize(ClientWidth, ClientHeight + menuHeight);
}

TForm1::~TForm1()
{
    // The controls go first, while the record set they are bound to exists.
    delete FSurface;
    FSurface = nullptr;
}
