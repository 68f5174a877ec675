#include "app/DataSourceDialog.h"

#include "app/DialogParts.h"
#include "platform/core/Exception.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/ErrorText.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QRadioButton *MakeChoice(QWidget *parent, const char *name, const QString &caption)
{
    auto *choice = new QRadioButton(caption, parent);
    choice->setObjectName(QString::fromLatin1(name));
    choice->setAccessibleName(QString(caption).remove(u'&'));
    return choice;
}

} // namespace

QString ServerAccessText(TServerAccess access)
{
    switch (access) {
    case TServerAccess::TableMissing: return QStringLiteral("Sunucuya bağlanıldı, ancak rehber tablosu (DBASE) bu veritabanında yok.");
    case TServerAccess::NoRead: return QStringLiteral("Sunucuya bağlanıldı, ancak bu kullanıcı rehber tablosunu okuyamaz.");
    case TServerAccess::ReadOnly: return QStringLiteral("Bağlantı kuruldu. Bu kullanıcı rehberi yalnızca okuyabilir.");
    case TServerAccess::ReadWrite: return QStringLiteral("Bağlantı kuruldu. Bu kullanıcı rehberi okuyabilir ve değiştirebilir.");
    }
    return {};
}

TDataSourceDialog::TDataSourceDialog(const std::optional<TServerSettings> &current, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DataSourceDialog"));
    setWindowTitle(QStringLiteral("Veri Kaynağı"));
    setAccessibleName(QStringLiteral("Veri Kaynağı"));

    FileChoice = MakeChoice(this, "FileChoice", QStringLiteral("Bu bilgisayardaki &dosya"));
    ServerChoice = MakeChoice(this, "ServerChoice", QStringLiteral("&Ofis sunucusu (PostgreSQL)"));
    auto *sourceGroup = new QButtonGroup(this);
    sourceGroup->addButton(FileChoice);
    sourceGroup->addButton(ServerChoice);

    FServerBox = new QWidget(this);
    ServiceChoice = MakeChoice(FServerBox, "ServiceChoice", QStringLiteral("&Hizmet adı (pg_service.conf)"));
    HostChoice = MakeChoice(FServerBox, "HostChoice", QStringLiteral("&Sunucu bilgileri"));
    auto *serverGroup = new QButtonGroup(this);
    serverGroup->addButton(ServiceChoice);
    serverGroup->addButton(HostChoice);
    Service = MakeDialogEdit(FServerBox, "Service", QStringLiteral("Hizmet adı"));
    Host = MakeDialogEdit(FServerBox, "Host", QStringLiteral("Sunucu"));
    Port = MakeDialogEdit(FServerBox, "Port", QStringLiteral("Port"));
    Port->setValidator(new QIntValidator(1, 65535, Port));
    Port->setPlaceholderText(QStringLiteral("5432"));
    Database = MakeDialogEdit(FServerBox, "Database", QStringLiteral("Veritabanı"));
    User = MakeDialogEdit(FServerBox, "User", QStringLiteral("Kullanıcı"));
    PasswordEdit = MakeDialogEdit(FServerBox, "Password", QStringLiteral("Parola"));
    PasswordEdit->setEchoMode(QLineEdit::Password);
    PasswordEdit->setPlaceholderText(QStringLiteral("~/.pgpass dosyasına yazılır"));

    // QFormLayout makes each label the buddy of its edit: Alt and the
    // underlined letter go to the edit.
    auto *fields = new QFormLayout;
    fields->addRow(ServiceChoice);
    fields->addRow(QStringLiteral("Hizmet &adı:"), Service);
    fields->addRow(HostChoice);
    fields->addRow(QStringLiteral("S&unucu:"), Host);
    fields->addRow(QStringLiteral("Por&t:"), Port);
    fields->addRow(QStringLiteral("&Veritabanı:"), Database);
    fields->addRow(QStringLiteral("&Kullanıcı:"), User);
    fields->addRow(QStringLiteral("&Parola:"), PasswordEdit);
    fields->setContentsMargins(24, 0, 0, 0);
    FServerBox->setLayout(fields);

    TestButton = MakeTestButton(this);
    Result = MakeTestResult(this);

    QDialogButtonBox *buttons = MakeOkCancel(this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(FileChoice);
    layout->addWidget(ServerChoice);
    layout->addWidget(FServerBox);
    layout->addWidget(TestButton, 0, Qt::AlignLeft);
    layout->addWidget(Result);
    layout->addWidget(buttons);

    if (current) {
        ServerChoice->setChecked(true);
        (current->UsesService() ? ServiceChoice : HostChoice)->setChecked(true);
        Service->setText(current->Service);
        Host->setText(current->Host);
        Port->setText(current->Port);
        Database->setText(current->Database);
        User->setText(current->User);
        FKept = current->Other;
    } else {
        FileChoice->setChecked(true);
        HostChoice->setChecked(true);
    }
    for (QRadioButton *choice : {FileChoice, ServerChoice, ServiceChoice, HostChoice})
        connect(choice, &QRadioButton::toggled, this, &TDataSourceDialog::UpdateEnabled);
    GuardedConnect(TestButton, &QPushButton::clicked, this, [this] { TestConnection(); });
    UpdateEnabled();
}

void TDataSourceDialog::UpdateEnabled()
{
    const bool server = ServerChoice->isChecked();
    const bool service = ServiceChoice->isChecked();
    FServerBox->setEnabled(server);
    TestButton->setEnabled(server);
    Service->setEnabled(service);
    for (QLineEdit *edit : {Host, Port, Database, User, PasswordEdit})
        edit->setEnabled(!service);
    Result->clear();
}

std::optional<TServerSettings> TDataSourceDialog::Choice() const
{
    if (!ServerChoice->isChecked())
        return std::nullopt;
    TServerSettings s;
    s.Other = FKept;
    if (ServiceChoice->isChecked()) {
        s.Service = Service->text().trimmed();
    } else {
        s.Host = Host->text().trimmed();
        s.Port = Port->text().trimmed();
        s.Database = Database->text().trimmed();
        s.User = User->text().trimmed();
    }
    return s;
}

QString TDataSourceDialog::Password() const
{
    return ServerChoice->isChecked() && HostChoice->isChecked() ? PasswordEdit->text() : QString();
}

void TDataSourceDialog::TestConnection()
{
    const std::optional<TServerSettings> server = Choice();
    if (!server)
        return;
    // The previous answer goes at once: it belongs to other settings.
    Result->setText(QStringLiteral("Sınanıyor..."));
    try {
        Result->setText(ServerAccessText(TestServerConnection(*server, Password())));
    } catch (const EAbort &) {
        Result->setText(QStringLiteral("Sınama durduruldu."));
    } catch (const EDatabaseError &e) {
        Result->setText(WindowErrorText(e));
    }
}

void TDataSourceDialog::accept()
{
    if (ServerChoice->isChecked() && ServiceChoice->isChecked() && Service->text().trimmed().isEmpty()) {
        Result->setText(QStringLiteral("Hizmet adını yazınız."));
        Service->setFocus(Qt::OtherFocusReason);
        return;
    }
    QDialog::accept();
}
