#pragma once

#include "platform/telephony/ModemLink.h"
#include "platform/telephony/ModemSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TSipSettingsPane;

// "Modem Ayarları": the line device to dial with (a modem, or the desktop's
// phone application, offered when choosable), and the port, speed,
// initialisation string, tone or pulse dialling, answer timeout and caller
// ID (whether to show it, and the command that turns it on) of one modem, with a button that sends "AT" to the modem and shows what it
// answers. The modem's settings are kept, but cannot be changed, while the
// phone application is chosen. With the office's SIP server chosen, its
// fields (TSipSettingsPane, object name sipPane) are the ones to fill.
//
// Object names: deviceBox, portBox (editable), speedBox, initEdit,
// toneButton, pulseButton, timeoutBox, callerIdBox, callerIdEdit, testButton,
// answerLabel, buttonBox.
class TModemConfigDialog : public QDialog {
    Q_OBJECT
public:
    TModemConfigDialog(const TModemConfig &config, TLineDevice device, bool choosable, QWidget *parent = nullptr);

    TModemConfig Config() const;
    TLineDevice Device() const;
    TSipSettingsPane *SipPane() const { return FSip; }

private:
    void TestModem();
    void DeviceChosen();

    QComboBox *FDevice;
    QComboBox *FPort;
    QComboBox *FSpeed;
    QLineEdit *FInit;
    QRadioButton *FTone;
    QRadioButton *FPulse;
    QSpinBox *FTimeout;
    QCheckBox *FCallerId;
    QLineEdit *FCallerIdCommand;
    QPushButton *FTest;
    QLabel *FAnswer;
    TSipSettingsPane *FSip;
    TModemLink FLink;
};
