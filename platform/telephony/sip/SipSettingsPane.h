#pragma once

#include "platform/telephony/sip/SipSettings.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QCheckBox;

// The office's SIP server in "Modem Ayarları": Sunucu, Dahili, Kullanıcı
// adı, Parola, Aktarım, and "Bağlantıyı Sına", which registers once with
// what the fields say and shows in Turkish whether it worked and why not.
// The password is kept in the desktop's keyring, or in ~/.netrc when there
// is none and the user ticks the box.
//
// Object names: sipServerEdit, sipUserEdit, sipAuthUserEdit,
// sipPasswordEdit, sipNetRcBox, sipTransportBox, sipTestButton, sipAnswerLabel.
class TSipSettingsPane : public QWidget {
    Q_OBJECT
public:
    explicit TSipSettingsPane(const TSipConfig &config, QWidget *parent = nullptr);

    TSipConfig Config() const;
    QString Password() const;
    bool NetRcAllowed() const; // ~/.netrc may hold the password when no keyring does

private:
    void Test();

    TSipConfig FLoaded;
    QLineEdit *FServer;
    QLineEdit *FUser;
    QLineEdit *FAuthUser;
    QLineEdit *FPassword;
    QCheckBox *FNetRc;
    QComboBox *FTransport;
    QPushButton *FTest;
    QLabel *FAnswer;
};
