#pragma once

#include "platform/telephony/ModemLink.h"
#include "platform/telephony/ModemSettings.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// "Modem Ayarları": the port, speed, initialisation string, tone or pulse
// dialling and answer timeout of one modem, with a button that sends "AT"
// to the modem and shows what it answers.
//
// Object names: portBox (editable), speedBox, initEdit, toneButton,
// pulseButton, timeoutBox, testButton, answerLabel, buttonBox.
class TModemConfigDialog : public QDialog {
    Q_OBJECT
public:
    TModemConfigDialog(const TModemConfig &config, QWidget *parent = nullptr);

    TModemConfig Config() const;

private:
    void TestModem();

    QComboBox *FPort;
    QComboBox *FSpeed;
    QLineEdit *FInit;
    QRadioButton *FTone;
    QRadioButton *FPulse;
    QSpinBox *FTimeout;
    QPushButton *FTest;
    QLabel *FAnswer;
    TModemLink FLink;
};
