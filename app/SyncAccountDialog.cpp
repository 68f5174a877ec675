#include "app/SyncAccountDialog.h"

#include "app/SyncTexts.h"
#include "app/DialogParts.h"
#include "platform/widgets/Application.h"
#include "sync/Credentials.h"
#include "sync/SyncSession.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// A field's label with its mnemonic, bound to the field.
QLabel *MakeLabel(QWidget *parent, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

// Wide enough for its placeholder.
void FitPlaceholder(QLineEdit *edit)
{
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(edit->placeholderText()) + 4 * edit->fontMetrics().averageCharWidth());
}

} // namespace

TSyncAccountDialog::TSyncAccountDialog(const TSyncAccount &current, QWidget *parent)
    : QDialog(parent), FCurrent(current), FAddressBook(current.AddressBook), FTrusted(current.TrustedFingerprint)
{
    setObjectName(QStringLiteral("SyncAccountDialog"));
    setWindowTitle(QStringLiteral("Eşitleme Hesabı"));
    setAccessibleName(QStringLiteral("Eşitleme Hesabı"));

    Url = MakeDialogEdit(this, "Url", QStringLiteral("Sunucu adresi"));
    Url->setPlaceholderText(QStringLiteral("https://sunucu.example.org/"));
    Url->setText(current.Url);
    FitPlaceholder(Url);
    Hint = new QLabel(QStringLiteral("Sık kullanılan sunucular: Nextcloud https://SUNUCU/remote.php/dav, iCloud "
                                     "https://contacts.icloud.com, Fastmail https://carddav.fastmail.com, mailbox.org "
                                     "https://dav.mailbox.org"),
                      this);
    Hint->setObjectName(QStringLiteral("Hint"));
    Hint->setWordWrap(true);
    Hint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    User = MakeDialogEdit(this, "User", QStringLiteral("Kullanıcı adı"));
    User->setText(current.User);
    PasswordEdit = MakeDialogEdit(this, "Password", QStringLiteral("Parola"));
    PasswordEdit->setEchoMode(QLineEdit::Password);
    PasswordEdit->setPlaceholderText(current.IsSet() ? QStringLiteral("Değiştirmek için yazın") : QString());
    FitPlaceholder(PasswordEdit);
    ShowPassword = new QCheckBox(QStringLiteral("Parolayı &göster"), this);
    ShowPassword->setObjectName(QStringLiteral("ShowPassword"));
    connect(ShowPassword, &QCheckBox::toggled, this,
            [this](bool shown) { PasswordEdit->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password); });

    TestButton = MakeTestButton(this);
    Result = MakeTestResult(this);
    AddressBooks = new QListWidget(this);
    AddressBooks->setObjectName(QStringLiteral("AddressBooks"));
    AddressBooks->setAccessibleName(QStringLiteral("Adres defterleri"));
    AddressBooks->setHidden(true);
    Linked = new QLabel(this);
    Linked->setObjectName(QStringLiteral("Linked"));
    Linked->setWordWrap(true);
    Linked->setTextFormat(Qt::PlainText);
    RemoveButton = new QPushButton(QStringLiteral("&Hesabı Kaldır"), this);
    RemoveButton->setObjectName(QStringLiteral("RemoveButton"));
    RemoveButton->setHidden(!current.IsSet());

    Interval = new QSpinBox(this);
    Interval->setObjectName(QStringLiteral("Interval"));
    Interval->setAccessibleName(QStringLiteral("Otomatik eşitleme (dakika)"));
    Interval->setRange(0, 24 * 60);
    Interval->setValue(current.IsSet() ? current.IntervalMinutes : TSyncAccount().IntervalMinutes);
    Interval->setSpecialValueText(QStringLiteral("0 (yalnızca elle)"));

    auto *fields = new QFormLayout;
    fields->addRow(MakeLabel(this, QStringLiteral("&Sunucu adresi:"), Url), Url);
    fields->addRow(QString(), Hint);
    fields->addRow(MakeLabel(this, QStringLiteral("&Kullanıcı adı:"), User), User);
    fields->addRow(MakeLabel(this, QStringLiteral("&Parola:"), PasswordEdit), PasswordEdit);
    fields->addRow(QString(), ShowPassword);
    fields->addRow(MakeLabel(this, QStringLiteral("&Otomatik eşitleme (dakika):"), Interval), Interval);

    QDialogButtonBox *buttons = MakeOkCancel(this);
    buttons->addButton(RemoveButton, QDialogButtonBox::DestructiveRole);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(TestButton, 0, Qt::AlignLeft);
    layout->addWidget(Result);
    layout->addWidget(AddressBooks);
    layout->addWidget(Linked);
    layout->addWidget(buttons);

    GuardedConnect(TestButton, &QPushButton::clicked, this, [this] { TestConnection(); });
    GuardedConnect(RemoveButton, &QPushButton::clicked, this, [this] { Remove(); });
    connect(Url, &QLineEdit::textEdited, this, &TSyncAccountDialog::ServerChanged);
    connect(User, &QLineEdit::textEdited, this, &TSyncAccountDialog::ServerChanged);
    connect(AddressBooks, &QListWidget::currentItemChanged, this, [this](const QListWidgetItem *item) {
        if (item)
            FAddressBook = item->data(Qt::UserRole).toString();
        ShowLinked();
    });
    ShowLinked();
}

TSyncAccountDialog::~TSyncAccountDialog() = default;

// Another server or user: what was found or trusted for the old one goes.
void TSyncAccountDialog::ServerChanged()
{
    delete FProbe; // a test under way is for the old server
    TestButton->setEnabled(true);
    FAddressBook.clear();
    FTrusted.clear();
    AddressBooks->clear();
    AddressBooks->setHidden(true);
    Result->clear();
    ShowLinked();
}

// The address book the account is linked to, and when the last sync with
// it succeeded.
void TSyncAccountDialog::ShowLinked()
{
    QStringList lines;
    if (!FAddressBook.isEmpty())
        lines << QStringLiteral("Eşitlenen adres defteri: %1").arg(FAddressBook);
    const TSyncAccount account = Account();
    if (FCurrent.IsSet() && account.Url == FCurrent.Url && account.User == FCurrent.User)
        lines << (FCurrent.LastSync.isValid()
                      ? QStringLiteral("Son eşitleme: %1").arg(FCurrent.LastSync.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")))
                      : QStringLiteral("Son eşitleme: henüz yapılmadı"));
    Linked->setText(lines.join(u'\n'));
    Linked->setHidden(lines.isEmpty());
}

// The account goes (asked first); the directory's contacts stay.
void TSyncAccountDialog::Remove()
{
    if (Application->MessageBox(QStringLiteral("Eşitleme hesabı kaldırılsın mı? Rehberdeki kişiler silinmez, yalnızca sunucuyla "
                                               "eşitleme durur."),
                                windowTitle(), TMessageKind::Question)
        != IDYES)
        return;
    FRemoved = true;
    QDialog::accept();
}

TSyncAccount TSyncAccountDialog::Account() const
{
    TSyncAccount account;
    if (FRemoved)
        return account;
    account.Url = Url->text().trimmed();
    account.User = User->text().trimmed();
    account.IntervalMinutes = Interval->value();
    account.AddressBook = FAddressBook;
    account.TrustedFingerprint = FTrusted;
    if (account.Url == FCurrent.Url && account.User == FCurrent.User)
        account.LastSync = FCurrent.LastSync;
    return account;
}

QString TSyncAccountDialog::Password() const
{
    return PasswordEdit->text();
}

void TSyncAccountDialog::TestConnection()
{
    TSyncAccount account = Account();
    if (account.Url.isEmpty()) {
        Result->setText(QStringLiteral("Sunucu adresini yazınız."));
        Url->setFocus(Qt::OtherFocusReason);
        return;
    }
    account.AddressBook.clear(); // find them all again
    QString password = Password();
    if (password.isEmpty())
        password = LookupPassword(account).value_or(QString());
    FProbe = new TSyncProbe(account, password, this);
    if (!FTrusted.isEmpty())
        FProbe->TrustFingerprint(FTrusted);
    GuardedConnect(FProbe.data(), &TSyncProbe::Finished, this, [this] { ProbeFinished(); });
    TestButton->setEnabled(false);
    Result->setText(QStringLiteral("Sunucuya bağlanılıyor..."));
    FProbe->Start();
}

void TSyncAccountDialog::ProbeFinished()
{
    TestButton->setEnabled(true);
    const TSyncError error = FProbe->Error();
    const std::vector<TAddressBookInfo> books = FProbe->AddressBooks();
    FProbe->deleteLater(); // it is still emitting Finished
    FProbe = nullptr;
    if (error.Kind == TSyncFailure::Certificate && !error.Fingerprint.isEmpty() && error.Fingerprint != FTrusted) {
        Result->setText(SyncErrorText(error));
        if (Application->MessageBox(TrustFingerprintQuestion(error.Fingerprint), windowTitle(), TMessageKind::Question) == IDYES) {
            FTrusted = error.Fingerprint;
            TestConnection();
        }
        return;
    }
    if (error.Kind != TSyncFailure::None) {
        Result->setText(SyncErrorText(error));
        return;
    }
    Result->setText(AddressBooksText(books));
    // One is taken at once; among several the user picks (the one chosen
    // before stays chosen).
    const QString chosen = books.size() == 1 ? books.front().Url : FAddressBook;
    AddressBooks->clear();
    FAddressBook.clear();
    AddressBooks->setHidden(books.size() < 2);
    for (const TAddressBookInfo &book : books) {
        if (books.size() < 2)
            break;
        auto *item = new QListWidgetItem(AddressBookText(book), AddressBooks);
        item->setData(Qt::UserRole, book.Url);
        if (book.Url == chosen)
            AddressBooks->setCurrentItem(item);
    }
    if (books.size() == 1)
        FAddressBook = chosen;
    ShowLinked();
}

void TSyncAccountDialog::accept()
{
    const bool anyServer = !Url->text().trimmed().isEmpty();
    if (anyServer && User->text().trimmed().isEmpty()) {
        Result->setText(QStringLiteral("Kullanıcı adını yazınız."));
        User->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!AddressBooks->isHidden() && !AddressBooks->currentItem()) {
        Result->setText(QStringLiteral("Eşitlenecek adres defterini listeden seçiniz."));
        AddressBooks->setFocus(Qt::OtherFocusReason);
        return;
    }
    QDialog::accept();
}
