// Incoming calls: "Gelen Arama", the desktop notification, the log and
// "İşlemler > Gelen Aramalar...".
#include "app/Unit1Calls.h"

#include "app/DesktopNotification.h"
#include "app/IncomingCallForm.h"
#include "dialer/TapiDial.h"
#include "platform/telephony/ModemSettings.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/DBGrid.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"

#include <QDateTime>
#include <QDialog>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The number column's text in the log: the number, or what stands for it.
QString LoggedNumber(const TIncomingCall &call)
{
    return call.Caller == TIncomingCall::icNumber ? call.Number : TIncomingCallForm::CallerLine(call, {});
}

// The log keeps "yyyy-MM-dd HH:mm:ss" (other programs read the table); the
// list shows the date as the window writes it everywhere else.
QString CallTimeText(const QString &stored)
{
    const QDateTime time = QDateTime::fromString(stored, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return time.isValid() ? time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : stored;
}

// How the call ended, as the log and its list say it.
QString OutcomeText(TIncomingCall::TOutcome outcome)
{
    switch (outcome) {
    case TIncomingCall::ocAnswered: return QStringLiteral("Yanıtlandı");
    case TIncomingCall::ocMissed: return QStringLiteral("Cevapsız");
    case TIncomingCall::ocUnknown: break;
    }
    return QString();
}

bool IsLoggedNumber(const QString &number)
{
    return !number.isEmpty() && (number.front().isDigit() || number.front() == u'+');
}

} // namespace

// The dialer's reports of offered calls, and the menu entry of the log.
void TForm1::SetUpIncomingCalls()
{
    FCalls = std::make_unique<TCallState>();
    TapiDial1->OnIncomingCall = [this](const TIncomingCall &call) { IncomingCall(call); };
    // After the original entries, behind a separator (one only, shared
    // with the other additions).
    const QList<QAction *> items = lemler1->actions();
    if (std::none_of(items.begin(), items.end(), [](QAction *a) { return a->isSeparator(); }))
        lemler1->addSeparator();
    GelenAramalar1 = lemler1->addAction(QStringLiteral("&Gelen Aramalar..."));
    GelenAramalar1->setObjectName(QStringLiteral("GelenAramalar1"));
    GuardedConnect(GelenAramalar1, &QAction::triggered, this, [this] { GelenAramalar1Click(GelenAramalar1); });
}

void TForm1::IncomingCall(const TIncomingCall &call)
{
    TCallState &s = *FCalls;
    const bool sameCall = s.Shown && call.Call == s.Call.Call;
    const bool callerChanged = !sameCall || call.Caller != s.Call.Caller || call.Number != s.Call.Number;
    const bool outcomeChanged = sameCall && call.Outcome != s.Call.Outcome;
    if (callerChanged) {
        s.Caller = {};
        if (call.Caller == TIncomingCall::icNumber && ADOConnection1->Connected())
            s.Caller = FindCaller(ADOConnection1.get(), call.Number, PhonePlaceOf(LoadDialingLocation()));
    }
    s.Call = call;
    s.Shown = true;

    if (!IncomingCallForm) {
        IncomingCallForm = new TIncomingCallForm(this);
        GuardedConnect(IncomingCallForm->ShowButton, &QPushButton::clicked, this,
                       [this] { KisiyiGosterClick(IncomingCallForm->ShowButton); });
        GuardedConnect(IncomingCallForm->AddButton, &QPushButton::clicked, this,
                       [this] { YeniKisiOlarakEkleClick(IncomingCallForm->AddButton); });
    }
    IncomingCallForm->ShowCall(call, s.Caller);
    if (!callerChanged && !outcomeChanged)
        return; // a further RING of the same call

    // The desktop says the same when neither window is in front.
    if (callerChanged && !isActiveWindow() && !IncomingCallForm->isActiveWindow()) {
        if (!s.Notification) {
            s.Notification = new TDesktopNotification(this);
            s.Notification->OnActivated = [this] {
                Application->Guard([this] {
                    show();
                    raise();
                    activateWindow();
                    if (FCalls->Caller.Found)
                        SelectContact(FCalls->Caller.ContactNo);
                });
            };
        }
        s.Notification->Show(QStringLiteral("Gelen Arama: ") + TIncomingCallForm::CallerLine(call, s.Caller),
                             TIncomingCallForm::NumberLine(call, s.Caller));
    }

    if (!s.Log)
        s.Log = std::make_unique<TCallLog>(ADOConnection1.get());
    s.Log->Record(call.Call, call.Time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), LoggedNumber(call), s.Caller.Name,
                  OutcomeText(call.Outcome));
}

int TForm1::ContactDisplayRow(long long contactNo) const
{
    const int no = ADOQuery1->FieldIndex(QStringLiteral("No"));
    if (!ADOQuery1->Active() || no < 0)
        return -1;
    const QString wanted = QString::number(contactNo);
    for (int row = 0; row < ADOQuery1->DisplayRowCount(); ++row)
        if (ADOQuery1->DisplayText(row, no) == wanted)
            return row;
    return -1;
}

// Moves the grid to the contact, opening all records first when the current
// search hides it. False when it is nowhere (deleted meanwhile).
bool TForm1::SelectContact(long long contactNo)
{
    if (ADOQuery1->RowPending() || !DBGrid1->isEnabled()) {
        Application->ShowMessage(QStringLiteral("Bir kayıt düzenleniyor: önce Onay ya da Vazgeç ile bitirin."));
        return false;
    }
    int row = ContactDisplayRow(contactNo);
    if (row < 0) {
        Button10Click(Button10);
        row = ContactDisplayRow(contactNo);
    }
    if (row < 0)
        return false;
    ADOQuery1->MoveToDisplayRow(row);
    return true;
}

void TForm1::KisiyiGosterClick(QObject *)
{
    show();
    raise();
    activateWindow();
    if (FCalls->Caller.Found)
        SelectContact(FCalls->Caller.ContactNo);
}

// A new contact with the caller's number: "GSM No" for a mobile number,
// "Ev Tlf." otherwise.
void TForm1::YeniKisiOlarakEkleClick(QObject *)
{
    const TIncomingCall &call = FCalls->Call;
    if (call.Caller != TIncomingCall::icNumber)
        return;
    if (ADOQuery1->RowPending() || !DBGrid1->isEnabled()) {
        Application->ShowMessage(QStringLiteral("Bir kayıt düzenleniyor: önce Onay ya da Vazgeç ile bitirin."));
        return;
    }
    show();
    raise();
    activateWindow();
    Button1Click(Button1);
    const bool mobile = IsMobileKey(PhoneNumberKey(call.Number, PhonePlaceOf(LoadDialingLocation())));
    ADOQuery1->FieldByName(mobile ? QStringLiteral("CTelefon") : QStringLiteral("ETelefon"))->SetAsString(call.Number);
}

void TForm1::GelenAramalar1Click(QObject *)
{
    if (!FCalls->Log)
        FCalls->Log = std::make_unique<TCallLog>(ADOConnection1.get());
    const std::vector<TCallLog::TEntry> entries = FCalls->Log->Entries();

    auto *dialog = findChild<QDialog *>(QStringLiteral("GelenAramalar"));
    if (!dialog) {
        dialog = new QDialog(this);
        dialog->setObjectName(QStringLiteral("GelenAramalar"));
        dialog->setWindowTitle(QStringLiteral("Gelen Aramalar"));
        auto *table = new QTableWidget(0, 4, dialog);
        table->setObjectName(QStringLiteral("callTable"));
        table->setHorizontalHeaderLabels(
            {QStringLiteral("Zaman"), QStringLiteral("Numara"), QStringLiteral("Ad Soyad"), QStringLiteral("Durum")});
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->horizontalHeader()->setStretchLastSection(true);
        table->verticalHeader()->hide();
        auto *close = new QPushButton(QStringLiteral("&Kapat"), dialog);
        connect(close, &QPushButton::clicked, dialog, &QDialog::close);
        auto *layout = new QVBoxLayout(dialog);
        layout->addWidget(table);
        layout->addWidget(close, 0, Qt::AlignRight);
        dialog->resize(620, 360);
    }
    auto *table = dialog->findChild<QTableWidget *>(QStringLiteral("callTable"));
    table->setRowCount(int(entries.size()));
    // A caller who became a contact after the call is named now; each
    // number is looked up once.
    const TPhonePlace place = PhonePlaceOf(LoadDialingLocation());
    QHash<QString, QString> names;
    for (int row = 0; row < int(entries.size()); ++row) {
        const TCallLog::TEntry &e = entries[std::size_t(row)];
        QString name = e.Name;
        if (name.isEmpty() && IsLoggedNumber(e.Number)) {
            auto known = names.find(e.Number);
            if (known == names.end())
                known = names.insert(e.Number, FindCaller(ADOConnection1.get(), e.Number, place).Name);
            name = *known;
        }
        table->setItem(row, 0, new QTableWidgetItem(CallTimeText(e.Time)));
        table->setItem(row, 1, new QTableWidgetItem(e.Number));
        table->setItem(row, 2, new QTableWidgetItem(name));
        table->setItem(row, 3, new QTableWidgetItem(e.Outcome));
    }
    table->resizeColumnsToContents();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
