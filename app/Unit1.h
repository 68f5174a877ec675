#pragma once

#include "store/ContactsTable.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;
class TADOConnection;
class TADOQuery;
class TDataSource;
class TDBEdit;
class TDBGrid;
class TDBMemo;
class TEdit;
class TRadioGroup;
class TTapiDial;
class TIncomingCallForm;
class TCallLog;
class TDesktopNotification;
class TSyncController;
struct TIncomingCall;

// The statements of the contact list (AllRecordsStatement: store/ContactsTable.h).
QString SearchStatement(int itemIndex);

// Form1, the program's one window: the contact form above the grid, the
// search bar below it, the menus, and the components it owns for the
// program's whole life.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // -- the window's controls, in the order they are created
    QLabel *Label1, *Label2, *Label3, *Label4, *Label10, *Label11, *Label12;
    QFrame *Bevel1;
    QToolButton *SpeedButton1, *SpeedButton2, *SpeedButton3;
    TDBGrid *DBGrid1;
    TDBEdit *DBEdit1, *DBEdit2, *DBEdit3;
    QPushButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6, *Button7, *Button8, *Button9;
    TRadioGroup *RadioGroup1;
    TDBEdit *DBEdit4, *DBEdit5;
    TDBMemo *DBMemo1;
    QGroupBox *GroupBox1;
    TEdit *Edit1;
    TDBEdit *DBEdit6;
    QPushButton *Button10;

    // -- menus
    QMenu *lemler1, *Ayarlar1, *Hakknda1;
    QAction *Yeni1, *Deitir1, *Sil1, *ExcelleAktar1, *XmlDosyaOlutur1;
    QAction *konum1, *modem1, *Hakknda2;
    QMenu *PopupMenu1;
    QAction *Deitir2, *Sil2, *ExceleAktar1, *XmleAktar1;

    // -- the non-visual components
    std::unique_ptr<TDataSource> DataSource1;
    TTapiDial *TapiDial1 = nullptr; // owned by the window, like every component
    std::unique_ptr<TADOConnection> ADOConnection1;
    std::unique_ptr<TADOQuery> ADOQuery1;

    // -- window events
    void FormActivate(QObject *sender);
    void FormCloseQuery(QObject *sender, bool &canClose);
    void FormKeyPress(QObject *sender, QChar &key);

    // -- editing workflow
    void Button1Click(QObject *sender);
    void Button2Click(QObject *sender);
    void Button3Click(QObject *sender);
    void Button4Click(QObject *sender);
    void Button5Click(QObject *sender);
    void Button6Click(QObject *sender);
    void Button7Click(QObject *sender);
    void Button8Click(QObject *sender);
    void Button9Click(QObject *sender);
    void Yeni1Click(QObject *sender);
    void Deitir1Click(QObject *sender);
    void Sil1Click(QObject *sender);
    void Deitir2Click(QObject *sender);
    void Sil2Click(QObject *sender);
    void Hakknda2Click(QObject *sender);
    void DBGrid1DeleteKey(QObject *sender);

    // -- search
    void Edit1KeyPress(QObject *sender, QChar &key);
    void Button10Click(QObject *sender);

    // -- dialling
    void SpeedButton1Click(QObject *sender);
    void SpeedButton2Click(QObject *sender);
    void SpeedButton3Click(QObject *sender);
    void konum1Click(QObject *sender);
    void modem1Click(QObject *sender);

    // -- exports
    void ExcelleAktar1Click(QObject *sender);
    void ExceleAktar1Click(QObject *sender);
    void XmlDosyaOlutur1Click(QObject *sender);
    void XmleAktar1Click(QObject *sender);

    // -- incoming calls, and what the desktop hands the window
    // (Unit1Calls.cpp, Unit1Links.cpp)
    QAction *GelenAramalar1 = nullptr;
    TIncomingCallForm *IncomingCallForm = nullptr; // "Gelen Arama", made at the first call
    void IncomingCall(const TIncomingCall &call);
    void KisiyiGosterClick(QObject *sender);
    void YeniKisiOlarakEkleClick(QObject *sender);
    void GelenAramalar1Click(QObject *sender);
    void HandleArguments(const QStringList &arguments);
    void OpenTelLink(const QString &link);

    // The About message's text.
    static QString AboutText();

    // -- contact files (the entries after the original ones in "İşlemler")
    QAction *KisileriIceAktar1 = nullptr, *KisileriDisaAktar1 = nullptr;
    void KisileriIceAktar1Click(QObject *sender);
    void KisileriDisaAktar1Click(QObject *sender);
    // Opens the import dialog for each contact file in turn: paths or
    // file:// URLs (a drop, the command line, another start's arguments).
    void ImportContactFiles(const QStringList &files);
    // Writes the contacts the grid shows, in its order, to file; filter is
    // one of ContactExportFilters().
    void ExportContactsTo(const QString &file, const QString &filter);

    // -- the CardDAV sync (Unit1Sync.cpp): Ayarlar > "Eşitleme Hesabı...",
    // İşlemler > "Şimdi Eşitle" and "Eşitleme Çakışmaları..."
    QAction *EsitlemeHesabi1 = nullptr, *SimdiEsitle1 = nullptr, *EsitlemeCakismalari1 = nullptr;
    TSyncController *SyncController = nullptr; // owned by the window
    // The grid's row of the contact with that key, or -1.
    int ContactDisplayRow(long long contactNo) const;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void CreateControls();
    void CreateMenus();
    void CreateContactFileMenu();
    void ImportContactFile(const QString &path);
    void OpenJetDatabase();
    void CreateComponents();
    void ConnectHandlers();
    void SetTabOrder();
    void SetInsertingConfiguration();
    void SetBrowsingConfiguration();
    void SetUpIncomingCalls();
    bool SelectContact(long long contactNo);

    QWidget *FSurface = nullptr;
    bool FSkipActivation = false;
    bool FCentred = false;
    bool FConverting = false;        // a Jet file is being converted
    bool FImporting = false;         // an import dialog or its import is under way
    QList<QStringList> FImportQueue; // files handed over meanwhile, by hand-over
    struct TCallState;
    std::unique_ptr<TCallState> FCalls;
};
