#include "platform/telephony/sip/SipSettingsPane.h"

#include "platform/telephony/sip/SipTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLineEdit *Field(const QString &name, const QString &text, QWidget *parent)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    return edit;
}

} // namespace

TSipSettingsPane::TSipSettingsPane(const TSipConfig &config, QWidget *parent) : QWidget(parent), FLoaded(config)
{
    FServer = Field(QStringLiteral("sipServerEdit"), config.Server, this);
    FServer->setPlaceholderText(QStringLiteral("santral.ornek.com.tr:5060"));
    FUser = Field(QStringLiteral("sipUserEdit"), config.User, this);
    FUser->setPlaceholderText(QStringLiteral("1001"));
    FAuthUser = Field(QStringLiteral("sipAuthUserEdit"), config.AuthUser, this);
    FAuthUser->setPlaceholderText(QStringLiteral("dahili numarayla aynıysa boş"));
    FPassword = Field(QStringLiteral("sipPasswordEdit"), SipSessionPassword(config), this);
    FPassword->setEchoMode(QLineEdit::Password);
    FNetRc = new QCheckBox(QStringLiteral("Anahtarlık yoksa parolayı ~/.netrc dosyasına ya&z"), this);
    FNetRc->setObjectName(QStringLiteral("sipNetRcBox"));
    FTransport = new QComboBox(this);
    FTransport->setObjectName(QStringLiteral("sipTransportBox"));
    for (const char *transport : {"udp", "tcp", "tls"})
        FTransport->addItem(QString::fromLatin1(transport).toUpper(), QString::fromLatin1(transport));
    FTransport->setCurrentIndex(qMax(0, FTransport->findData(config.Transport)));

    FTest = new QPushButton(QStringLiteral("Bağ&lantıyı Sına"), this);
    FTest->setObjectName(QStringLiteral("sipTestButton"));
    FAnswer = new QLabel(this);
    FAnswer->setObjectName(QStringLiteral("sipAnswerLabel"));
    FAnswer->setTextFormat(Qt::PlainText);
    FAnswer->setWordWrap(true);
    auto *test = new QHBoxLayout;
    test->addWidget(FTest);
    test->addWidget(FAnswer, 1);

    auto *form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("S&unucu:"), FServer);
    form->addRow(QStringLiteral("Dah&ili:"), FUser);
    form->addRow(QStringLiteral("&Kullanıcı adı:"), FAuthUser);
    form->addRow(QStringLiteral("Pa&rola:"), FPassword);
    form->addRow(FNetRc);
    form->addRow(QStringLiteral("&Aktarım:"), FTransport);
    form->addRow(test);
    connect(FTest, &QPushButton::clicked, this, &TSipSettingsPane::Test);
}

TSipConfig TSipSettingsPane::Config() const
{
    TSipConfig c = FLoaded;
    c.Server = FServer->text().trimmed();
    c.User = FUser->text().trimmed();
    c.AuthUser = FAuthUser->text().trimmed();
    c.Transport = FTransport->currentData().toString();
    return c;
}

QString TSipSettingsPane::Password() const
{
    return FPassword->text();
}

bool TSipSettingsPane::NetRcAllowed() const
{
    return FNetRc->isChecked();
}

void TSipSettingsPane::Test()
{
    FTest->setEnabled(false);
    FAnswer->setText(QStringLiteral("Santral deneniyor..."));
    const TSipFailure failure = TrySipRegistration(Config(), Password());
    FAnswer->setText(failure == TSipFailure::None ? QStringLiteral("Bağlantı başarılı: santral kaydı kabul etti.")
                                                  : SipFailureText(failure));
    FTest->setEnabled(true);
}
