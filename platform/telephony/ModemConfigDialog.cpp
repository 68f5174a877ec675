#include "platform/telephony/ModemConfigDialog.h"

#include "platform/core/SystemErrorText.h"

#include "platform/telephony/DialogLayout.h"
#include "platform/telephony/sip/SipSettingsPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QSpinBox>

TModemConfigDialog::TModemConfigDialog(const TModemConfig &config, TLineDevice device, bool choosable, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Modem Ayarları"));
    setObjectName(QStringLiteral("ModemConfigDialog"));
    setModal(true);

    FDevice = new QComboBox(this);
    FDevice->setObjectName(QStringLiteral("deviceBox"));
    FDevice->addItem(QStringLiteral("Modem"), int(TLineDevice::Modem));
    FDevice->addItem(QStringLiteral("Masaüstünün telefon uygulaması (tel: bağlantısı)"), int(TLineDevice::PhoneApplication));
    FDevice->addItem(QStringLiteral("Ofis santrali (SIP)"), int(TLineDevice::Sip));
    FDevice->setCurrentIndex(FDevice->findData(int(device)));
    FDevice->setEnabled(choosable);

    FPort = new QComboBox(this);
    FPort->setObjectName(QStringLiteral("portBox"));
    FPort->setEditable(true);
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        const QString label =
            info.description().isEmpty() ? info.systemLocation() : info.systemLocation() + QStringLiteral(" — ") + info.description();
        FPort->addItem(label, info.systemLocation());
    }
    FPort->setEditText(config.Port);

    FSpeed = new QComboBox(this);
    FSpeed->setObjectName(QStringLiteral("speedBox"));
    for (int speed : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        FSpeed->addItem(QString::number(speed), speed);
    const int speedIndex = FSpeed->findData(config.Speed);
    if (speedIndex >= 0) {
        FSpeed->setCurrentIndex(speedIndex);
    } else {
        FSpeed->addItem(QString::number(config.Speed), config.Speed);
        FSpeed->setCurrentIndex(FSpeed->count() - 1);
    }

    FInit = new QLineEdit(config.InitString, this);
    FInit->setObjectName(QStringLiteral("initEdit"));

    FTone = new QRadioButton(QStringLiteral("&Ton"), this);
    FTone->setObjectName(QStringLiteral("toneButton"));
    FPulse = new QRadioButton(QStringLiteral("&Darbe"), this);
    FPulse->setObjectName(QStringLiteral("pulseButton"));
    (config.Pulse ? FPulse : FTone)->setChecked(true);
    auto *dialing = new QHBoxLayout;
    dialing->addWidget(FTone);
    dialing->addWidget(FPulse);
    dialing->addStretch();

    FTimeout = new QSpinBox(this);
    FTimeout->setObjectName(QStringLiteral("timeoutBox"));
    FTimeout->setRange(1, 255);
    FTimeout->setSuffix(QStringLiteral(" sn"));
    FTimeout->setValue(config.DialTimeout);

    FCallerId = new QCheckBox(QStringLiteral("Arayanın &numarasını göster"), this);
    FCallerId->setObjectName(QStringLiteral("callerIdBox"));
    FCallerId->setChecked(config.CallerId);
    FCallerIdCommand = new QLineEdit(config.CallerIdCommand, this);
    FCallerIdCommand->setObjectName(QStringLiteral("callerIdEdit"));
    FCallerIdCommand->setPlaceholderText(TModemConfig().CallerIdCommand);
    auto *callerId = new QHBoxLayout;
    callerId->addWidget(FCallerId);
    callerId->addWidget(FCallerIdCommand, 1);

    FTest = new QPushButton(QStringLiteral("Modemi &Sına"), this);
    FTest->setObjectName(QStringLiteral("testButton"));
    FAnswer = new QLabel(this);
    FAnswer->setObjectName(QStringLiteral("answerLabel"));
    FAnswer->setTextFormat(Qt::PlainText);
    auto *test = new QHBoxLayout;
    test->addWidget(FTest);
    test->addWidget(FAnswer, 1);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Cihaz:"), FDevice);
    form->addRow(QStringLiteral("&Port:"), FPort);
    form->addRow(QStringLiteral("&Hız:"), FSpeed);
    form->addRow(QStringLiteral("&Başlatma komutu:"), FInit);
    form->addRow(QStringLiteral("Arama:"), dialing);
    form->addRow(QStringLiteral("&Yanıt süresi:"), FTimeout);
    form->addRow(QStringLiteral("Arayan:"), callerId);
    form->addRow(test);
    FSip = new TSipSettingsPane(LoadSipConfig(), this);
    FSip->setObjectName(QStringLiteral("sipPane"));
    form->addRow(FSip);

    LayOutSettingsDialog(this, form);

    connect(FDevice, &QComboBox::currentIndexChanged, this, &TModemConfigDialog::DeviceChosen);
    connect(FCallerId, &QCheckBox::toggled, this, &TModemConfigDialog::DeviceChosen);
    DeviceChosen();
    connect(FTest, &QPushButton::clicked, this, &TModemConfigDialog::TestModem);
    connect(&FLink, &TModemLink::Answered, this, [this](TModemResult, const QString &line) {
        FAnswer->setText(line);
        FLink.Close();
        FTest->setEnabled(true);
    });
    connect(&FLink, &TModemLink::TimedOut, this, [this]() {
        FAnswer->setText(QStringLiteral("Modem yanıt vermedi"));
        FLink.Close();
        FTest->setEnabled(true);
    });
}

TModemConfig TModemConfigDialog::Config() const
{
    TModemConfig c;
    // An entry picked from the list carries the device path; a typed one
    // is the path itself.
    const int index = FPort->findText(FPort->currentText());
    c.Port = index >= 0 ? FPort->itemData(index).toString() : FPort->currentText().trimmed();
    bool ok = false;
    const int speed = FSpeed->currentText().toInt(&ok);
    c.Speed = ok && speed > 0 ? speed : c.Speed;
    c.InitString = FInit->text().trimmed();
    c.Pulse = FPulse->isChecked();
    c.DialTimeout = FTimeout->value();
    c.CallerId = FCallerId->isChecked();
    const QString command = FCallerIdCommand->text().trimmed();
    c.CallerIdCommand = command.isEmpty() ? TModemConfig().CallerIdCommand : command;
    return c;
}

TLineDevice TModemConfigDialog::Device() const
{
    return TLineDevice(FDevice->currentData().toInt());
}

void TModemConfigDialog::DeviceChosen()
{
    const bool modem = Device() == TLineDevice::Modem;
    for (QWidget *w : std::initializer_list<QWidget *>{FPort, FSpeed, FInit, FTone, FPulse, FTimeout, FCallerId, FTest})
        w->setEnabled(modem);
    FCallerIdCommand->setEnabled(modem && FCallerId->isChecked());
    FSip->setVisible(Device() == TLineDevice::Sip);
}

void TModemConfigDialog::TestModem()
{
    const TModemConfig config = Config();
    if (!FLink.Open(config)) {
        const QString why = SystemErrorText(FLink.ErrorText());
        FAnswer->setText(why.isEmpty() ? QStringLiteral("Port açılamadı.") : QStringLiteral("Port açılamadı: ") + why);
        return;
    }
    FTest->setEnabled(false);
    FAnswer->setText(QStringLiteral("Bekleniyor..."));
    FLink.Command(QByteArrayLiteral("AT"), ModemCommandTimeoutMs(config));
}
